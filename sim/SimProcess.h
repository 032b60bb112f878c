#pragma once
// zeb7-sim as a child process, for tests that kill and restart the drive.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace zeb7::sim {

class SimProcess {
 public:
  // Starts `program args...` and waits for the device line; throws std::runtime_error
  // when the program cannot be started or prints no device within `timeout`.
  SimProcess(const std::string& program, const std::vector<std::string>& args,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));
  ~SimProcess();  // SIGTERM, then SIGKILL if it does not end within two seconds
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const std::string& devicePath() const { return device_; }
  pid_t pid() const { return pid_; }
  // Sends `sig` and reaps the process; returns its wait status.
  int kill(int sig);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string device_;
};

}  // namespace zeb7::sim
