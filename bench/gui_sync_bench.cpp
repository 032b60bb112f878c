// The whole database of a big drive (600 + 50 parameters) read from start-up to
// the end of the update, once by the windowed program and once by
// `zeb7ctl dump`, each against its own `zeb7-sim --pace`. Prints figures only;
// the last line is
//   gui_seconds=<g> cli_seconds=<c> ratio=<g/c> rss_mb=<peak resident MiB>
// Also prints the longest gap between ticks of a 10 ms timer while the GUI
// synchronised (event-loop stall).
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SimProcess.h"
#include "gui/link/CommDriveLink.h"
#include "gui/workspace/Main.h"
#include "gui/workspace/ProjFile.h"
#include "gui/workspace/Startup.h"
#include "model/DriveModel.h"

namespace {

// ZEB7_BENCH_GENERATE picks another size ("N0,N1").
std::vector<std::string> DriveArgs() {
  const char* g = std::getenv("ZEB7_BENCH_GENERATE");
  return {"--pace", "--generate", g && *g ? g : "600,50"};
}

double GuiRun(double& maxStallMs, int& params) {
  zeb7::sim::SimProcess drive(ZEB7_SIM_PATH, DriveArgs());
  zeb7::TDriveModel model;
  std::unique_ptr<zeb7::gui::TMainForm> form;
  form = std::make_unique<zeb7::gui::TMainForm>(
      [&]() -> std::unique_ptr<zeb7::gui::TDriveLink> {
        return std::make_unique<zeb7::gui::TCommDriveLink>(form.get(), model);
      },
      &model);
  form->SetCommandLineDevice(drive.devicePath());

  QElapsedTimer clock, tick;
  QTimer ticker;
  ticker.setInterval(10);
  maxStallMs = 0;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    maxStallMs = std::max(maxStallMs, tick.nsecsElapsed() / 1e6 - 10.0);
    tick.restart();
  });
  QEventLoop loop;
  QTimer check;
  check.setInterval(1);
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (model.ProjectState.fAllParametersRead() || clock.elapsed() > 120000) loop.quit();
  });
  clock.start();
  tick.start();
  ticker.start();
  check.start();
  form->show();
  loop.exec();
  double seconds = clock.nsecsElapsed() / 1e9;
  if (!model.ProjectState.fAllParametersRead()) std::printf("gui: not done after %.0f s\n", seconds);
  std::fflush(stdout);
  params = model.ParameterList.Count();
  form->ProjectFiles->boDataModified = false;  // nothing to ask at close
  form->close();
  form.reset();
  return seconds;
}

double CliRun() {
  zeb7::sim::SimProcess drive(ZEB7_SIM_PATH, DriveArgs());
  auto start = std::chrono::steady_clock::now();
  std::string cmd = "timeout 120 " + std::string(ZEB7_CTL_PATH) + " --port " + drive.devicePath() +
                    " dump --format csv > /dev/null";
  int rc = std::system(cmd.c_str());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (rc != 0) std::printf("cli: zeb7ctl dump exited with %d\n", rc);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A settings file of our own, so the user's port number plays no part.
  std::string settings = (std::filesystem::temp_directory_path() /
                          ("zeb7_bench_" + std::to_string(::getpid()) + ".ini")).string();
  ::setenv("ZEB7_SETTINGS", settings.c_str(), 1);
  QApplication app(argc, argv);
  zeb7::gui::InitProgram();

  double stall = 0;
  int params = 0;
  double gui = GuiRun(stall, params);
  double cli = CliRun();
  std::filesystem::remove(settings);

  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("params=%d longest_event_loop_stall_ms=%.1f\n", params, stall);
  std::printf("gui_seconds=%.3f cli_seconds=%.3f ratio=%.3f rss_mb=%.1f\n", gui, cli, gui / cli,
              ru.ru_maxrss / 1024.0);
  return 0;
}
