#include "link/C167Comm.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zeb7 {

// ---------------------------------------------------------------------------
// TTelegram

void TTelegram::Clear() {
  pOwner = nullptr;
  ttType = ttNone;
  iRetry = 8;
  iAge = 0;
  fCritical = false;
  bIdent = 0;
  bCommand = 0;
  bTarget = 0;
  bLength = 0;
}

void TTelegram::Assign(const TTelegram& source) {
  if (&source == this) return;
  pOwner = source.pOwner;
  ttType = source.ttType;
  iRetry = source.iRetry;
  iAge = source.iAge;
  fCritical = source.fCritical;
  bIdent = source.bIdent;
  bCommand = source.bCommand;
  bTarget = source.bTarget;
  bLength = source.bLength;
  std::copy_n(source.baData.begin(), 256, baData.begin());
}

int32_t TTelegram::GetData(int32_t index) const {
  if (index < 0 || 2 * index + 1 >= kTelegramDataSize) return 0;
  const uint16_t w = static_cast<uint16_t>(baData[2 * index] | (baData[2 * index + 1] << 8));
  return static_cast<int16_t>(w);
}

void TTelegram::SetData(int32_t index, int32_t value) {
  if (index < 0 || 2 * index + 1 >= kTelegramDataSize) return;
  const uint32_t v = static_cast<uint32_t>(value);
  baData[2 * index] = static_cast<uint8_t>(v & 0xFF);
  baData[2 * index + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

// ---------------------------------------------------------------------------
// Encoding

int32_t EncodeTelegram(const TTelegram& tele, uint8_t* buffer, int32_t capacity) {
  uint8_t type = 0;
  switch (tele.ttType) {
    case ttNormal: type = kTypeData; break;
    case ttAck: type = kTypeAck; break;
    case ttNak: type = kTypeNak; break;
    default: return 0;
  }
  int32_t len = 0;
  uint8_t checksum = 0;
  bool fits = true;
  auto put = [&](uint8_t b) {
    if (len < capacity)
      buffer[len++] = b;
    else
      fits = false;
  };
  auto body = [&](uint8_t b) {
    put(b);
    checksum = static_cast<uint8_t>(checksum + b);
    if (b == kDle) put(kStuff);
  };
  put(kDle);
  put(type);
  body(tele.bIdent);
  if (tele.ttType == ttNormal) {
    body(tele.bCommand);
    body(tele.bTarget);
    body(tele.bLength);
    for (int32_t i = 0; i < tele.bLength; ++i) body(tele.baData[i]);
  }
  put(checksum);
  return fits ? len : -1;
}

std::vector<uint8_t> EncodeTelegram(const TTelegram& tele) {
  std::vector<uint8_t> out(kMaxEncodedTelegram);
  const int32_t n = EncodeTelegram(tele, out.data(), static_cast<int32_t>(out.size()));
  out.resize(n > 0 ? n : 0);
  return out;
}

// ---------------------------------------------------------------------------
// Decoding

int32_t TTelegramDecoder::Append(const uint8_t* data, int32_t length) {
  const int32_t n = std::clamp(length, 0, FreeSpace());
  std::copy_n(data, n, RecBuffer.begin() + iRecBufLen);
  iRecBufLen += n;
  return n;
}

void TTelegramDecoder::Fill(const TFillFunction& fill) {
  if (!fill || FreeSpace() <= 0) return;
  const int32_t n = fill(RecBuffer.data() + iRecBufLen, FreeSpace());
  if (n > 0) iRecBufLen += std::min(n, FreeSpace());
}

void TTelegramDecoder::Discard() {
  iRecBufIdx = 0;
  iRecBufLen = 0;
  dsDecodeState = dsWaitForHeader;
}

void TTelegramDecoder::HeaderReset() {
  iTeleIdx = 0;
  bRecChecksum = 0;
  RecTele.bLength = 0;
}

TDecodeError TTelegramDecoder::Decode(TTelegram& tele, const TFillFunction& fill) {
  Fill(fill);
  const TDecodeError result = Advance(tele);
  if (result != deMissingChars) {
    Fill(fill);
    Resynchronise();
  }
  return result;
}

TDecodeError TTelegramDecoder::Advance(TTelegram& tele) {
  fDecoded = false;
  TDecodeError result = deMissingChars;
  bool stop = false;
  while (!stop && iRecBufIdx < iRecBufLen) {
    const uint8_t b = RecBuffer[iRecBufIdx];
    bool advance = true;
    switch (dsDecodeState) {
      case dsHeaderDle:
        HeaderReset();
        if (b == kDle) {
          dsDecodeState = dsHeaderStx;
        } else {
          result = deWrongHeader;
          advance = false;
          stop = true;
        }
        break;
      case dsWaitForHeader:
        HeaderReset();
        if (b == kDle) dsDecodeState = dsHeaderStx;
        break;
      case dsHeaderStx:
        if (b == kTypeData) {
          RecTele.ttType = ttNormal;
          dsDecodeState = dsData;
        } else if (b == kTypeAck) {
          RecTele.ttType = ttAck;
          dsDecodeState = dsAckData;
        } else if (b == kTypeNak) {
          RecTele.ttType = ttNak;
          dsDecodeState = dsNakData;
        } else if (b != kDle) {
          result = deWrongHeader;
          advance = false;
          stop = true;
        }
        break;
      case dsData:
        bRecChecksum = static_cast<uint8_t>(bRecChecksum + b);
        switch (iTeleIdx) {
          case 0: RecTele.bIdent = b; break;
          case 1: RecTele.bCommand = b; break;
          case 2: RecTele.bTarget = b; break;
          case 3: RecTele.bLength = b; break;
          default:
            if (iTeleIdx - 4 < kTelegramDataSize) RecTele.baData[iTeleIdx - 4] = b;
            break;
        }
        ++iTeleIdx;
        if (b == kDle)
          dsDecodeState = dsDataDle;
        else if (DataDone())
          dsDecodeState = dsChecksum;
        break;
      case dsDataDle:
        if (b == kStuff) {
          dsDecodeState = DataDone() ? dsChecksum : dsData;
        } else {
          result = deWrongHeader;
          advance = false;
          stop = true;
        }
        break;
      case dsAckData:
      case dsNakData:
        bRecChecksum = static_cast<uint8_t>(bRecChecksum + b);
        RecTele.bIdent = b;
        if (b == kDle)
          dsDecodeState = dsDecodeState == dsAckData ? dsAckDataDle : dsNakDataDle;
        else
          dsDecodeState = dsChecksum;
        break;
      case dsAckDataDle:
      case dsNakDataDle:
        if (b == kStuff) {
          dsDecodeState = dsChecksum;
        } else {
          result = deWrongHeader;
          advance = false;
          stop = true;
        }
        break;
      case dsChecksum:
        dsDecodeState = dsHeaderDle;
        stop = true;
        if (b == bRecChecksum) {
          result = deOK;
          fDecoded = true;
          tele.Assign(RecTele);
        } else {
          result = deChecksum;
          advance = false;
        }
        break;
    }
    if (advance) ++iRecBufIdx;
  }
  // Everything consumed: the bytes are in the state machine now, so the
  // buffer starts afresh. Without this, garbage plus a partial frame could
  // fill the buffer for good.
  if (result == deMissingChars) {
    iRecBufIdx = 0;
    iRecBufLen = 0;
  }
  return result;
}

void TTelegramDecoder::Resynchronise() {
  int32_t start = iRecBufIdx;
  while (start < iRecBufLen) {
    if (RecBuffer[start] == kDle) {
      if (start == iRecBufLen - 1) break;
      const uint8_t next = RecBuffer[start + 1];
      if (next == kTypeData || next == kTypeAck || next == kTypeNak) break;
    }
    ++start;
  }
  const int32_t keep = iRecBufLen - start;
  if (keep > 0 && start > 0) std::copy(RecBuffer.begin() + start, RecBuffer.begin() + iRecBufLen, RecBuffer.begin());
  iRecBufLen = keep > 0 ? keep : 0;
  iRecBufIdx = 0;
  dsDecodeState = dsHeaderDle;
}

// ---------------------------------------------------------------------------
// TComm32

TComm32::TComm32(std::unique_ptr<TSerialPort> port, TLinkClock& clock)
    : FPort(port ? std::move(port) : std::make_unique<TPosixSerialPort>()), FClock(clock) {}

TComm32::~TComm32() {
  std::lock_guard lock(FPortLock);
  FPort->Close();
}

void TComm32::Message(const std::string& s) {
  if (ComMessageFunction) ComMessageFunction(s);
}

void TComm32::Wait(uint32_t ms) {
  if (WaitFunction)
    WaitFunction(ms);
  else
    FClock.Sleep(ms);
}

bool TComm32::Opened() const {
  std::lock_guard lock(FPortLock);
  return FPort->IsOpen();
}

bool TComm32::Open() {
  boolCloseRequest = true;
  if (Opened()) Close();
  const int32_t port = nPort;
  const std::string device = FPortTable.DevicePath(port);
  std::string reason;
  bool opened = false;
  {
    std::lock_guard lock(FPortLock);
    FPort->Close();
    if (device.empty())
      reason = "no serial device for this port number";
    else
      opened = FPort->Open(device, lBaud, reason);
    boolCloseRequest = !opened;
  }
  if (!opened) {
    const std::string name = device.empty() ? "COM" + std::to_string(port) : device;
    Message("Error opening " + name + (reason.empty() ? "" : ": " + reason));
  }
  return opened;
}

void TComm32::Close() {
  boolCloseRequest = true;
  for (int i = 0; i < 51 && boolInUse; ++i) Wait(50);
  bool wasOpen = false;
  {
    std::lock_guard lock(FPortLock);
    wasOpen = FPort->IsOpen();
    if (wasOpen) FPort->Purge();
  }
  if (!wasOpen) return;
  // Settle time before the handle goes; the lock is not held meanwhile.
  Wait(200);
  std::lock_guard lock(FPortLock);
  FPort->Close();
}

void TComm32::SetPort(int32_t value) {
  if (value == nPort) return;
  nPort = value;
  if (Opened()) {
    Close();
    Open();
  }
}

void TComm32::SetBaud(int32_t value) {
  if (value == lBaud) return;
  lBaud = value;
  if (Opened()) {
    Close();
    Open();
  }
}

bool TComm32::Write(const uint8_t* buffer, uint32_t uLength) {
  if (boolCloseRequest || boolInUse) return false;
  bool ok = false;
  bool wasOpen = false;
  {
    std::lock_guard lock(FPortLock);
    boolInUse = true;
    wasOpen = FPort->IsOpen();
    if (wasOpen) ok = FPort->Write(buffer, static_cast<int32_t>(uLength)) == static_cast<int32_t>(uLength);
    boolInUse = false;
  }
  // boolInUse is clear by now, or Close would wait for this very call.
  if (!ok && wasOpen) {
    Close();
    Open();
  }
  return ok;
}

bool TComm32::QueryLocked(bool transmit, int32_t& count, std::string& message) {
  count = 0;
  if (!FPort->IsOpen()) return true;
  uint32_t errors = 0;
  const bool ok = FPort->Query(transmit, count, errors);
  if (!ok) count = 0;
  ReportLocked(ok, errors, message);
  return ok;
}

void TComm32::ReportLocked(bool ok, uint32_t errors, std::string& message) {
  if (errors != 0) {
    char text[32];
    std::snprintf(text, sizeof text, "COM error 0x%X", errors);
    message = text;
    dwLastErrorCode = errors;
  }
  if (!ok) {
    // The device is gone or broken: close it so that the worker's reopen
    // loop takes over instead of reporting the same failure every cycle.
    FPort->Close();
    boolCloseRequest = true;
  }
}

int32_t TComm32::GetInCount() {
  std::string message;
  int32_t count = 0;
  {
    std::lock_guard lock(FPortLock);
    QueryLocked(false, count, message);
  }
  if (!message.empty()) Message(message);
  return count;
}

int32_t TComm32::GetOutCount() {
  std::string message;
  int32_t count = 0;
  {
    std::lock_guard lock(FPortLock);
    QueryLocked(true, count, message);
  }
  if (!message.empty()) Message(message);
  return count;
}

int32_t TComm32::Read(uint8_t* buffer, uint32_t uMaxLen) {
  if (boolCloseRequest) return 0;
  if (boolInUse) {
    Message("Error: COM port in use!");
    return 0;
  }
  std::string message;
  int32_t n = 0;
  {
    std::lock_guard lock(FPortLock);
    boolInUse = true;
    int32_t count = 0;
    QueryLocked(false, count, message);
    const int32_t want = std::min<int64_t>(uMaxLen, count);
    if (want > 0) n = std::max(0, FPort->Read(buffer, want));
    boolInUse = false;
  }
  if (!message.empty()) Message(message);
  return n;
}

void TComm32::Flush() {
  if (boolInUse || boolCloseRequest) return;
  std::lock_guard lock(FPortLock);
  if (FPort->IsOpen()) FPort->Purge();
}

void TComm32::FillLocked(std::string& message) {
  if (boolInUse || boolCloseRequest || !FPort->IsOpen()) return;
  boolInUse = true;
  FDecoder.Fill([&](uint8_t* dst, int32_t max) {
    int32_t count = 0;
    uint32_t errors = 0;
    const bool ok = FPort->ReadAvailable(dst, max, count, errors);
    ReportLocked(ok, errors, message);
    return ok ? count : 0;
  });
  boolInUse = false;
}

TDecodeError TComm32::ReceiveTelegram(TTelegram& tele) {
  auto fill = [&] {
    std::string message;
    {
      std::lock_guard lock(FPortLock);
      FillLocked(message);
    }
    if (!message.empty()) Message(message);
  };
  fill();
  if (dwLastErrorCode != 0) {
    FDecoder.Discard();
    dwLastErrorCode = 0;
  }
  const TDecodeError result = FDecoder.Advance(tele);
  if (result != deMissingChars) {
    fill();
    FDecoder.Resynchronise();
  }
  return result;
}

bool TComm32::SendTelegram(const TTelegram& tele) {
  if (tele.ttType == ttNone) return false;
  iSendBufLen = EncodeTelegram(tele, SendBuffer.data(), static_cast<int32_t>(SendBuffer.size()));
  if (iSendBufLen <= 0) return false;
  return Write(SendBuffer.data(), static_cast<uint32_t>(iSendBufLen));
}

void TComm32::WaitForInput(uint32_t maxMs) {
  bool open = false;
  {
    std::lock_guard lock(FPortLock);
    open = FPort->IsOpen();
  }
  if (!open || FDecoder.InFrame()) {
    FClock.Sleep(maxMs);
    return;
  }
  // Polling without the lock: a concurrent close makes poll return (POLLNVAL)
  // or time out, both harmless.
  FPort->WaitReadable(maxMs);
}

}  // namespace zeb7
