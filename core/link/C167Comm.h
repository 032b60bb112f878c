#pragma once
// The telegram record, its wire encoding and incremental decoder, and the
// serial port wrapper TComm32 that the communication worker drives.
//
// Wire format: 0x31 <type> <body, 0x31 stuffed as 31 30> <checksum>, where the
// type is 0x22 (data: ident, command, target, length, data), 0x26 (ack: ident)
// or 0x35 (nak: ident) and the checksum is the byte sum of the unstuffed body.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zeb7 {

enum TTelegramType : uint8_t { ttNone = 0, ttNormal = 1, ttAck = 2, ttNak = 3 };

constexpr int32_t kTelegramDataSize = 259;

class TTelegram {
 public:
  TTelegram() = default;
  explicit TTelegram(const void* owner) { pOwner = owner; }

  // Resets the bookkeeping and header; the data bytes stay as they are.
  void Clear();
  // Copies every field and the first 256 data bytes.
  void Assign(const TTelegram& source);

  // 16-bit little-endian data word at bytes 2*index and 2*index+1, read
  // signed. Words outside the data bytes read 0 and ignore writes.
  int32_t GetData(int32_t index) const;
  void SetData(int32_t index, int32_t value);
  int32_t iaData(int32_t index) const { return GetData(index); }
  void iaData(int32_t index, int32_t value) { SetData(index, value); }

  // Identity of the poster only; never dereferenced by the link (an answer
  // may arrive after its sender is gone).
  const void* pOwner = nullptr;
  TTelegramType ttType = ttNone;
  int32_t iRetry = 8;
  int32_t iAge = 0;
  bool fCritical = false;
  uint8_t bIdent = 0;
  uint8_t bCommand = 0;
  uint8_t bTarget = 0;
  uint8_t bLength = 0;
  std::array<uint8_t, kTelegramDataSize> baData{};
};

// ---------------------------------------------------------------------------
// Encoding

constexpr uint8_t kDle = 0x31;
constexpr uint8_t kStuff = 0x30;
constexpr uint8_t kTypeData = 0x22;
constexpr uint8_t kTypeAck = 0x26;
constexpr uint8_t kTypeNak = 0x35;

// Worst case: header, every body byte stuffed (4 + 255 bytes), checksum.
constexpr int32_t kMaxEncodedTelegram = 2 + 2 * (4 + 255) + 1;

// Encodes `tele` by its ttType into `buffer`. Returns the number of bytes, 0
// for a telegram of type ttNone, or -1 when `capacity` is too small.
int32_t EncodeTelegram(const TTelegram& tele, uint8_t* buffer, int32_t capacity);
std::vector<uint8_t> EncodeTelegram(const TTelegram& tele);

// ---------------------------------------------------------------------------
// Decoding

enum TDecodeState : uint8_t {
  dsHeaderDle = 0,
  dsHeaderStx,
  dsData,
  dsDataDle,
  dsChecksum,
  dsAckData,
  dsAckDataDle,
  dsNakData,
  dsNakDataDle,
  dsWaitForHeader
};

enum TDecodeError : uint8_t { deOK = 0, deMissingChars, deChecksum, deWrongHeader, deTooLong };

constexpr int32_t kBufferSize = 401;

// Incremental receive decoder with its 401-byte buffer. Usable without a
// port: append bytes (or hand it a fill function) and call Decode.
class TTelegramDecoder {
 public:
  // Writes at most `max` bytes to `dst`, returns the number written.
  using TFillFunction = std::function<int32_t(uint8_t* dst, int32_t max)>;

  // Appends as many bytes as fit; returns how many were taken.
  int32_t Append(const uint8_t* data, int32_t length);
  int32_t FreeSpace() const { return kBufferSize - iRecBufLen; }
  // Lets `fill` append bytes to the free part of the buffer.
  void Fill(const TFillFunction& fill);

  // One decode call: fill, advance the state machine over the buffered bytes
  // and, when a telegram was completed or an error stopped it, fill again and
  // resynchronise to the next plausible frame start. On deOK the telegram is
  // copied into `tele` with Assign. `fill` may be empty.
  TDecodeError Decode(TTelegram& tele, const TFillFunction& fill = {});

  // The parts of Decode, for a caller that fills the buffer itself.
  TDecodeError Advance(TTelegram& tele);
  void Resynchronise();
  // Drops everything buffered and waits silently for the next 0x31 (after a
  // line error).
  void Discard();

  TDecodeState State() const { return dsDecodeState; }
  int32_t UndecodedBytes() const { return iRecBufLen; }
  bool Decoded() const { return fDecoded; }
  // True while a frame has been started but not completed.
  bool InFrame() const { return dsDecodeState != dsHeaderDle && dsDecodeState != dsWaitForHeader; }

 private:
  void HeaderReset();
  bool DataDone() const { return iTeleIdx - 4 >= RecTele.bLength; }

  TTelegram RecTele;
  std::array<uint8_t, kBufferSize> RecBuffer{};
  bool fDecoded = false;
  int32_t iRecBufIdx = 0;
  int32_t iTeleIdx = 0;
  int32_t iRecBufLen = 0;
  TDecodeState dsDecodeState = dsHeaderDle;
  uint8_t bRecChecksum = 0;
};

// ---------------------------------------------------------------------------
// Platform port

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

// ---------------------------------------------------------------------------
// Port numbers

// Maps port numbers 1..20 to device paths: an explicit entry wins; numbers
// without one are filled, in order, with the system's serial devices that are
// not bound explicitly.
class TPortTable {
 public:
  static constexpr int32_t kMaxPort = 20;

  explicit TPortTable(std::string sysClassTty = "/sys/class/tty", std::string devDir = "/dev");

  // An empty path removes the entry. Numbers outside 1..20 are ignored.
  void SetEntry(int32_t nPort, const std::string& path);
  std::string Entry(int32_t nPort) const;
  void ClearEntries();
  // Where the system's devices are looked up (tests point this elsewhere).
  void SetSystemFolders(const std::string& sysClassTty, const std::string& devDir);

  // The device for `nPort`, or "" when there is none.
  std::string DevicePath(int32_t nPort) const;
  // The device path, or "COM<n>" when the number has no device.
  std::string DisplayName(int32_t nPort) const;
  // Index 1..20 holds the device of that number ("" when none).
  std::array<std::string, kMaxPort + 1> Map() const;
  // ttyUSB*, ttyACM* and ttyS* under the tty class that have a device
  // behind them, naturally sorted, as paths in the device folder.
  std::vector<std::string> SystemDevices() const;

 private:
  mutable std::mutex FLock;
  std::string sSysClassTty;
  std::string sDevDir;
  std::array<std::string, kMaxPort + 1> aEntries;
};

// Compares embedded digit runs by value ("ttyS2" < "ttyS10").
bool NaturalLess(const std::string& a, const std::string& b);

// ---------------------------------------------------------------------------
// Time

// Millisecond tick (wraps at 2^32) and sleep; injectable for tests.
class TLinkClock {
 public:
  virtual ~TLinkClock() = default;
  virtual uint32_t Tick() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

class TSteadyClock : public TLinkClock {
 public:
  uint32_t Tick() override;
  void Sleep(uint32_t ms) override;
};

// The process's real clock.
TLinkClock& SteadyClock();

// Wrap-safe "a is later than b" for millisecond ticks.
inline bool TickAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

// ---------------------------------------------------------------------------
// The port wrapper

using TComMessageFunction = std::function<void(const std::string& s)>;

class TComm32 {
 public:
  // Without a port the POSIX port is used.
  explicit TComm32(std::unique_ptr<TSerialPort> port = nullptr, TLinkClock& clock = SteadyClock());
  ~TComm32();
  TComm32(const TComm32&) = delete;
  TComm32& operator=(const TComm32&) = delete;

  bool Open();
  void Close();
  void SetPort(int32_t value);
  void SetBaud(int32_t value);
  int32_t Port() const { return nPort; }
  int32_t Baud() const { return lBaud; }

  bool Write(const uint8_t* buffer, uint32_t uLength);
  int32_t GetInCount();
  int32_t GetOutCount();
  int32_t InCount() { return GetInCount(); }
  int32_t Read(uint8_t* buffer, uint32_t uMaxLen);
  void Flush();

  bool SendTelegram(const TTelegram& tele);
  TDecodeError ReceiveTelegram(TTelegram& tele);

  // Waits at most `maxMs` for received bytes. While a frame is half received
  // it simply sleeps, so that the rest arrives in one read instead of one
  // wake-up per byte.
  void WaitForInput(uint32_t maxMs);

  bool Opened() const;
  bool InUse() const { return boolInUse; }
  bool CloseRequest() const { return boolCloseRequest; }
  int32_t UndecodedBytes() const { return FDecoder.UndecodedBytes(); }
  uint32_t LastErrorCode() const { return dwLastErrorCode; }
  const TTelegramDecoder& Decoder() const { return FDecoder; }

  TPortTable& PortTable() { return FPortTable; }
  // Device path of the current number, or "COM<n>".
  std::string DeviceName() const { return FPortTable.DisplayName(nPort); }

  // Where port messages go. Called without the port lock held.
  TComMessageFunction ComMessageFunction;
  // How the port waits (Close's waits); defaults to the clock's sleep. The
  // communication thread replaces it so that a waiting main thread keeps
  // serving hand-overs.
  std::function<void(uint32_t ms)> WaitFunction;

 private:
  bool QueryLocked(bool transmit, int32_t& count, std::string& message);
  void ReportLocked(bool ok, uint32_t errors, std::string& message);
  void FillLocked(std::string& message);
  void Message(const std::string& s);
  void Wait(uint32_t ms);

  std::unique_ptr<TSerialPort> FPort;
  TLinkClock& FClock;
  mutable std::mutex FPortLock;  // every call into FPort; never held across a message
  TPortTable FPortTable;

  std::atomic<int32_t> nPort{1};
  std::atomic<int32_t> lBaud{115200};
  std::atomic<bool> boolInUse{false};
  std::atomic<bool> boolCloseRequest{true};
  std::atomic<uint32_t> dwLastErrorCode{0};

  TTelegramDecoder FDecoder;  // worker only
  std::array<uint8_t, kMaxEncodedTelegram> SendBuffer{};
  int32_t iSendBufLen = 0;
};

}  // namespace zeb7
