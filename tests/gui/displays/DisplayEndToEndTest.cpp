// Display windows and project files in the real main window against the
// virtual drive on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "GuiTestUtil.h"
#include "Programs.h"
#include "SimServer.h"
#include "TempDir.h"
#include "gui/displays/DisplayFactory.h"
#include "gui/displays/RadioWin.h"
#include "gui/displays/ThumbWheelWin.h"
#include "gui/link/CommDriveLink.h"
#include "gui/views/FrmDatabase.h"
#include "gui/workspace/DisplayList.h"
#include "gui/workspace/Main.h"
#include "gui/workspace/ProjFile.h"
#include "gui/workspace/ScrollingTabSheet.h"
#include "model/DriveModel.h"
#include "workspace/ProjectDocument.h"

using namespace zeb7::gui;
using namespace zeb7::gui::test;

namespace {

class DisplayEndToEnd : public ::testing::Test {
 protected:
  void Start(bool log) {
    settings_ = std::make_unique<SettingsFile>("[Com-Settings]\r\nPort-Nr=4\r\n");
    logPath_ = dir_.File("sim.log");
    zeb7::sim::SimOptions opt;
    if (log) opt.logPath = logPath_;
    sim_ = std::make_unique<zeb7::sim::SimServer>(zeb7::sim::defaultDrive(), opt);
    sim_->start();
    model_ = std::make_unique<zeb7::TDriveModel>();
    form_ = std::make_unique<TMainForm>(
        [this]() -> std::unique_ptr<TDriveLink> { return std::make_unique<TCommDriveLink>(form_.get(), *model_); },
        model_.get());
    form_->SetCommandLineDevice(sim_->devicePath());
    form_->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return model_->ProjectState.ProjState() == zeb7::statDone; }, 30000));
  }
  void TearDown() override {
    if (form_) form_->Workspace->Clear();  // nothing left to ask at close
    if (form_) form_->ProjectFiles->boDataModified = false;
    form_.reset();
    model_.reset();
    if (sim_) sim_->stop();
  }
  QWidget* Sheet() { return form_->Workspace->Sheet(0)->ScrollBox; }
  int64_t DriveValue(int index) { return sim_->drive().description().targets[0].parameters[size_t(index)].value; }
  // Values the PC wrote with command 20 to parameter `index`.
  std::vector<int64_t> Writes(int index) {
    std::vector<int64_t> out;
    for (const auto& j : zeb7::test::ReadJsonLines(logPath_)) {
      if (j.is_discarded() || j.value("dir", "") != "request" || j.value("command", 0) != 20) continue;
      const std::string d = j.value("data", "");
      if (d.size() < 24) continue;
      auto byte = [&](size_t i) { return uint64_t(std::stoul(d.substr(2 * i, 2), nullptr, 16)); };
      if (int(byte(0) | byte(1) << 8) != index) continue;
      uint64_t v = 0;
      for (size_t i = 0; i < 8; ++i) v |= byte(4 + i) << (8 * i);
      out.push_back(int64_t(v));
    }
    return out;
  }
  // The digits the cells show, most significant first, blanks dropped.
  static std::string Digits(TNumericDisplayWin* w) {
    std::string s;
    for (int i = w->Numeric().Digits() - 1; i >= 0; --i)
      if (QLabel* c = w->Cell(i); c && c->text() != " ") s += c->text().toStdString();
    return s;
  }
  template <class W>
  W* FindDisplay(int index) {
    form_->Workspace->RebuildDisplayList();
    for (const auto& p : form_->Workspace->DisplayList)
      if (auto* w = qobject_cast<W*>(p.data()); w && w->Core().LocalParam.iMyIndex == index) return w;
    return nullptr;
  }

  zeb7::test::TempDir dir_;
  std::unique_ptr<SettingsFile> settings_;
  std::string logPath_;
  std::unique_ptr<zeb7::sim::SimServer> sim_;
  std::unique_ptr<zeb7::TDriveModel> model_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(DisplayEndToEnd, DisplaysFollowTheDriveAndClicksWriteIt) {
  Start(true);
  ASSERT_EQ(form_->PageControl1->tabText(0), "Page1");
  TWorkspace& ws = *form_->Workspace;
  // MAINSV (index 2) is a numeric display, MNMAX (9) a thumb wheel, PWMFREQ (1) a radio box.
  auto* numeric = qobject_cast<TNumericDisplayWin*>(ws.CreateNewDisplayWin(Sheet(), zeb7::ParamKey(2, 0), 16, 16));
  auto* wheel = qobject_cast<TThumbWheelWin*>(ws.CreateNewDisplayWin(Sheet(), zeb7::ParamKey(9, 0), 16, 300));
  auto* radio = qobject_cast<TRadioWin*>(ws.CreateNewDisplayWin(Sheet(), zeb7::ParamKey(1, 0), 120, 16));
  ASSERT_TRUE(numeric && wheel && radio);
  // 2300 with one decimal: the cells read 2, 3, 0, 0 with the point before the last.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Digits(numeric) == std::to_string(DriveValue(2)); }, 10000))
      << Digits(numeric);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Digits(wheel) == std::to_string(DriveValue(9)); }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return radio->aRadioButtons.size() == 3 &&
                                           radio->aRadioButtons[DriveValue(1)]->isChecked(); }, 10000));

  const int64_t speed = DriveValue(9);
  QTest::mouseClick(wheel->Button(1, true), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return DriveValue(9) == speed + 1; }, 10000));
  EXPECT_EQ(Writes(9), (std::vector<int64_t>{speed + 1}));
  QTest::mouseClick(radio->aRadioButtons[2], Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return DriveValue(1) == 2; }, 10000));
  EXPECT_EQ(Writes(1), (std::vector<int64_t>{2}));
  EXPECT_TRUE(Writes(2).empty());  // shown values are never written back

  // The drive makes MAINSV a thumb wheel: the numeric display is replaced.
  QPointer<TNumericDisplayWin> old(numeric);
  EXPECT_EQ(sim_->control(R"({"op":"set-descriptor","target":0,"index":2,"control":"THUMB"})"), "");
  ASSERT_TRUE(QTest::qWaitFor([&] { return FindDisplay<TThumbWheelWin>(2) != nullptr && !old; }, 20000));
  TThumbWheelWin* now = FindDisplay<TThumbWheelWin>(2);
  EXPECT_EQ(now->pos(), QPoint(16, 16));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Digits(now) == std::to_string(DriveValue(2)); }, 10000));
}

TEST_F(DisplayEndToEnd, ParameterDraggedFromTheDatabaseBecomesALiveDisplay) {
  Start(false);
  form_->ShowDatabase1->trigger();
  TFormDatabase& db = *form_->FormDatabase;
  int row = -1;
  for (int r = 0; r < db.StringGrid1->rowCount(); ++r)
    if (db.StringGrid1->KeyOfRow(r) == zeb7::ParamKey(32, 0)) row = r;  // TEMP
  ASSERT_GE(row, 0);
  db.StringGrid1->setCurrentCell(row, 0);
  std::unique_ptr<QMimeData> mime(db.StringGrid1->model()->mimeData({db.StringGrid1->model()->index(row, 0)}));
  ASSERT_TRUE(mime);
  form_->Workspace->Drop(Sheet(), mime.get(), QPoint(100, 50));
  auto* w = FindDisplay<TNumericDisplayWin>(32);
  ASSERT_TRUE(w);
  EXPECT_EQ(w->pos(), QPoint(96, 48));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Digits(w) == std::to_string(DriveValue(32)); }, 10000)) << Digits(w);
  EXPECT_EQ(sim_->control(R"({"op":"set-value","target":0,"index":32,"value":399})"), "");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Digits(w) == "399"; }, 10000)) << Digits(w);
}

TEST_F(DisplayEndToEnd, SaveThatFailsHalfWayLosesNothingAndKeepsTheProgramOpen) {
  Start(false);
  const std::string file = dir_.File("plant.kvt");
  form_->Workspace->CreateNewDisplayWin(Sheet(), zeb7::ParamKey(2, 0), 16, 16);
  std::string error;
  ASSERT_TRUE(form_->DoProjectSave(file, error)) << error;
  ASSERT_TRUE(form_->DoProjectSave(file, error)) << error;
  const std::string good = zeb7::test::ReadFile(file), backup = zeb7::test::ReadFile(zeb7::ProjectBackupName(file, 0));
  ASSERT_FALSE(good.empty());
  form_->ProjectFiles->sProjectFileName = file;
  // Many more displays: the new file is far larger than the old.
  for (int i = 0; i < 20; ++i) form_->Workspace->CreateNewDisplayWin(Sheet(), zeb7::ParamKey(i, 0), 16 + 64 * i, 400);
  ASSERT_TRUE(form_->ProjectFiles->boDataModified);

  // Writing stops after a few bytes, as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = good.size() + 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  QString warning;
  ModalScript script({[](QWidget* m) {
                        auto* q = qobject_cast<QMessageBox*>(m);
                        ASSERT_TRUE(q);
                        EXPECT_EQ(q->text(), "Save changes to project plant.kvt ?");
                        q->button(QMessageBox::Yes)->click();
                      },
                      [&](QWidget* m) {
                        auto* w = qobject_cast<QMessageBox*>(m);
                        ASSERT_TRUE(w);
                        warning = w->text();
                        w->accept();
                      }});
  form_->close();
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(script.Done(), 2u);
  EXPECT_TRUE(warning.contains("plant.kvt")) << warning.toStdString();
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(form_->Link() != nullptr);  // the communication is untouched
  EXPECT_EQ(zeb7::test::ReadFile(file), good);
  EXPECT_EQ(zeb7::test::ReadFile(zeb7::ProjectBackupName(file, 0)), backup);
  EXPECT_FALSE(std::filesystem::exists(zeb7::ProjectBackupName(file, 2)));
  EXPECT_TRUE(form_->ProjectFiles->boDataModified);
}

}  // namespace
