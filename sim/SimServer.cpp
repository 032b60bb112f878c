#include "SimServer.h"

#include "ControlCommands.h"
#include "LineCodec.h"
#include "PtyPort.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace zeb7::sim {

namespace {

constexpr size_t kMaxOutput = 1 << 16;  // a PC that stops reading must not grow us forever
constexpr auto kLinkCheck = std::chrono::milliseconds(500);
constexpr auto kIdleWait = std::chrono::milliseconds(5);

const char* typeName(TTelegramType t) {
  switch (t) {
    case ttNormal: return "data";
    case ttAck: return "ack";
    case ttNak: return "nak";
    default: return "none";
  }
}

timespec toTimespec(std::chrono::nanoseconds d) {
  if (d.count() < 0) d = std::chrono::nanoseconds(0);
  timespec ts;
  ts.tv_sec = time_t(d.count() / 1'000'000'000);
  ts.tv_nsec = long(d.count() % 1'000'000'000);
  return ts;
}

}  // namespace

SimServer::SimServer(DriveDescription description, SimOptions options)
    : drive_(std::move(description)), opt_(std::move(options)), faults_(opt_.faults) {
  pty_ = std::make_unique<PtyPort>();
  codec_ = std::make_unique<LineCodec>();
  if (!opt_.linkPath.empty()) link_ = std::make_unique<DeviceLink>(opt_.linkPath, pty_->slavePath());
  if (!opt_.logPath.empty()) {
    log_ = std::fopen(opt_.logPath.c_str(), "w");
    if (!log_)
      throw std::system_error(errno, std::generic_category(), "cannot write the log " + opt_.logPath);
  }
  if (!opt_.controlPath.empty()) {
    struct stat st{};
    if (::stat(opt_.controlPath.c_str(), &st) == 0 && !S_ISFIFO(st.st_mode))
      throw std::runtime_error("control path " + opt_.controlPath + " exists and is not a FIFO");
    if (::mkfifo(opt_.controlPath.c_str(), 0600) != 0 && errno != EEXIST)
      throw std::system_error(errno, std::generic_category(), "cannot create the control FIFO " + opt_.controlPath);
    // Opened for writing too, so the FIFO never reports end of file between writers.
    controlFd_ = ::open(opt_.controlPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (controlFd_ < 0)
      throw std::system_error(errno, std::generic_category(), "cannot open the control FIFO " + opt_.controlPath);
  }
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  start_ = Clock::now();
}

SimServer::~SimServer() {
  stop();
  if (log_) std::fclose(log_);
  if (controlFd_ >= 0) {
    ::close(controlFd_);
    ::unlink(opt_.controlPath.c_str());
  }
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

const std::string& SimServer::devicePath() const { return pty_->slavePath(); }

SimStats SimServer::stats() const {
  std::lock_guard lock(statsMutex_);
  return stats_;
}

void SimServer::start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] {
    try {
      loop(nullptr);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "zeb7-sim: %s\n", e.what());
    }
  });
}

void SimServer::stop() {
  stop_ = true;
  wake();
  if (thread_.joinable()) thread_.join();
}

void SimServer::run(const std::atomic<bool>& stopFlag) { loop(&stopFlag); }

void SimServer::wake() {
  uint64_t one = 1;
  if (wakeFd_ >= 0) [[maybe_unused]] auto r = ::write(wakeFd_, &one, sizeof one);
}

std::string SimServer::control(const std::string& jsonLine) {
  std::string err;
  {
    std::lock_guard lock(drive_.mutex());
    err = applyControl(drive_, jsonLine);
  }
  if (log_) {
    std::lock_guard lock(statsMutex_);
    nlohmann::json j{{"t_ms", std::chrono::duration<double, std::milli>(Clock::now() - start_).count()},
                     {"dir", "control"},
                     {"command", jsonLine}};
    if (!err.empty()) j["error"] = err;
    std::fprintf(log_, "%s\n", j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    std::fflush(log_);
  }
  return err;
}

void SimServer::logTelegram(const char* dir, const TTelegram& t, const std::string& fault) {
  if (!log_) return;
  static const char* hex = "0123456789abcdef";
  std::string data;
  if (t.ttType == ttNormal)
    for (int i = 0; i < t.bLength; ++i) {
      data += hex[t.baData[i] >> 4];
      data += hex[t.baData[i] & 15];
    }
  nlohmann::json j{{"t_ms", std::chrono::duration<double, std::milli>(Clock::now() - start_).count()},
                   {"dir", dir},
                   {"type", typeName(t.ttType)},
                   {"ident", t.bIdent},
                   {"command", t.bCommand},
                   {"target", t.bTarget},
                   {"length", t.ttType == ttNormal ? t.bLength : 0},
                   {"data", data}};
  if (!fault.empty()) j["fault"] = fault;
  std::lock_guard lock(statsMutex_);
  std::fprintf(log_, "%s\n", j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  std::fflush(log_);
}

void SimServer::onRequest(const TTelegram& req, Clock::time_point arrival) {
  {
    std::lock_guard lock(statsMutex_);
    ++stats_.requests;
  }
  logTelegram("request", req, {});
  TTelegram ans = drive_.answer(req);
  FaultDecision f = faults_.decide();
  if (ans.ttType == ttNone || f.drop) {
    if (f.drop) {
      std::lock_guard lock(statsMutex_);
      ++stats_.dropped;
    }
    logTelegram("answer", ans, f.drop ? "drop" : "");
    return;
  }
  if (f.nak) {
    ans.ttType = ttNak;
    ans.bLength = 0;
  }
  logTelegram("answer", ans, f.describe());
  Pending p;
  p.bytes = f.garbage;
  std::vector<uint8_t> frame = codec_->encode(ans);
  FaultInjector::corrupt(frame, f.corruption, f.position);
  p.answerBytes = frame.size();
  p.bytes.insert(p.bytes.end(), frame.begin(), frame.end());
  {
    std::lock_guard lock(statsMutex_);
    if (f.nak) ++stats_.naked;
    if (f.delay) ++stats_.delayed;
    if (f.corruption != Corruption::None) ++stats_.corrupted;
    stats_.garbageBytes += f.garbage.size();
  }
  Clock::time_point ready = arrival;
  if (f.delay) ready += std::chrono::milliseconds(opt_.faults.delayMs);
  pending_.emplace(ready, std::move(p));
}

// Moves answers whose time has come to the output. Paced, an answer leaves when the
// wire would have carried its last byte; the wire carries one answer at a time.
void SimServer::pumpOutput(Clock::time_point now, Clock::time_point& nextEvent) {
  while (!pending_.empty()) {
    auto it = pending_.begin();
    if (it->first > now) {
      nextEvent = std::min(nextEvent, it->first);
      return;
    }
    Clock::time_point done = it->first;
    if (opt_.pace) {
      done = std::max(it->first, outWireFree_) + wireTime(it->second.bytes.size());
      if (done > now) {
        nextEvent = std::min(nextEvent, done);
        return;
      }
      outWireFree_ = done;
    }
    if (out_.size() + it->second.bytes.size() <= kMaxOutput) {
      out_.insert(out_.end(), it->second.bytes.begin(), it->second.bytes.end());
      std::lock_guard lock(statsMutex_);
      ++stats_.answers;
      stats_.answerBytes += it->second.answerBytes;
    }
    pending_.erase(it);
  }
}

void SimServer::flushOutput() {
  while (!out_.empty()) {
    ssize_t n = ::write(pty_->masterFd(), out_.data(), out_.size());
    if (n > 0) {
      out_.erase(out_.begin(), out_.begin() + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    sessionLost();  // EIO: nobody holds the device
    return;
  }
}

// The PC closed the device: what was on its way belongs to the old session.
void SimServer::sessionLost() {
  connected_ = false;
  codec_->reset();
  pending_.clear();
  out_.clear();
}

void SimServer::readControl() {
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(controlFd_, buf, sizeof buf);
    if (n <= 0) break;
    controlBuf_.append(buf, size_t(n));
  }
  size_t nl;
  while ((nl = controlBuf_.find('\n')) != std::string::npos) {
    std::string line = controlBuf_.substr(0, nl);
    controlBuf_.erase(0, nl + 1);
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::string err = control(line);
    if (!err.empty()) std::fprintf(stderr, "zeb7-sim: control: %s\n", err.c_str());
  }
  if (controlBuf_.size() > 65536) controlBuf_.clear();
}

void SimServer::loop(const std::atomic<bool>* extra) {
  // Paced frames are due every millisecond or so; the default 50 us timer slack
  // would stretch the wire.
  if (opt_.pace) ::prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
  auto stopping = [&] { return stop_.load() || (extra && extra->load()); };
  Clock::time_point nextLinkCheck = Clock::now() + kLinkCheck;
  uint8_t buf[4096];
  while (!stopping()) {
    Clock::time_point now = Clock::now();
    if (now >= nextLinkCheck) {
      if (link_) link_->refresh();
      nextLinkCheck = now + kLinkCheck;
    }
    Clock::time_point nextEvent = nextLinkCheck;
    pumpOutput(now, nextEvent);
    if (!out_.empty()) flushOutput();

    pollfd fds[3];
    fds[0] = {pty_->masterFd(), short(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0};
    fds[1] = {wakeFd_, POLLIN, 0};
    fds[2] = {controlFd_, POLLIN, 0};
    timespec ts = toTimespec(nextEvent - Clock::now());
    int rc = ::ppoll(fds, controlFd_ >= 0 ? 3 : 2, &ts, nullptr);
    if (rc < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "poll");
    }
    if (fds[1].revents & POLLIN) {
      uint64_t v;
      [[maybe_unused]] auto r = ::read(wakeFd_, &v, sizeof v);
    }
    if (controlFd_ >= 0 && (fds[2].revents & POLLIN)) readControl();

    bool hup = false;
    if (fds[0].revents & POLLIN) {
      for (;;) {
        ssize_t n = ::read(pty_->masterFd(), buf, sizeof buf);
        if (n > 0) {
          if (!connected_) {
            connected_ = true;
            std::lock_guard lock(statsMutex_);
            ++stats_.sessions;
          }
          Clock::time_point arrival = Clock::now();
          if (opt_.pace) {
            inWireFree_ = std::max(inWireFree_, arrival) + wireTime(size_t(n));
            arrival = inWireFree_;
          }
          // The PC sends only data frames; anything else from it is ignored.
          int errors = codec_->feed(buf, size_t(n), [&](const TTelegram& t) {
            if (t.ttType == ttNormal) onRequest(t, arrival);
          });
          if (errors) {
            std::lock_guard lock(statsMutex_);
            stats_.decodeErrors += uint64_t(errors);
          }
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        hup = true;  // EIO: the slave side is closed
        break;
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      hup = true;
    }
    if (fds[0].revents & POLLOUT) flushOutput();
    if (hup) {
      if (connected_ || !pending_.empty() || !out_.empty()) sessionLost();
      // Nobody holds the device; the master keeps reporting hang-up until the PC opens
      // it again, so wait a little instead of spinning.
      pollfd w[2] = {{wakeFd_, POLLIN, 0}, {controlFd_, POLLIN, 0}};
      timespec idle = toTimespec(kIdleWait);
      ::ppoll(w, controlFd_ >= 0 ? 2 : 1, &idle, nullptr);
      if (controlFd_ >= 0 && (w[1].revents & POLLIN)) readControl();
    }
  }
}

}  // namespace zeb7::sim
