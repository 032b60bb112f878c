#pragma once
// The virtual drive on its own pseudo-terminal: decodes the PC's frames, answers each
// through VirtualDrive, injects the configured line faults, optionally paces the
// answers at the real wire speed, and logs every request and answer as JSON lines.
// Runs in a thread of the caller (start/stop) or blocking (run), e.g. from zeb7-sim.
#include "FaultInjector.h"
#include "VirtualDrive.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zeb7::sim {

class PtyPort;
class DeviceLink;
class LineCodec;

struct SimOptions {
  std::string linkPath;     // keep a symbolic link here to the device
  FaultRates faults;
  bool pace = false;        // 115200 baud, 10 bits per byte, both directions
  std::string logPath;      // JSON lines of every request and answer
  std::string controlPath;  // FIFO taking JSON-line control commands
};

struct SimStats {
  uint64_t requests = 0;       // data frames decoded
  uint64_t answers = 0;        // answer frames written (faulty ones included)
  uint64_t dropped = 0;
  uint64_t naked = 0;          // refusals injected by the fault settings
  uint64_t delayed = 0;
  uint64_t corrupted = 0;
  uint64_t garbageBytes = 0;
  uint64_t decodeErrors = 0;   // damaged frames from the PC
  uint64_t answerBytes = 0;    // bytes of answer frames written
  uint64_t sessions = 0;       // times the PC opened the device
};

class SimServer {
 public:
  // Throws std::system_error / std::runtime_error with a clear message (no pty,
  // link not placeable, log not writable, control FIFO not creatable).
  SimServer(DriveDescription description, SimOptions options);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  const std::string& devicePath() const;
  VirtualDrive& drive() { return drive_; }
  SimStats stats() const;

  void start();  // serve in a thread of our own
  void stop();   // and wait for it
  void run(const std::atomic<bool>& stopFlag);  // serve until stopFlag (or stop())

  // One control command (the same JSON objects the control FIFO takes); returns an
  // empty string or the reason it was refused.
  std::string control(const std::string& jsonLine);

 private:
  using Clock = std::chrono::steady_clock;
  struct Pending {
    std::vector<uint8_t> bytes;
    size_t answerBytes = 0;  // of which belong to the frame (the rest is noise)
  };

  void loop(const std::atomic<bool>* extra);
  void onRequest(const TTelegram& req, Clock::time_point arrival);
  void pumpOutput(Clock::time_point now, Clock::time_point& nextEvent);
  void flushOutput();
  void sessionLost();
  void readControl();
  void logTelegram(const char* dir, const TTelegram& t, const std::string& fault);
  void wake();

  VirtualDrive drive_;
  SimOptions opt_;
  FaultInjector faults_;
  std::unique_ptr<PtyPort> pty_;
  std::unique_ptr<DeviceLink> link_;
  std::unique_ptr<LineCodec> codec_;
  FILE* log_ = nullptr;
  int wakeFd_ = -1;
  int controlFd_ = -1;
  std::string controlBuf_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  Clock::time_point start_;

  // Answers waiting for their time, by the time they are ready to go on the wire.
  std::multimap<Clock::time_point, Pending> pending_;
  std::vector<uint8_t> out_;  // written as far as the device takes them
  Clock::time_point inWireFree_{}, outWireFree_{};
  bool connected_ = false;

  mutable std::mutex statsMutex_;
  SimStats stats_;
};

// Wire time of n bytes at 115200 baud, 10 bits per byte.
constexpr std::chrono::nanoseconds wireTime(size_t n) {
  return std::chrono::nanoseconds(int64_t(n) * 10'000'000'000LL / 115200);
}

}  // namespace zeb7::sim
