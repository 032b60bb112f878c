#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace zeb7::sim {

SimProcess::SimProcess(const std::string& program, const std::vector<std::string>& args,
                       std::chrono::milliseconds timeout) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  std::vector<std::string> argvStore{program};
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  }
  if (pid_ == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::execv(program.c_str(), argv.data());
    const char msg[] = "cannot start the virtual drive\n";
    [[maybe_unused]] auto r = ::write(STDERR_FILENO, msg, sizeof msg - 1);
    ::_exit(127);
  }
  ::close(fds[1]);
  out_ = fds[0];
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{out_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) break;
    char buf[256];
    ssize_t n = ::read(out_, buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, size_t(n));
  }
  auto nl = line.find('\n');
  if (nl == std::string::npos) {
    kill(SIGKILL);
    throw std::runtime_error("the virtual drive " + program + " printed no device");
  }
  device_ = line.substr(0, nl);
}

SimProcess::~SimProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      int st;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (pid_ > 0) kill(SIGKILL);
  }
  if (out_ >= 0) ::close(out_);
}

int SimProcess::kill(int sig) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, sig);
  int st = 0;
  while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return st;
}

}  // namespace zeb7::sim
