#pragma once
// Our platform layer under TComm32: the raw serial device as an interface (tests
// substitute a fake) and its POSIX termios implementation.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace zeb7 {

// Line error flags reported with the queue counts.
enum : uint32_t {
  ceRxOver = 0x0001,    // receive buffer overflow
  ceOverrun = 0x0002,   // hardware overrun
  ceRxParity = 0x0004,  // parity error
  ceFrame = 0x0008,     // framing error
  ceBreak = 0x0010,     // break received
};

// The raw device underneath TComm32; tests substitute a fake.
class TSerialPort {
 public:
  virtual ~TSerialPort() = default;
  // Opens `device` exclusively, raw 8N1 at `baud`, no flow control, reads
  // returning at once; discards both queues. On failure fills `reason`.
  virtual bool Open(const std::string& device, int32_t baud, std::string& reason) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Bytes waiting in the receive (or transmit) queue plus the line error
  // flags seen since the last query. False when the query itself failed;
  // `errors` then holds the system error number.
  virtual bool Query(bool transmit, int32_t& count, uint32_t& errors) = 0;
  // Reads what is there without waiting; negative on error.
  virtual int32_t Read(uint8_t* buffer, int32_t maxLength) = 0;
  // Query and Read in one: at most `maxLength` waiting bytes, with the line
  // error flags. False when the device failed (`errors` = system error).
  virtual bool ReadAvailable(uint8_t* buffer, int32_t maxLength, int32_t& count, uint32_t& errors) {
    count = 0;
    int32_t waiting = 0;
    if (!Query(false, waiting, errors)) return false;
    if (waiting > 0) count = std::max(0, Read(buffer, std::min(waiting, maxLength)));
    return true;
  }
  // Writes synchronously; returns the bytes written, negative on error.
  virtual int32_t Write(const uint8_t* buffer, int32_t length) = 0;
  // Discards both queues.
  virtual void Purge() = 0;
  // Waits at most `maxMs` for received bytes (returns early when some arrive).
  virtual void WaitReadable(uint32_t maxMs) = 0;
};

// termios-based port: exclusive (flock plus TIOCEXCL), DTR and RTS cleared,
// line errors from TIOCGICOUNT where the driver counts them.
class TPosixSerialPort : public TSerialPort {
 public:
  ~TPosixSerialPort() override;
  bool Open(const std::string& device, int32_t baud, std::string& reason) override;
  void Close() override;
  bool IsOpen() const override { return fd >= 0; }
  bool Query(bool transmit, int32_t& count, uint32_t& errors) override;
  int32_t Read(uint8_t* buffer, int32_t maxLength) override;
  bool ReadAvailable(uint8_t* buffer, int32_t maxLength, int32_t& count, uint32_t& errors) override;
  int32_t Write(const uint8_t* buffer, int32_t length) override;
  void Purge() override;
  void WaitReadable(uint32_t maxMs) override;

 private:
  uint32_t LineErrors();

  std::atomic<int> fd{-1};  // read unlocked by WaitReadable
  bool fHasCounters = false;
  std::array<int32_t, 5> aLastCounters{};  // rx overflow, overrun, parity, frame, break
};

// Explains an open() failure of a serial device for the user.
std::string DescribeOpenError(int err, const std::string& device);

}  // namespace zeb7
