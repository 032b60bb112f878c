// A sheet with 200 display windows of mixed classes bound to a paced zeb7-sim
// drive, offscreen. Prints figures only; the last line is
//   displays=200 answers=<n> shown=<n> shown_ratio=<r> longest_stall_ms=<ms> open_1000_s=<s>
// answers: value answers for displayed parameters during the measuring time;
// shown: those whose value the window held right after the answer; the
// longest gap between ticks of a 10 ms timer; the time to open a project of
// 1000 displays.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "SimProcess.h"
#include "gui/displays/DisplayWin.h"
#include "gui/link/CommDriveLink.h"
#include "gui/workspace/DisplayList.h"
#include "gui/workspace/Main.h"
#include "gui/workspace/ProjFile.h"
#include "gui/workspace/ScrollingTabSheet.h"
#include "gui/workspace/Startup.h"
#include "model/DriveModel.h"

namespace {

// Sits last in a parameter's display list: sees every value answer after the
// real window got it.
class Probe : public zeb7::IDisplayWin {
 public:
  Probe(zeb7::gui::TDisplayWin* w, long& answers, long& shown) : w_(w), answers_(answers), shown_(shown) {}
  void SetRawValue(int64_t raw) override {
    ++answers_;
    const zeb7::TDisplayCore& c = w_->Core();
    if (c.StoredRawValue() == raw || c.GetRawValue() == raw) ++shown_;
  }
  int64_t GetRawValue() const override { return 0; }
  const zeb7::TDispParam& GetLocalParam() const override { return w_->Core().LocalParam; }
  void SetDispWinState(zeb7::TDispWinState) override {}
  void UpdateDisplayWinFromParameter(const zeb7::TDispParam&, zeb7::TDisplayList&) override {}

 private:
  zeb7::gui::TDisplayWin* w_;
  long& answers_;
  long& shown_;
};

bool Wait(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("zeb7_dbench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ::setenv("ZEB7_SETTINGS", (dir / "Zeb7Setup.ini").c_str(), 1);
  QApplication app(argc, argv);
  zeb7::gui::InitProgram();

  zeb7::sim::SimProcess drive(ZEB7_SIM_PATH, {"--pace", "--generate", "200,0"});
  zeb7::TDriveModel model;
  std::unique_ptr<zeb7::gui::TMainForm> form;
  form = std::make_unique<zeb7::gui::TMainForm>(
      [&]() -> std::unique_ptr<zeb7::gui::TDriveLink> {
        return std::make_unique<zeb7::gui::TCommDriveLink>(form.get(), model);
      },
      &model);
  form->SetCommandLineDevice(drive.devicePath());
  form->resize(1600, 1000);
  form->show();
  if (!Wait([&] { return model.ProjectState.fAllParametersRead(); }, 180000)) std::printf("not synchronised\n");

  zeb7::gui::TWorkspace& ws = *form->Workspace;
  QWidget* sheet = ws.Sheet(0)->ScrollBox;
  std::vector<zeb7::gui::TDisplayWin*> wins;
  for (int i = 0; i < 200; ++i)
    if (auto* w = ws.CreateNewDisplayWin(sheet, zeb7::ParamKey(i, 0), 8 + (i / 10) * 88, 8 + (i % 10) * 152))
      wins.push_back(w);
  long answers = 0, shown = 0;
  std::vector<std::unique_ptr<Probe>> probes;
  {
    auto lock = model.Lock();
    for (auto* w : wins) {
      zeb7::TParameter* p = model.ParameterList.Find(w->Core().LocalParam.iMyIndex, 0);
      if (!p) continue;
      probes.push_back(std::make_unique<Probe>(w, answers, shown));
      p->AddDisplay(probes.back().get());
    }
  }

  QElapsedTimer tick, clock;
  double stall = 0;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    stall = std::max(stall, tick.nsecsElapsed() / 1e6 - 10.0);
    tick.restart();
  });
  const char* secs = std::getenv("ZEB7_BENCH_SECONDS");
  const int measureMs = (secs && *secs ? std::atoi(secs) : 10) * 1000;
  tick.start();
  clock.start();
  ticker.start();
  Wait([&] { return clock.elapsed() >= measureMs; }, measureMs + 1000);
  ticker.stop();
  {
    auto lock = model.Lock();
    for (auto& pr : probes) model.ParameterList.RemoveDisplay(pr.get());
  }

  // 1000 displays: five of each parameter.
  for (int round = 1; round < 5; ++round)
    for (int i = 0; i < 200; ++i)
      ws.CreateNewDisplayWin(sheet, zeb7::ParamKey(i, 0), 8 + (round * 20 + i / 10) * 88, 8 + (i % 10) * 152);
  const std::string file = (dir / "big.kvt").string();
  std::string error;
  if (!form->DoProjectSave(file, error)) std::printf("save failed: %s\n", error.c_str());
  ws.RebuildDisplayList();
  const int saved = ws.DisplayList.size();
  QElapsedTimer open;
  open.start();
  const bool opened = form->DoProjectOpen(file);
  const double openSeconds = open.nsecsElapsed() / 1e9;
  ws.RebuildDisplayList();
  std::printf("saved_entries=%d opened=%d entries_after_open=%lld measured_s=%.1f\n", saved, opened ? 1 : 0,
              static_cast<long long>(ws.DisplayList.size()), measureMs / 1000.0);

  form->ProjectFiles->boDataModified = false;
  form->close();
  form.reset();
  std::filesystem::remove_all(dir);
  std::printf("displays=%zu answers=%ld shown=%ld shown_ratio=%.3f longest_stall_ms=%.1f open_1000_s=%.3f\n",
              wins.size(), answers, shown, answers ? double(shown) / double(answers) : 0.0, stall, openSeconds);
  return 0;
}
