// read-flash: reads a range of one flash target into an Intel HEX file, the file
// the flash upload window writes.
#include "Connection.h"
#include "firmware/CallQueue.h"
#include "firmware/FrmDownLogic.h"
#include "firmware/ChkInput.h"
#include "firmware/FrmUploadLogic.h"

#include <unistd.h>

#include <iostream>

namespace zeb7ctl {

namespace {

constexpr auto kStall = std::chrono::seconds(20);

class ConsoleUploadView : public zeb7::IUploadView {
 public:
  explicit ConsoleUploadView(bool tty) : tty_(tty) {}
  void LogMessage(const std::string& s) override {
    if (s == "Repeat..." || s.rfind("---", 0) == 0) return;  // noise on a console
    clear();
    std::cerr << s << "\n";
  }
  void SetProgress(int p) override {
    if (!tty_ || p == shown_) return;
    shown_ = p;
    std::cerr << "\rreading " << p << "%" << std::flush;
  }
  void EnableButtons(bool) override {}
  void MarkStartAddrInvalid(bool invalid) override { badStart = badStart || invalid; }
  void MarkSizeInvalid(bool invalid) override { badSize = badSize || invalid; }
  void clear() {
    if (tty_ && shown_ >= 0) std::cerr << "\r" << std::string(30, ' ') << "\r";
    shown_ = -1;
  }
  bool badStart = false, badSize = false;

 private:
  bool tty_;
  int shown_ = -1;
};

struct ReadArgs {
  std::string target, start, size, out;
};

int runReadFlash(const GlobalOptions& opts, const ReadArgs& a) {
  const int tab = zeb7::FlashTargetIndex(a.target);
  if (tab < 0) {
    std::cerr << "zeb7ctl: unknown flash target " << a.target << " (STR710, DSP or FPGA)\n";
    return kExitUsage;
  }
  int32_t v = 0;
  if (!zeb7::ParseNumber(a.start, v) || v < 0 || v > 0x1000000) {
    std::cerr << "zeb7ctl: --start must be an address from 0 to 0x1000000\n";
    return kExitUsage;
  }
  if (!zeb7::ParseNumber(a.size, v) || v < 0 || v > 16384) {
    std::cerr << "zeb7ctl: --size must be 0 to 16384 (KB)\n";
    return kExitUsage;
  }
  int openFailure = kExitFailure;
  std::unique_ptr<Connection> conn = Connection::openOrReport(opts, openFailure);
  if (!conn) return openFailure;
  std::string lastLinkMessage;
  conn->setErrorSink([&lastLinkMessage](const std::string& s) { lastLinkMessage = s; });

  zeb7::TCallQueue calls;
  ConsoleUploadView view(isatty(STDERR_FILENO));
  zeb7::TUploadLogic logic(conn->comm(), view, calls.Poster());
  if (!logic.Start(zeb7::kFlashTargets[tab], a.start, a.size, a.out)) return kExitUsage;
  std::string failure;
  auto lastChange = std::chrono::steady_clock::now();
  int32_t lastReceived = -1;
  while (logic.Result() == zeb7::TUploadLogic::urRunning) {
    conn->serveUntil([&] { return calls.Drain() > 0; }, std::chrono::milliseconds(50));
    calls.Drain();
    if (Connection::interrupted()) {
      failure = "interrupted";
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (logic.Reader().Received() != lastReceived) {
      lastReceived = logic.Reader().Received();
      lastChange = now;
    } else if (now - lastChange > kStall) {
      failure = "the drive on " + conn->device() + " does not answer";
      if (!lastLinkMessage.empty()) failure += " (" + lastLinkMessage + ")";
      break;
    }
  }
  if (!failure.empty()) logic.Cancel();
  calls.Drain();
  view.clear();
  if (failure.empty() && logic.Result() != zeb7::TUploadLogic::urWritten) failure = "the flash was not read";
  if (!failure.empty()) {
    std::cerr << "zeb7ctl: " << failure << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("read-flash", "read a flash range into an Intel HEX file");
  auto a = std::make_shared<ReadArgs>();
  sc->add_option("--target", a->target, "STR710, DSP or FPGA")->required();
  sc->add_option("--start", a->start, "start address (hex with 0x or h, binary with b, or decimal)")->required();
  sc->add_option("--size", a->size, "size in KB (0 reads one block)")->required();
  sc->add_option("OUT", a->out, "the HEX file to write")->required();
  return std::function<int()>([&opts, a] { return runReadFlash(opts, *a); });
}}};

}  // namespace

}  // namespace zeb7ctl
