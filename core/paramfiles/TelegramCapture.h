#pragma once
// Capture of the link's frames for the communication monitor and `zeb7ctl
// monitor --capture`: the worker's frame observer copies each frame into a
// bounded queue (a short lock, never waiting for the main thread), the main
// thread takes them and renders them as JSON lines or decoded text.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/C167Comm.h"

namespace zeb7 {

struct TCapturedFrame {
  double Seconds = 0;  // since the capture began
  bool Transmitted = false;
  TTelegram Tele;
  std::vector<uint8_t> Wire;
};

class TTelegramCapture {
 public:
  static constexpr size_t kMaxQueued = 100000;

  TTelegramCapture() : start_(std::chrono::steady_clock::now()) {}

  // The observer (worker thread): bind it with SetFrameObserver.
  void Observe(bool transmitted, const TTelegram& tele, const uint8_t* wire, size_t length);
  // Main thread: the frames observed since the last call.
  std::vector<TCapturedFrame> Take();
  // Frames not kept because the queue was full.
  uint64_t Dropped() const;

 private:
  const std::chrono::steady_clock::time_point start_;
  mutable std::mutex mutex_;
  std::vector<TCapturedFrame> queue_;
  uint64_t dropped_ = 0;
};

// {"t":..,"dir":"tx"|"rx","kind":"data"|"ack"|"nak","ident":..,"cmd":..,
//  "target":..,"len":..,"data":"hex","wire":"hex"}
std::string CaptureJsonLine(const TCapturedFrame& f);
// One line for the monitor window: time, direction, kind, fields, data bytes.
std::string CaptureTextLine(const TCapturedFrame& f);
std::string HexBytes(const uint8_t* p, size_t n, const char* separator = "");

}  // namespace zeb7
