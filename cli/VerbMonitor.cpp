// monitor: version requests to targets 0 to 9 in turn, showing the link's debug lines.
#include "Connection.h"
#include "paramfiles/TelegramCapture.h"
#include "platform/AtomicFile.h"
#include "link/Commands.h"

#include <chrono>
#include <cstdint>
#include <iostream>

namespace zeb7ctl {

namespace {

constexpr auto kStallLimit = std::chrono::seconds(10);

struct MonitorRun {
  int64_t posted = 0;
  int64_t answered = 0;  // data answers
  int64_t acked = 0;
  int64_t refused = 0;
  int64_t lost = 0;      // given up after the retries
  int64_t done() const { return answered + acked + refused + lost; }
};

// The frames captured so far as JSON lines, written in one piece.
bool writeCapture(zeb7::TTelegramCapture& cap, std::string& lines, const std::string& path) {
  for (const auto& f : cap.Take()) lines += zeb7::CaptureJsonLine(f) + "\n";
  std::string error;
  if (zeb7::WriteFileAtomically(path, lines, error)) return true;
  std::cerr << "zeb7ctl: " << error << "\n";
  return false;
}

int runMonitor(const GlobalOptions& opts, int64_t count, const std::string& capturePath) {
  int openFailure = kExitFailure;
  std::unique_ptr<Connection> conn = Connection::openOrReport(opts, openFailure);
  if (!conn) return openFailure;
  zeb7::TCommInterface& comm = conn->comm();
  MonitorRun run;
  const void* owner = &run;

  auto mine = [owner](std::unique_ptr<zeb7::TTelegram>& t) { return t && t->pOwner == owner && t->bCommand == zeb7::kCmdVersion; };
  comm.AddReceiveFunction(zeb7::TelegramFunction(&run.answered, [&](std::unique_ptr<zeb7::TTelegram>& t) {
    if (!mine(t)) return false;
    ++run.answered;
    return true;
  }));
  comm.AddAckFunction(zeb7::TelegramFunction(&run.acked, [&](std::unique_ptr<zeb7::TTelegram>& t) {
    if (!mine(t)) return false;
    ++run.acked;
    return true;
  }));
  comm.AddNakFunction(zeb7::TelegramFunction(&run.refused, [&](std::unique_ptr<zeb7::TTelegram>& t) {
    if (!mine(t)) return false;
    ++run.refused;
    return true;
  }));
  comm.AddMissingAckFunction(zeb7::TelegramFunction(&run.lost, [&](std::unique_ptr<zeb7::TTelegram>& t) {
    if (!mine(t)) return false;
    ++run.lost;
    return true;
  }));
  comm.SetOnDebugMessage([](const std::string& s) { std::cout << s << std::endl; });
  // Shared with the observer: the worker may call it until the link is gone.
  auto capture = std::make_shared<zeb7::TTelegramCapture>();
  std::string captured;
  if (!capturePath.empty())
    comm.SetFrameObserver([capture](bool tx, const zeb7::TTelegram& t, const uint8_t* wire, size_t n, uint32_t) {
      capture->Observe(tx, t, wire, n);
    });

  // Keep at most three requests on their way: the link's window.
  auto last = std::chrono::steady_clock::now();
  int64_t lastDone = 0;
  while ((count < 0 || run.done() < count) && !Connection::interrupted()) {
    while (run.posted - run.done() < 3 && (count < 0 || run.posted < count)) {
      auto t = std::make_unique<zeb7::TTelegram>(owner);
      t->bCommand = zeb7::kCmdVersion;
      t->bTarget = uint8_t(run.posted % 10);
      t->bLength = 0;
      t->iRetry = 3;
      comm.PostTelegram(std::move(t));
      ++run.posted;
    }
    conn->executor().WaitAndProcess(20);
    const auto now = std::chrono::steady_clock::now();
    if (run.done() != lastDone) {
      lastDone = run.done();
      last = now;
    } else if (now - last > kStallLimit) {
      std::cerr << "zeb7ctl: the link to " << conn->device() << " is stalled: no request completed for "
                << std::chrono::duration_cast<std::chrono::seconds>(kStallLimit).count() << " s\n";
      return kExitFailure;
    }
  }
  // After Ctrl-C let the requests on their way finish (bounded).
  conn->serveUntil([&] { return run.done() >= run.posted; }, std::chrono::seconds(3), false);
  // The debug line of an answer follows its callback: let the last ones through.
  conn->serveUntil([] { return false; }, std::chrono::milliseconds(100), false);
  comm.SetOnDebugMessage(nullptr);
  comm.SetFrameObserver(nullptr);
  std::cout.flush();
  if (!capturePath.empty() && !writeCapture(*capture, captured, capturePath)) return kExitFailure;
  std::cerr << "requests=" << run.posted << " answered=" << run.answered << " acknowledged=" << run.acked
            << " refused=" << run.refused << " lost=" << run.lost << " (link: good=" << comm.Good()
            << " repeated=" << comm.Repeated() << " bad=" << comm.Bad() << " nak=" << comm.Nak() << ")\n";
  if (run.posted > 0 && run.answered + run.acked + run.refused == 0) {
    std::cerr << "zeb7ctl: no answer from the drive on " << conn->device() << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("monitor", "send version requests to targets 0 to 9 and show the link's traffic");
  auto count = std::make_shared<int64_t>(-1);
  sc->add_option("--count", *count, "number of requests (default: until interrupted)")->check(CLI::Range(int64_t(1), int64_t(1) << 40));
  auto capture = std::make_shared<std::string>();
  sc->add_option("--capture", *capture, "write every frame as a JSON line to FILE");
  return std::function<int()>([&opts, count, capture] { return runMonitor(opts, *count, *capture); });
}}};

}  // namespace

}  // namespace zeb7ctl
