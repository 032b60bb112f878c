// flash: programs an image into one flash target - connect, erase, program,
// verify by reading back, disconnect, back to normal mode. Exit 0 only when every
// block was confirmed and (unless --no-verify) the read-back equals the image.
#include "Connection.h"
#include "firmware/CallQueue.h"
#include "firmware/FrmDownLogic.h"

#include <unistd.h>

#include <iostream>

namespace zeb7ctl {

namespace {

// How long the drive may show no progress at all before the run is given up.
constexpr auto kStall = std::chrono::seconds(20);
// Normal mode is asked for again every 3 s; this many tries.
constexpr auto kNormalModeLimit = std::chrono::seconds(10);

class ConsoleView : public zeb7::IDownloadView {
 public:
  explicit ConsoleView(bool tty) : tty_(tty) {}
  void LogMessage(const std::string& s) override {
    clearProgress();
    std::cerr << s << "\n";
  }
  void SetSpiLabel(const std::string&) override {}
  void SetFlashLabel(const std::string& s) override { flashLabel = s; }
  void SetProgress(int p) override {
    if (!tty_ || p == shown_) return;
    shown_ = p;
    std::cerr << "\r" << flashLabel << " " << p << "%" << std::flush;
  }
  void EnableControls(const zeb7::TControlEnable&) override {}
  void ShowEraseRange(const std::string&, const std::string&) override {}
  void CloseWindow() override { closeRequested = true; }
  void clearProgress() {
    if (tty_ && shown_ >= 0) std::cerr << "\r" << std::string(40, ' ') << "\r";
    shown_ = -1;
  }

  std::string flashLabel;
  bool closeRequested = false;

 private:
  bool tty_;
  int shown_ = -1;
};

bool ProgrammingPhase(zeb7::TDownloadState s) {
  return s >= zeb7::dlsErasing && s <= zeb7::dlsProgrammed && s != zeb7::dlsErased;
}

struct FlashArgs {
  std::string target, file, erase = "auto";
  bool noVerify = false;
};

// The erase option as the window's erasure mode and address texts; false for a usage error.
bool EraseSetup(const std::string& erase, int& mode, std::string& from, std::string& to) {
  if (erase == "auto") return mode = 0, true;
  if (erase == "all") return mode = 2, true;
  const auto dash = erase.find('-', 1);
  if (dash == std::string::npos) return false;
  mode = 1;
  from = erase.substr(0, dash);
  to = erase.substr(dash + 1);
  return true;
}

int runFlash(const GlobalOptions& opts, const FlashArgs& a) {
  const int tab = zeb7::FlashTargetIndex(a.target);
  int mode = 0;
  std::string from, to;
  if (tab < 0) {
    std::cerr << "zeb7ctl: unknown flash target " << a.target << " (STR710, DSP or FPGA)\n";
    return kExitUsage;
  }
  if (!EraseSetup(a.erase, mode, from, to)) {
    std::cerr << "zeb7ctl: --erase takes auto, all or FROM-TO\n";
    return kExitUsage;
  }
  // The image is read before the drive is touched: a broken file erases nothing.
  {
    zeb7::TDownloadImage image;
    if (!image.LoadHexFile(a.file, [](const std::string& s) { std::cerr << "zeb7ctl: " << s << "\n"; }))
      return kExitUsage;
    if (image.DataList().empty()) {
      std::cerr << "zeb7ctl: " << a.file << " holds no data\n";
      return kExitUsage;
    }
  }
  int openFailure = kExitFailure;
  std::unique_ptr<Connection> conn = Connection::openOrReport(opts, openFailure);
  if (!conn) return openFailure;
  std::string lastLinkMessage;
  conn->setErrorSink([&lastLinkMessage](const std::string& s) { lastLinkMessage = s; });

  zeb7::TCallQueue calls;
  ConsoleView view(isatty(STDERR_FILENO));
  zeb7::TDownloadLogic logic(conn->comm(), view, calls.Poster());
  logic.iTab = tab;
  logic.aFilename[tab] = a.file;
  logic.aErasureMode[tab] = mode;
  if (mode == 1) {
    logic.aFromAddr[tab] = from;
    logic.aToAddr[tab] = to;
  }
  logic.fVerify = !a.noVerify;
  logic.Show();
  if (!logic.RunAllClick()) {
    calls.Drain();
    return kExitUsage;
  }

  // Serve until the chain ends; track progress to notice a drive that went silent.
  std::string failure;
  auto lastChange = std::chrono::steady_clock::now();
  auto progressMark = std::make_tuple(logic.State(), logic.iTeleCounter(), logic.Image().DataList().size());
  for (;;) {
    conn->serveUntil([&] { return calls.Drain() > 0; }, std::chrono::milliseconds(50));
    calls.Drain();
    const zeb7::TDownloadState s = logic.State();
    if (s == zeb7::dlsDisconnected && !logic.DoRunAll()) break;
    if (s == zeb7::dlsError) {
      failure = "flashing failed (" + view.flashLabel + ")";
      break;
    }
    if (logic.LostTelegrams() > 0 && ProgrammingPhase(s)) {
      failure = "the drive stopped answering during " + std::string(s <= zeb7::dlsErased ? "erasing" : "programming");
      break;
    }
    if (Connection::interrupted()) {
      failure = "interrupted";
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    const auto mark = std::make_tuple(s, logic.iTeleCounter(), size_t(conn->comm().Good()));
    if (mark != progressMark) {
      progressMark = mark;
      lastChange = now;
    } else if (now - lastChange > kStall) {
      failure = "the drive on " + conn->device() + " does not answer";
      if (!lastLinkMessage.empty()) failure += " (" + lastLinkMessage + ")";
      break;
    }
  }
  const size_t blocks = logic.Image().DataList().size();
  const uint64_t bytes = logic.Image().ByteCount();
  if (failure.empty() && !logic.Programmed()) failure = "not every block was confirmed";
  if (failure.empty() && logic.fVerify && !logic.Verified()) failure = "the read-back was not verified";

  // Back to normal mode, whatever happened.
  conn->comm().FlushSendQueue();
  logic.CloseQuery();
  const bool normal = conn->serveUntil(
      [&] {
        calls.Drain();
        return logic.State() == zeb7::dlsNormalMode;
      },
      kNormalModeLimit, false);
  calls.Drain();
  view.clearProgress();
  logic.Close();
  calls.Drain();
  if (!normal) std::cerr << "zeb7ctl: the drive did not return to normal mode\n";
  if (!failure.empty()) {
    std::cerr << "zeb7ctl: " << failure << "\n";
    return kExitFailure;
  }
  if (!normal) return kExitFailure;
  std::cout << "programmed " << bytes << " bytes in " << blocks << " blocks into "
            << a.target << (logic.fVerify ? ", verified" : ", not verified") << "\n";
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("flash", "program an Intel HEX or S-record image into a flash target");
  auto a = std::make_shared<FlashArgs>();
  sc->add_option("--target", a->target, "STR710, DSP or FPGA")->required();
  sc->add_option("FILE", a->file, "the image")->required();
  sc->add_option("--erase", a->erase, "auto (the image's range), all, or FROM-TO");
  sc->add_flag("--no-verify", a->noVerify, "do not read the flash back");
  return std::function<int()>([&opts, a] { return runFlash(opts, *a); });
}}};

}  // namespace

}  // namespace zeb7ctl
