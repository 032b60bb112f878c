#pragma once
// A serial device with a drive behind it: every frame the PC writes is decoded
// and answered at once through `answer`.
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "link/C167Comm.h"

namespace zeb7::test {

class DrivePort : public TSerialPort {
 public:
  explicit DrivePort(std::function<TTelegram(const TTelegram&)> answer) : answer_(std::move(answer)) {}

  bool Open(const std::string&, int32_t, std::string&) override {
    std::lock_guard lock(m_);
    open_ = true;
    return true;
  }
  void Close() override {
    std::lock_guard lock(m_);
    open_ = false;
  }
  bool IsOpen() const override {
    std::lock_guard lock(m_);
    return open_;
  }
  bool Query(bool transmit, int32_t& count, uint32_t& errors) override {
    std::lock_guard lock(m_);
    count = transmit ? 0 : static_cast<int32_t>(rx_.size());
    errors = 0;
    return true;
  }
  int32_t Read(uint8_t* buffer, int32_t maxLength) override {
    std::lock_guard lock(m_);
    int32_t n = 0;
    for (; n < maxLength && !rx_.empty(); ++n) {
      buffer[n] = rx_.front();
      rx_.pop_front();
    }
    return n;
  }
  int32_t Write(const uint8_t* buffer, int32_t length) override {
    std::lock_guard lock(m_);
    decoder_.Append(buffer, length);
    TTelegram req;
    while (decoder_.Decode(req) == deOK) {
      TTelegram ans = answer_(req);
      ans.bIdent = req.bIdent;
      for (uint8_t b : EncodeTelegram(ans)) rx_.push_back(b);
    }
    return length;
  }
  void Purge() override {
    std::lock_guard lock(m_);
    rx_.clear();
  }
  void WaitReadable(uint32_t) override { std::this_thread::yield(); }

 private:
  std::function<TTelegram(const TTelegram&)> answer_;
  mutable std::mutex m_;
  bool open_ = false;
  std::deque<uint8_t> rx_;
  TTelegramDecoder decoder_;
};

}  // namespace zeb7::test
