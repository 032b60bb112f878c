#pragma once
// Scriptable stand-in for the serial device, plus a manual clock, so the link
// can be driven cycle by cycle without sleeping.
#include <cerrno>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/C167Comm.h"

namespace zeb7::test {

class FakeClock : public TLinkClock {
 public:
  explicit FakeClock(uint32_t start = 100000) : now(start) {}
  uint32_t Tick() override { return now; }
  void Sleep(uint32_t ms) override { now += ms; }
  void Advance(uint32_t ms) { now += ms; }
  std::atomic<uint32_t> now;
};

struct FakeLine {
  std::mutex m;
  std::deque<uint8_t> rx;     // bytes the drive has sent
  std::vector<uint8_t> tx;    // bytes the PC wrote
  bool open = false;
  int opens = 0;
  int closes = 0;
  int purges = 0;
  bool failOpen = false;
  std::string failReason = "device busy (in use by another program)";
  bool failWrite = false;
  bool failQuery = false;
  uint32_t pendingErrors = 0;
  int32_t outCount = 0;
  std::string lastDevice;
  // Called with each frame the PC writes (decoded), under no lock.
  std::function<void(const TTelegram&)> onFrame;

  void Push(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(m);
    rx.insert(rx.end(), bytes.begin(), bytes.end());
  }
  std::vector<uint8_t> TakeTx() {
    std::lock_guard lock(m);
    std::vector<uint8_t> out;
    out.swap(tx);
    return out;
  }
};

class FakePort : public TSerialPort {
 public:
  FakePort(std::shared_ptr<FakeLine> line, TLinkClock* clock) : L(std::move(line)), C(clock) {}

  bool Open(const std::string& device, int32_t baud, std::string& reason) override {
    std::lock_guard lock(L->m);
    L->lastDevice = device;
    if (L->failOpen) {
      reason = L->failReason;
      return false;
    }
    L->open = true;
    ++L->opens;
    return true;
  }
  void Close() override {
    std::lock_guard lock(L->m);
    if (L->open) ++L->closes;
    L->open = false;
  }
  bool IsOpen() const override {
    std::lock_guard lock(L->m);
    return L->open;
  }
  bool Query(bool transmit, int32_t& count, uint32_t& errors) override {
    std::lock_guard lock(L->m);
    if (L->failQuery) {
      count = 0;
      errors = EIO;
      return false;
    }
    count = transmit ? L->outCount : static_cast<int32_t>(L->rx.size());
    errors = L->pendingErrors;
    L->pendingErrors = 0;
    return true;
  }
  int32_t Read(uint8_t* buffer, int32_t maxLength) override {
    std::lock_guard lock(L->m);
    int32_t n = 0;
    while (n < maxLength && !L->rx.empty()) {
      buffer[n++] = L->rx.front();
      L->rx.pop_front();
    }
    return n;
  }
  int32_t Write(const uint8_t* buffer, int32_t length) override {
    std::vector<TTelegram> frames;
    {
      std::lock_guard lock(L->m);
      if (L->failWrite) return -1;
      L->tx.insert(L->tx.end(), buffer, buffer + length);
      decoder.Append(buffer, length);
      TTelegram t;
      while (decoder.Decode(t) == deOK) frames.push_back(t);
    }
    if (L->onFrame)
      for (const auto& f : frames) L->onFrame(f);
    return length;
  }
  void Purge() override {
    std::lock_guard lock(L->m);
    ++L->purges;
    L->rx.clear();
  }
  void WaitReadable(uint32_t maxMs) override {
    if (C) C->Sleep(maxMs);
  }

 private:
  std::shared_ptr<FakeLine> L;
  TLinkClock* C;
  TTelegramDecoder decoder;
};

}  // namespace zeb7::test
