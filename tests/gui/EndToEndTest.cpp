// The real main window, model and link against the virtual drive on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "GuiTestUtil.h"
#include "Programs.h"
#include "SimServer.h"
#include "link/Commands.h"
#include "gui/link/CommDriveLink.h"
#include "gui/model/FrmProjectDatabase.h"
#include "gui/workspace/DrivePanel.h"
#include "gui/workspace/Main.h"
#include "model/DriveModel.h"

using namespace zeb7::gui;
using namespace zeb7::gui::test;

namespace {

struct DriveCommand {
  int target, code, sequence;
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = std::make_unique<SettingsFile>("[Com-Settings]\r\nPort-Nr=4\r\n");
    logPath_ = std::filesystem::path(settings_->Path()).parent_path() / "sim.log";
    zeb7::sim::SimOptions opt;
    opt.logPath = logPath_.string();
    sim_ = std::make_unique<zeb7::sim::SimServer>(zeb7::sim::defaultDrive(), opt);
    sim_->start();
    model_ = std::make_unique<zeb7::TDriveModel>();
    form_ = std::make_unique<TMainForm>(
        [this]() -> std::unique_ptr<TDriveLink> {
          return std::make_unique<TCommDriveLink>(form_.get(), *model_);
        },
        model_.get());
    form_->SetCommandLineDevice(sim_->devicePath());
  }
  void TearDown() override {
    form_.reset();
    model_.reset();
    sim_->stop();
  }

  bool WaitDone(int ms = 30000) {
    return QTest::qWaitFor([this] { return model_->ProjectState.ProjState() == zeb7::statDone; }, ms);
  }
  std::vector<DriveCommand> DriveCommands() {
    std::vector<DriveCommand> out;
    for (const auto& j : zeb7::test::ReadJsonLines(logPath_.string())) {
      if (j.is_discarded() || j.value("dir", "") != "request" || j.value("command", 0) != zeb7::kCmdDriveCommand)
        continue;
      std::string d = j.value("data", "");
      if (d.size() < 8) continue;
      auto word = [&](size_t at) { return std::stoi(d.substr(at + 2, 2) + d.substr(at, 2), nullptr, 16); };
      out.push_back({j.value("target", 0), word(0), word(4)});
    }
    return out;
  }
  // Codes of the commands to target 0, each once (repeats carry the same number).
  std::vector<int> CodesToTarget0() {
    std::vector<int> codes;
    int lastSeq = -1;
    for (const auto& c : DriveCommands())
      if (c.target == 0 && c.sequence != lastSeq) {
        codes.push_back(c.code);
        lastSeq = c.sequence;
      }
    return codes;
  }
  TDrivePanel& Panel() { return *form_->Panel2; }

  std::unique_ptr<SettingsFile> settings_;
  std::filesystem::path logPath_;
  std::unique_ptr<zeb7::sim::SimServer> sim_;
  std::unique_ptr<zeb7::TDriveModel> model_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(EndToEnd, SynchronisesWithProgressAndFirmwareName) {
  form_->show();
  bool sawProgress = false;
  int maxPercent = 0;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (form_->Panel5->isVisible()) {
          sawProgress = true;
          maxPercent = std::max(maxPercent, form_->ProgressBarUpload->value());
        }
        return model_->ProjectState.ProjState() == zeb7::statDone;
      },
      30000));
  EXPECT_TRUE(sawProgress);
  EXPECT_GT(maxPercent, 0);
  EXPECT_LT(maxPercent, 100);
  EXPECT_FALSE(form_->Panel5->isVisible());
  EXPECT_EQ(form_->Link()->ComPort(), 4);  // the configured number, bound to the drive
  uint32_t v = sim_->drive().description().targets[0].version;
  char expected[40];
  std::snprintf(expected, sizeof expected, "ZEB%X-%X%X%X%X%X", (v >> 24) & 15, (v >> 20) & 15,
                (v >> 16) & 15, (v >> 12) & 15, (v >> 8) & 15, v & 255);
  EXPECT_EQ(form_->Panel4->text().toStdString(), expected);
  EXPECT_TRUE(form_->Panel4->font().bold());
  QString log = form_->FrmProjectState->Memo1->toPlainText();
  EXPECT_TRUE(log.contains("********* Reset ****************"));
  EXPECT_TRUE(log.contains("********* RESTART ****************"));
  EXPECT_TRUE(log.contains("============ DONE ================"));
  EXPECT_GT(model_->ParameterList.Count(), 0);
}

TEST_F(EndToEnd, DriveButtonsSendCommandsAndFollowTheStatus) {
  form_->show();
  ASSERT_TRUE(WaitDone());
  TDrivePanel& p = Panel();
  ASSERT_TRUE(QTest::qWaitFor([&] { return p.SpeedButtonDisableDrive->isChecked(); }, 5000));
  EXPECT_TRUE(p.SpeedButtonFlash->isEnabled());

  // The drive's answer, not the click, decides what is down.
  auto down = [this] { return model_->Status.DownButton(); };
  p.SpeedButtonEnableDrive->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return down() == zeb7::dbEnableDrive; }, 5000));
  EXPECT_TRUE(p.SpeedButtonEnableDrive->isChecked());
  EXPECT_FALSE(p.SpeedButtonDisableDrive->isChecked());
  EXPECT_FALSE(p.SpeedButtonFlash->isEnabled());  // only while disabled
  p.SpeedButtonDisableDrive->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return down() == zeb7::dbDisableDrive; }, 5000));
  EXPECT_TRUE(p.SpeedButtonDisableDrive->isChecked());
  EXPECT_TRUE(p.SpeedButtonFlash->isEnabled());
  EXPECT_TRUE(QTest::qWaitFor([&] { return CodesToTarget0().size() >= 2; }, 5000));
  EXPECT_EQ(CodesToTarget0(), (std::vector<int>{3, 2}));

  // Every present target gets the same running number; numbers start at 2.
  auto cmds = DriveCommands();
  ASSERT_FALSE(cmds.empty());
  std::map<int, std::set<int>> targetsBySeq;
  for (const auto& c : cmds) targetsBySeq[c.sequence].insert(c.target);
  ASSERT_EQ(targetsBySeq.size(), 2u);
  EXPECT_EQ(targetsBySeq.begin()->first, 2);
  EXPECT_EQ(targetsBySeq.rbegin()->first, 3);
  EXPECT_EQ(targetsBySeq[2], targetsBySeq[3]);
  EXPECT_GE(targetsBySeq[2].size(), 2u);  // the default drive has two targets
}

TEST_F(EndToEnd, MessagesErrorsAndReset) {
  form_->show();
  ASSERT_TRUE(WaitDone());
  TDrivePanel& p = Panel();
  EXPECT_EQ(sim_->control(R"({"op":"message","text":"Homing done"})"), "");
  ASSERT_TRUE(QTest::qWaitFor([&] { return p.Memo1->toPlainText().contains(": Homing done"); }, 5000))
      << p.Memo1->toPlainText().toStdString();

  EXPECT_EQ(sim_->control(R"({"op":"raise-error","controller":"Overcurrent","runtime":"Stopped"})"), "");
  ASSERT_TRUE(QTest::qWaitFor([&] { return p.SpeedButtonDisableDrive->text() == "Reset Drive Error"; }, 5000));
  EXPECT_TRUE(p.SpeedButtonDisableDrive->font().bold());
  EXPECT_FALSE(p.SpeedButtonEnableDrive->isChecked() || p.SpeedButtonDisableDrive->isChecked());
  ASSERT_TRUE(QTest::qWaitFor([&] { return p.EditControllerError->text() == "Overcurrent"; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return p.EditRuntimeError->text() == "Stopped"; }, 5000));

  p.SpeedButtonDisableDrive->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return p.SpeedButtonDisableDrive->text() == "Disable Drive"; }, 5000));
  EXPECT_FALSE(p.SpeedButtonDisableDrive->font().bold());
  EXPECT_TRUE(QTest::qWaitFor([&] { return p.SpeedButtonDisableDrive->isChecked(); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !CodesToTarget0().empty(); }, 5000));
  EXPECT_EQ(CodesToTarget0(), (std::vector<int>{2}));
}

TEST_F(EndToEnd, OfflineStopsAllTrafficAndOnlineResumes) {
  form_->show();
  ASSERT_TRUE(WaitDone());
  form_->Offline1->trigger();
  QTest::qWait(400);  // what was in flight is answered or dropped
  uint64_t before = sim_->stats().requests;
  QTest::qWait(1000);
  EXPECT_EQ(sim_->stats().requests, before);
  EXPECT_EQ(form_->Panel3->text(), kOfflineText);

  form_->Offline1->trigger();
  EXPECT_EQ(form_->Panel3->text(), "");
  EXPECT_TRUE(QTest::qWaitFor([&] { return sim_->stats().requests > before + 10; }, 5000));
}

TEST_F(EndToEnd, MissingOrBusyDeviceIsReportedNotFatal) {
  // The settings name a device that does not exist.
  std::ofstream(settings_->Path(), std::ios::binary)
      << "[Com-Settings]\r\nPort-Nr=4\r\n[Com-Ports]\r\nCOM4=/nonexistent/ttyQ\r\n";
  form_->SetCommandLineDevice("");
  form_->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_->Panel3->text().contains("Error opening /nonexistent/ttyQ"); },
                              5000))
      << form_->Panel3->text().toStdString();
  EXPECT_TRUE(form_->isVisible());

  // Another process holds the drive's device: the port stays closed, with a message.
  int fd = ::open(sim_->devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  form_->Link()->BindDevice(4, sim_->devicePath());
  EXPECT_FALSE(form_->Link()->OpenCom());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return form_->Panel3->text().contains("Error opening " + QString::fromStdString(sim_->devicePath())); },
      5000))
      << form_->Panel3->text().toStdString();
  ::close(fd);
  // Released: the worker's retries get through and the drive is read.
  EXPECT_TRUE(WaitDone());
}

TEST_F(EndToEnd, ExitWhileSynchronisingDoesNotHang) {
  form_->show();
  QTest::qWait(50);  // mid-synchronisation, the worker busy with hand-overs
  QElapsedTimer t;
  t.start();
  // The new project counts as modified: decline saving it.
  ModalScript noSave({[](QWidget* m) {
    if (auto* q = qobject_cast<QMessageBox*>(m)) q->button(QMessageBox::No)->click();
  }});
  form_->close();
  EXPECT_EQ(form_->Link(), nullptr);
  EXPECT_LT(t.elapsed(), 3000);
}

}  // namespace
