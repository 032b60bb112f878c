#include "link/SerialPort.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace zeb7 {

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
      // The message names the fix: the owning group is dialout on Debian.
      return "permission denied; add the user to the group " + GroupOf(device) +
             " (sudo adduser $USER " + GroupOf(device) + ", then log in again)";
    case EBUSY:
    case EWOULDBLOCK:
      return "device busy; close the program holding the port; a modem manager may probe new ports";
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

}  // namespace zeb7
