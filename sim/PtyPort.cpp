#include "PtyPort.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>

namespace zeb7::sim {

namespace {
[[noreturn]] void fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}
}  // namespace

PtyPort::PtyPort() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (master_ < 0) fail("cannot create a pseudo-terminal");
  char name[PATH_MAX];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
    int e = errno;
    ::close(master_);
    errno = e;
    fail("cannot set up the pseudo-terminal");
  }
  slavePath_ = name;
  // Raw from the start, so bytes are passed through unchanged even before the PC has
  // set its own line settings. The slave is not kept open: a pseudo-terminal whose
  // slave is held by us could not be opened exclusively by the PC.
  int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (s >= 0) {
    termios tio{};
    if (tcgetattr(s, &tio) == 0) {
      cfmakeraw(&tio);
      cfsetispeed(&tio, B115200);
      cfsetospeed(&tio, B115200);
      tio.c_cflag |= CLOCAL | CREAD;
      tcsetattr(s, TCSANOW, &tio);
    }
    ::close(s);
  }
  termios mt{};
  if (tcgetattr(master_, &mt) == 0) {
    cfmakeraw(&mt);
    tcsetattr(master_, TCSANOW, &mt);
  }
}

PtyPort::~PtyPort() {
  if (master_ >= 0) ::close(master_);
}

DeviceLink::DeviceLink(std::string path, std::string target)
    : path_(std::move(path)), target_(std::move(target)) {
  place();
}

DeviceLink::~DeviceLink() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink(path_.c_str(), buf, sizeof buf - 1);
  if (n >= 0 && std::string(buf, size_t(n)) == target_) ::unlink(path_.c_str());
}

void DeviceLink::place() {
  const std::string tmp = path_ + ".tmp" + std::to_string(::getpid());
  ::unlink(tmp.c_str());
  if (::symlink(target_.c_str(), tmp.c_str()) != 0) fail("cannot create the link " + tmp);
  if (::rename(tmp.c_str(), path_.c_str()) != 0) {
    int e = errno;
    ::unlink(tmp.c_str());
    errno = e;
    fail("cannot place the link " + path_);
  }
}

void DeviceLink::refresh() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink(path_.c_str(), buf, sizeof buf - 1);
  if (n >= 0 && std::string(buf, size_t(n)) == target_) return;
  try {
    place();
  } catch (const std::system_error&) {
    // The directory may be gone for good; serving the device goes on regardless.
  }
}

}  // namespace zeb7::sim
