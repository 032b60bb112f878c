// zeb7-sim: the virtual drive on a pseudo-terminal. The first line on standard output
// is the device to open; everything else goes to standard error.
#include "SimServer.h"
#include "SimFlash.h"
#include "Zeb7Version.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>

namespace {
std::atomic<bool> gStop{false};
void onSignal(int) { gStop = true; }
}  // namespace

int main(int argc, char** argv) {
  using namespace zeb7::sim;
  CLI::App app{"zeb7-sim - virtual drive on a pseudo-terminal"};
  app.set_version_flag("--version", std::string("zeb7-sim ") + zeb7::versionString());
  std::string driveFile;
  SimOptions opt;
  bool dumpDrive = false;
  app.add_option("--drive", driveFile, "drive description (JSON); default: the built-in drive");
  std::vector<int> generate;
  app.add_option("--generate", generate, "built-in drive with N0[,N1] parameters on targets 0 and 1")
      ->delimiter(',')
      ->expected(1, 2)
      ->check(CLI::Range(0, 65535))
      ->excludes("--drive");
  app.add_flag("--dump-drive", dumpDrive, "print the drive description as JSON and exit");
  std::string dumpFlashDir;
  app.add_option("--dump-flash", dumpFlashDir, "write each flash target to DIR/flash-0xNN.bin at exit");
  app.add_option("--link", opt.linkPath, "keep a symbolic link at PATH to the device");
  app.add_option("--log", opt.logPath, "write every request and answer as JSON lines");
  app.add_option("--control", opt.controlPath, "FIFO taking JSON-line control commands");
  app.add_flag("--pace", opt.pace, "send at the wire speed of 115200 baud 8N1");
  auto rate = CLI::Range(0.0, 1.0);
  app.add_option("--drop", opt.faults.drop, "rate of answers not sent")->check(rate);
  app.add_option("--corrupt", opt.faults.corrupt, "rate of answers with a broken checksum or stuffing")->check(rate);
  app.add_option("--delay", opt.faults.delay, "rate of answers sent late")->check(rate);
  app.add_option("--delay-ms", opt.faults.delayMs, "how late a delayed answer comes (ms)")
      ->check(CLI::Range(0, 60000));
  app.add_option("--nak", opt.faults.nak, "rate of negative answers instead of the answer")->check(rate);
  app.add_option("--garbage", opt.faults.garbage, "rate of noise bytes before an answer")->check(rate);
  app.add_option("--seed", opt.faults.seed, "seed of the fault generator");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return e.get_exit_code() == 0 ? rc : 2;
  }

  try {
    DriveDescription d = !generate.empty()   ? generatedDrive(generate[0], generate.size() > 1 ? generate[1] : -1)
                         : driveFile.empty() ? defaultDrive()
                                             : loadDriveFile(driveFile);
    if (dumpDrive) {
      std::cout << driveToJson(d).dump(2) << "\n";
      return 0;
    }
    SimServer server(std::move(d), opt);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::cout << server.devicePath() << std::endl;
    server.run(gStop);
    if (!dumpFlashDir.empty()) {
      std::lock_guard lock(server.drive().mutex());
      const std::string error = dumpSimFlash(simFlash(server.drive()), dumpFlashDir);
      if (!error.empty()) {
        std::cerr << "zeb7-sim: " << error << "\n";
        return 1;
      }
    }
  } catch (const std::exception& e) {
    std::cerr << "zeb7-sim: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
