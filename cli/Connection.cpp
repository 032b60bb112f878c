#include "Connection.h"

#include "DriveDescription.h"
#include "SimServer.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace zeb7ctl {

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) { gInterrupted = true; }

void printError(const std::string& s) { std::cerr << "zeb7ctl: " << s << std::endl; }

}  // namespace

bool Connection::interrupted() { return gInterrupted; }

Connection::Connection(const GlobalOptions& opts) {
  gInterrupted = false;
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
  std::signal(SIGPIPE, SIG_IGN);

  if (opts.simulate) {
    zeb7::sim::DriveDescription d;
    try {
      d = opts.simulateDrive.empty() ? zeb7::sim::defaultDrive() : zeb7::sim::loadDriveFile(opts.simulateDrive);
    } catch (const std::exception& e) {
      throw ConnectionError(e.what());
    }
    try {
      sim_ = std::make_unique<zeb7::sim::SimServer>(std::move(d), zeb7::sim::SimOptions{});
    } catch (const std::exception& e) {
      throw ConnectionError(std::string("cannot start the virtual drive: ") + e.what());
    }
    sim_->start();
    device_ = sim_->devicePath();
  } else if (!opts.port.empty()) {
    device_ = opts.port;
  } else {
    throw ConnectionError("no drive given: use --port DEVICE or --simulate");
  }

  executor_ = std::make_unique<zeb7::TQueueExecutor>();
  comm_ = std::make_unique<zeb7::TCommInterface>(*executor_);
  comm_->PortTable().SetEntry(1, device_);
  comm_->SetComPort(1);
  // Opening runs on this (the main) thread, so the error message arrives directly.
  comm_->SetOnErrorMessage([this](const std::string& s) { lastError_ = s; });
  if (!comm_->OpenCom()) {
    std::string why = lastError_.empty() ? "Error opening " + device_ : lastError_;
    comm_.reset();
    if (sim_) sim_->stop();
    throw ConnectionError(why);
  }
  // A vanished device repeats its message every reopen attempt: show it once until
  // something else is reported.
  comm_->SetOnErrorMessage([this](const std::string& s) {
    if (s == lastError_) return;
    lastError_ = s;
    printError(s);
  });
  comm_->Resume();
}

Connection::~Connection() {
  if (comm_) {
    comm_->SetOnDebugMessage(nullptr);
    comm_.reset();
  }
  if (sim_) sim_->stop();
}

void Connection::setErrorSink(zeb7::TMessageFunction sink) { comm_->SetOnErrorMessage(std::move(sink)); }

bool Connection::serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
                            bool stopOnInterrupt) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if ((stopOnInterrupt && gInterrupted) || std::chrono::steady_clock::now() >= end) return done();
    executor_->WaitAndProcess(10);
  }
  return true;
}

std::unique_ptr<Connection> Connection::openOrReport(const GlobalOptions& opts, int& exitCode) {
  if (!driveGiven(opts)) {
    std::cerr << "zeb7ctl: no drive given: use --port DEVICE or --simulate [DRIVE.json]\n";
    exitCode = kExitUsage;
    return nullptr;
  }
  try {
    return std::make_unique<Connection>(opts);
  } catch (const ConnectionError& e) {
    std::cerr << "zeb7ctl: " << e.what() << "\n";
    exitCode = kExitFailure;
    return nullptr;
  }
}

}  // namespace zeb7ctl
