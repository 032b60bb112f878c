#include "link/C167Comm.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

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
// POSIX serial port

namespace {

bool BaudConstant(int32_t baud, speed_t& speed) {
  switch (baud) {
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    case 230400: speed = B230400; return true;
    case 460800: speed = B460800; return true;
    case 921600: speed = B921600; return true;
    default: return false;
  }
}

std::string GroupOf(const std::string& device) {
  struct stat st {};
  if (::stat(device.c_str(), &st) == 0) {
    if (const struct group* g = ::getgrgid(st.st_gid)) return g->gr_name;
  }
  return "dialout";
}

}  // namespace

std::string DescribeOpenError(int err, const std::string& device) {
  switch (err) {
    case EACCES:
    case EPERM:
      return "permission denied; the user is not in the group \"" + GroupOf(device) +
             "\" that owns the device";
    case EBUSY:
    case EWOULDBLOCK:
      return "device busy (in use by another program)";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "no such device";
    case ENOTTY:
      return "not a serial device";
    default:
      return std::strerror(err);
  }
}

TPosixSerialPort::~TPosixSerialPort() { Close(); }

bool TPosixSerialPort::Open(const std::string& device, int32_t baud, std::string& reason) {
  Close();
  speed_t speed = B0;
  if (!BaudConstant(baud, speed)) {
    reason = "baud rate " + std::to_string(baud) + " not supported";
    return false;
  }
  const int h = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (h < 0) {
    reason = DescribeOpenError(errno, device);
    return false;
  }
  auto fail = [&](int err) {
    reason = DescribeOpenError(err, device);
    ::close(h);
    return false;
  };
  if (::flock(h, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
  (void)::ioctl(h, TIOCEXCL);

  struct termios tio {};
  if (::tcgetattr(h, &tio) != 0) return fail(errno);
  ::cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
  tio.c_iflag |= IGNBRK;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  if (::tcsetattr(h, TCSANOW, &tio) != 0) return fail(errno);

  // Writes stay synchronous: a would-block write would count as a short
  // write and reopen the port.
  const int flags = ::fcntl(h, F_GETFL);
  if (flags < 0 || ::fcntl(h, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(errno);

  // Handshake lines inactive; pseudo-terminals have none, which is fine.
  int lines = TIOCM_DTR | TIOCM_RTS;
  (void)::ioctl(h, TIOCMBIC, &lines);
  ::tcflush(h, TCIOFLUSH);

  fd = h;
  struct serial_icounter_struct ic {};
  fHasCounters = ::ioctl(fd, TIOCGICOUNT, &ic) == 0;
  if (fHasCounters) aLastCounters = {ic.buf_overrun, ic.overrun, ic.parity, ic.frame, ic.brk};
  return true;
}

void TPosixSerialPort::Close() {
  const int h = fd.exchange(-1);
  if (h < 0) return;
  // The exclusive flag outlives our descriptor while the peer keeps the
  // terminal open (a pseudo-terminal), and would make our own reopen fail.
  (void)::ioctl(h, TIOCNXCL);
  ::close(h);
}

uint32_t TPosixSerialPort::LineErrors() {
  if (!fHasCounters) return 0;
  struct serial_icounter_struct ic {};
  if (::ioctl(fd, TIOCGICOUNT, &ic) != 0) return 0;
  const std::array<int32_t, 5> now = {ic.buf_overrun, ic.overrun, ic.parity, ic.frame, ic.brk};
  static constexpr uint32_t kFlags[5] = {ceRxOver, ceOverrun, ceRxParity, ceFrame, ceBreak};
  uint32_t errors = 0;
  for (size_t i = 0; i < now.size(); ++i)
    if (now[i] != aLastCounters[i]) errors |= kFlags[i];
  aLastCounters = now;
  return errors;
}

bool TPosixSerialPort::Query(bool transmit, int32_t& count, uint32_t& errors) {
  count = 0;
  errors = 0;
  if (fd < 0) return true;
  int n = 0;
  if (::ioctl(fd, transmit ? TIOCOUTQ : FIONREAD, &n) != 0) {
    errors = static_cast<uint32_t>(errno);
    return false;
  }
  count = n;
  errors = LineErrors();
  return true;
}

int32_t TPosixSerialPort::Read(uint8_t* buffer, int32_t maxLength) {
  if (fd < 0) return -1;
  const ssize_t n = ::read(fd, buffer, static_cast<size_t>(maxLength));
  if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
  return static_cast<int32_t>(n);
}

bool TPosixSerialPort::ReadAvailable(uint8_t* buffer, int32_t maxLength, int32_t& count, uint32_t& errors) {
  count = 0;
  errors = 0;
  if (fd < 0) return true;
  // VMIN = VTIME = 0: returns at once with what is there, one call instead
  // of asking for the count first.
  const ssize_t n = maxLength > 0 ? ::read(fd, buffer, static_cast<size_t>(maxLength)) : 0;
  if (n < 0) {
    if (errno != EAGAIN && errno != EINTR) {
      errors = static_cast<uint32_t>(errno);
      return false;
    }
  } else {
    count = static_cast<int32_t>(n);
  }
  errors = LineErrors();
  return true;
}

int32_t TPosixSerialPort::Write(const uint8_t* buffer, int32_t length) {
  if (fd < 0) return -1;
  int32_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd, buffer + done, static_cast<size_t>(length - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

void TPosixSerialPort::Purge() {
  if (fd >= 0) ::tcflush(fd, TCIOFLUSH);
}

void TPosixSerialPort::WaitReadable(uint32_t maxMs) {
  const int h = fd;
  if (h < 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(maxMs));
    return;
  }
  struct pollfd p {h, POLLIN, 0};
  const int r = ::poll(&p, 1, static_cast<int>(maxMs));
  // A hung-up device reports at once; do not let that turn into spinning.
  if (r > 0 && !(p.revents & POLLIN)) std::this_thread::sleep_for(std::chrono::milliseconds(maxMs));
}

// ---------------------------------------------------------------------------
// Port table

bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      // Compare values by length after skipping leading zeros, then digits.
      size_t zi = i, zj = j;
      while (zi + 1 < ei && a[zi] == '0') ++zi;
      while (zj + 1 < ej && b[zj] == '0') ++zj;
      if (ei - zi != ej - zj) return ei - zi < ej - zj;
      const int c = a.compare(zi, ei - zi, b, zj, ej - zj);
      if (c != 0) return c < 0;
      if (ei - i != ej - j) return ei - i < ej - j;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

TPortTable::TPortTable(std::string sysClassTty, std::string devDir)
    : sSysClassTty(std::move(sysClassTty)), sDevDir(std::move(devDir)) {}

void TPortTable::SetEntry(int32_t nPort, const std::string& path) {
  if (nPort < 1 || nPort > kMaxPort) return;
  std::lock_guard lock(FLock);
  aEntries[nPort] = path;
}

std::string TPortTable::Entry(int32_t nPort) const {
  if (nPort < 1 || nPort > kMaxPort) return {};
  std::lock_guard lock(FLock);
  return aEntries[nPort];
}

void TPortTable::ClearEntries() {
  std::lock_guard lock(FLock);
  for (auto& e : aEntries) e.clear();
}

void TPortTable::SetSystemFolders(const std::string& sysClassTty, const std::string& devDir) {
  std::lock_guard lock(FLock);
  sSysClassTty = sysClassTty;
  sDevDir = devDir;
}

std::vector<std::string> TPortTable::SystemDevices() const {
  namespace fs = std::filesystem;
  std::string sysDir, devDir;
  {
    std::lock_guard lock(FLock);
    sysDir = sSysClassTty;
    devDir = sDevDir;
  }
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(sysDir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("ttyUSB", 0) != 0 && name.rfind("ttyACM", 0) != 0 && name.rfind("ttyS", 0) != 0) continue;
    std::error_code ec2;
    if (!fs::exists(it->path() / "device", ec2)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  std::vector<std::string> paths;
  paths.reserve(names.size());
  for (const auto& n : names) paths.push_back(devDir + "/" + n);
  return paths;
}

std::array<std::string, TPortTable::kMaxPort + 1> TPortTable::Map() const {
  std::array<std::string, kMaxPort + 1> map;
  {
    std::lock_guard lock(FLock);
    map = aEntries;
  }
  size_t next = 0;
  const std::vector<std::string> system = SystemDevices();
  for (int32_t n = 1; n <= kMaxPort; ++n) {
    if (!map[n].empty()) continue;
    while (next < system.size() && std::find(map.begin(), map.end(), system[next]) != map.end()) ++next;
    if (next < system.size()) map[n] = system[next++];
  }
  return map;
}

std::string TPortTable::DevicePath(int32_t nPort) const {
  if (nPort < 1 || nPort > kMaxPort) return {};
  const std::string explicitPath = Entry(nPort);
  if (!explicitPath.empty()) return explicitPath;
  return Map()[nPort];
}

std::string TPortTable::DisplayName(int32_t nPort) const {
  const std::string path = DevicePath(nPort);
  return path.empty() ? "COM" + std::to_string(nPort) : path;
}

// ---------------------------------------------------------------------------
// Clock

uint32_t TSteadyClock::Tick() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TSteadyClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TLinkClock& SteadyClock() {
  static TSteadyClock clock;
  return clock;
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
