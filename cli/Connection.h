#pragma once
// The link to a drive for every verb: the device given with --port, or the virtual
// drive started in this process on a pseudo-terminal of its own (--simulate).
#include "Verb.h"
#include "link/ThrdComm.h"

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace zeb7::sim {
class SimServer;
}

namespace zeb7ctl {

class ConnectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Connection {
 public:
  // Opens the port and starts the worker; throws ConnectionError with the link's own
  // message ("Error opening /dev/ttyUSB0: ...") when the device cannot be used, and
  // for a drive description that cannot be loaded.
  explicit Connection(const GlobalOptions& opts);
  ~Connection();  // stops the worker (bounded), then the virtual drive
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  zeb7::TCommInterface& comm() { return *comm_; }
  zeb7::TQueueExecutor& executor() { return *executor_; }
  const std::string& device() const { return device_; }
  zeb7::sim::SimServer* simulator() { return sim_.get(); }

  // Runs hand-overs until done() holds, `limit` has passed or (unless told
  // otherwise) the user pressed Ctrl-C; returns done().
  bool serveUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::hours(24 * 365), bool stopOnInterrupt = true);
  // Ctrl-C (SIGINT) or SIGTERM arrived since the connection was made.
  static bool interrupted();
  // --port or --simulate was given (otherwise a usage error).
  static bool driveGiven(const GlobalOptions& opts) { return opts.simulate || !opts.port.empty(); }

  // The verbs' common opening: a usage message and kExitUsage without --port or
  // --simulate, the link's message and kExitFailure when the drive cannot be
  // used; nullptr then, with `exitCode` set.
  static std::unique_ptr<Connection> openOrReport(const GlobalOptions& opts, int& exitCode);

  // Where the link's error messages go; by default standard error.
  void setErrorSink(zeb7::TMessageFunction sink);

 private:
  std::unique_ptr<zeb7::sim::SimServer> sim_;
  std::unique_ptr<zeb7::TQueueExecutor> executor_;
  std::unique_ptr<zeb7::TCommInterface> comm_;
  std::string device_;
  std::string lastError_;
};

}  // namespace zeb7ctl
