#pragma once
// The telegram record, its wire encoding and incremental decoder, and the
// serial port wrapper TComm32 that the communication worker drives. The port
// interface, the port table and the clock underneath live in SerialPort.h,
// PortTable.h and LinkClock.h (included here, so this header serves as before).
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

#include "link/LinkClock.h"
#include "link/PortTable.h"
#include "link/SerialPort.h"

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
