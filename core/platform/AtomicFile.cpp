#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zeb7 {

std::string ErrnoText(int err) { return std::strerror(err); }

namespace {

bool WriteAll(int fd, std::string_view data, int& err) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (n == 0) {
      err = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is only durable once the directory entry is on the disk too.
void SyncDirectory(const std::string& path) {
  const int dfd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  ::fsync(dfd);
  ::close(dfd);
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  const bool inPlace = exists && !S_ISREG(st.st_mode);
  std::string finalPath = path;
  if (exists && !inPlace) {
    if (char* p = ::realpath(path.c_str(), nullptr)) {
      finalPath = p;
      std::free(p);
    }
  }
  std::string temp = finalPath;
  int fd = -1;
  if (inPlace) {
    fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  } else {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      temp = finalPath + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0 || errno != EEXIST) break;
    }
  }
  if (fd < 0) {
    error = "cannot create " + Quoted(path) + ": " + ErrnoText(errno);
    return false;
  }
  if (exists && !inPlace) ::fchmod(fd, st.st_mode & 07777);

  int err = 0;
  bool ok = WriteAll(fd, bytes, err);
  if (ok && !inPlace && ::fsync(fd) != 0) {
    err = errno;
    ok = false;
  }
  if (::close(fd) != 0 && ok) {
    err = errno;
    ok = false;
  }
  if (!ok) {
    error = "cannot write " + Quoted(path) + ": " + ErrnoText(err);
    if (!inPlace) ::unlink(temp.c_str());
    return false;
  }
  if (!inPlace) {
    if (::rename(temp.c_str(), finalPath.c_str()) != 0) {
      error = "cannot replace " + Quoted(path) + ": " + ErrnoText(errno);
      ::unlink(temp.c_str());
      return false;
    }
    SyncDirectory(finalPath);
  }
  return true;
}

}  // namespace zeb7
