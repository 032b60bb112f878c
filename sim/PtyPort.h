#pragma once
// The drive's end of the line: the master side of a pseudo-terminal. The PC opens
// the slave device (slavePath) like a serial port, closes and reopens it at will.
#include <string>

namespace zeb7::sim {

class PtyPort {
 public:
  PtyPort();  // throws std::system_error with a clear message
  ~PtyPort();
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;

  int masterFd() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// A symbolic link at `path` to the device, replaced atomically, restored when
// someone removes or redirects it, and removed on destruction if it is still ours.
class DeviceLink {
 public:
  DeviceLink(std::string path, std::string target);  // throws std::system_error
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  void refresh();  // puts the link back if it no longer points at our device
  const std::string& path() const { return path_; }

 private:
  void place();
  std::string path_, target_;
};

}  // namespace zeb7::sim
