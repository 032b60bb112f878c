// The firmware windows on the offscreen platform, against the virtual drive in process.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QApplication>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "SimDrive.h"
#include "SimFlash.h"
#include "TempDir.h"
#include "gui/firmware/FrmDown.h"
#include "gui/firmware/FrmUpload.h"
#include "gui/link/QtExecutor.h"
#include "workspace/IniFiles.h"

using namespace zeb7;
using namespace zeb7::gui;

namespace {

std::string Record(uint32_t address16, const std::vector<uint8_t>& data, int type = 0) {
  char buf[16];
  unsigned sum = unsigned(data.size()) + (address16 >> 8) + (address16 & 0xFF) + unsigned(type);
  std::string s = ":";
  std::snprintf(buf, sizeof buf, "%02X%04X%02X", unsigned(data.size()), address16, type);
  s += buf;
  for (auto b : data) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    s += buf;
    sum += b;
  }
  std::snprintf(buf, sizeof buf, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
  return s + buf + "\r\n";
}

class FirmwareWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    server = test::StartSimServer();
    executor = std::make_unique<TQtExecutor>(&context);
    comm = std::make_unique<TCommInterface>(*executor);
    comm->PortTable().SetEntry(1, server->devicePath());
    comm->SetComPort(1);
    ASSERT_TRUE(comm->OpenCom());
    comm->Resume();
  }
  void TearDown() override {
    comm.reset();
    executor.reset();
  }
  std::string Image() {
    std::string s = Record(0, {0x00, 0x00}, 4);
    for (uint32_t a = 0x3000; a < 0x3000 + 1024; a += 16) {
      std::vector<uint8_t> d(16);
      for (int i = 0; i < 16; ++i) d[i] = uint8_t(a + i * 3);
      s += Record(a, d);
    }
    return dir.Write("fw.hex", s + ":00000001FF\r\n");
  }

  test::TempDir dir{"zeb7fwgui"};
  QObject context;
  std::unique_ptr<sim::SimServer> server;
  std::unique_ptr<TQtExecutor> executor;
  std::unique_ptr<TCommInterface> comm;
};

TEST_F(FirmwareWindows, ProgrammingWindowShowsItsControlsAndRunsAll) {
  TFormDownload w;
  EXPECT_EQ(w.windowTitle(), "Firmware Maintenance");
  EXPECT_EQ(w.LabelSpiStatus->text(), "Not connected");
  EXPECT_EQ(w.LabelFlashStatus->text(), "- ??? -");
  EXPECT_EQ(w.EditFromAddr->text(), "0x00000000");
  EXPECT_EQ(w.ButtonRunAll->text(), "&RUN ALL");
  EXPECT_EQ(w.ButtonExitServiceMode->text(), "E&xit Service Mode");
  EXPECT_EQ(w.TCTarget->tabText(2), "FPGA");
  QTimer::singleShot(0, [] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(top)) box->accept();
  });
  EXPECT_FALSE(w.ShowForm());  // no link yet

  comm->SetPriority(tpLower);
  w.SetComm(comm.get());
  w.ParameterDownloadRunning = [] { return false; };
  ASSERT_TRUE(w.ShowForm());
  EXPECT_TRUE(w.ButtonRunAll->isEnabled());
  EXPECT_FALSE(w.ButtonProgram->isEnabled());
  EXPECT_FALSE(w.ButtonDisconnect->isEnabled());
  w.EditFilename->setText(QString::fromStdString(Image()));
  w.ButtonRunAll->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.LabelSpiStatus->text() == "disconnected"; }, 30000))
      << w.Memo1->toPlainText().toStdString();
  EXPECT_NE(w.Memo1->toPlainText().indexOf("verified 1024 bytes"), -1);
  EXPECT_EQ(w.LabelFlashStatus->text(), "PROGRAMMED");
  EXPECT_EQ(w.EditFromAddr->text(), "0x00.3000");  // the automatic erase range
  EXPECT_EQ(w.ProgressBar1->value(), 0);  // the disconnect starts the bar anew
  EXPECT_TRUE(w.ButtonRunAll->isEnabled());
  EXPECT_FALSE(w.ButtonErase->isEnabled());
  {
    std::lock_guard lock(server->drive().mutex());
    EXPECT_EQ(sim::simFlash(server->drive()).target(kFlashTargetSTR710)->bytes[0x3000 + 5], uint8_t(0x3000 + 15));
  }
  // Closing asks for normal mode first; the window goes once the drive is there.
  w.close();
  EXPECT_TRUE(w.isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
  EXPECT_EQ(comm->Priority(), tpLower);
}

TEST_F(FirmwareWindows, ProgrammingWindowRefusedWhileAParameterDownloadRuns) {
  TFormDownload w;
  w.SetComm(comm.get());
  w.ParameterDownloadRunning = [] { return true; };
  QTimer::singleShot(0, [] {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(top)) box->accept();
  });
  EXPECT_FALSE(w.ShowForm());
  EXPECT_FALSE(w.isVisible());
}

TEST_F(FirmwareWindows, SettingsPerTargetSurviveTabChangesAndExit) {
  const std::string file = dir.Write("setup.ini",
                                     "[Download]\r\nTarget=1\r\n[Download1]\r\nH0=/x/dsp.hex\r\nEraseFrom=0x100\r\n"
                                     "EraseTo=0x200\r\nEraseMode=1\r\n[Upload2]\r\nReadFrom=0x200000\r\nSize=4\r\n");
  TIniFile ini(file);
  TFormDownload d;
  d.GetSettings(ini);
  EXPECT_EQ(d.TCTarget->currentIndex(), 1);
  EXPECT_EQ(d.EditFilename->text(), "/x/dsp.hex");
  EXPECT_TRUE(d.ErasureModes[1]->isChecked());
  d.TCTarget->setCurrentIndex(0);
  EXPECT_EQ(d.EditFromAddr->text(), "0x000000");
  d.EditFromAddr->setText("0x42");
  d.TCTarget->setCurrentIndex(1);
  EXPECT_EQ(d.EditFromAddr->text(), "0x100");
  d.TCTarget->setCurrentIndex(0);
  EXPECT_EQ(d.EditFromAddr->text(), "0x42");

  TFormUpload u;
  u.GetSettings(ini);
  u.TCTarget->setCurrentIndex(2);
  EXPECT_EQ(u.EditStartAddr->text(), "0x200000");
  EXPECT_EQ(u.EditkBytes->text(), "4");
  d.SaveSettings(ini);
  u.SaveSettings(ini);
  TIniFile again(file);
  EXPECT_EQ(again.ReadInteger("Download", "Target", -1), 0);
  EXPECT_EQ(again.ReadString("Download0", "EraseFrom", ""), "0x42");
  EXPECT_EQ(again.ReadString("Download1", "H0", ""), "/x/dsp.hex");
  EXPECT_EQ(again.ReadString("Upload2", "Size", ""), "4");
  EXPECT_EQ(again.ReadInteger("Upload", "Target", -1), 2);
}

TEST_F(FirmwareWindows, UploadWindowReadsIntoAHexFileAndRejectsBadRanges) {
  TFormUpload u;
  EXPECT_EQ(u.windowTitle(), "Upload Controller Data");
  EXPECT_EQ(u.ButtonDump->text(), "START UPLOAD");
  u.SetComm(comm.get());
  u.show();
  u.TCTarget->setCurrentIndex(1);
  u.EditStartAddr->setText("0x1000001");
  u.ButtonDump->click();
  EXPECT_TRUE(u.EditStartAddr->styleSheet().contains("red"));
  EXPECT_TRUE(u.ButtonDump->isEnabled());
  u.EditStartAddr->setText("0x100000");
  u.EditkBytes->setText("2");
  u.EditFilename->setText(QString::fromStdString(dir.File("dsp.hex")));
  u.ButtonDump->click();
  EXPECT_FALSE(u.EditStartAddr->styleSheet().contains("red"));
  EXPECT_FALSE(u.ButtonDone->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return u.Memo1->toPlainText().contains("Done!"); }, 30000))
      << u.Memo1->toPlainText().toStdString();
  EXPECT_TRUE(u.ButtonDone->isEnabled());
  EXPECT_TRUE(u.Memo1->toPlainText().contains("2048 bytes written"));
  EXPECT_EQ(test::ReadFile(dir.File("dsp.hex")).rfind(":00000001FF\r\n"), test::ReadFile(dir.File("dsp.hex")).size() - 13);
}

}  // namespace
