#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "FakeDriveLink.h"
#include "GuiTestUtil.h"
#include "gui/link/FmSerial.h"
#include "gui/model/FrmProjectDatabase.h"
#include "gui/workspace/About.h"
#include "gui/workspace/Broadcast.h"
#include "gui/workspace/DrivePanel.h"
#include "gui/workspace/Main.h"

using namespace zeb7::gui;
using namespace zeb7::gui::test;

namespace {

class MainFormTest : public ::testing::Test {
 protected:
  void Start(const std::string& settings = "", bool createSettings = true) {
    settings_ = std::make_unique<SettingsFile>(settings, createSettings);
    form_ = std::make_unique<TMainForm>([this] { return std::make_unique<FakeDriveLink>(link_); });
    form_->SetModelHooks({[this] { link_.calls.push_back("Reset"); },
                          [this] { link_.calls.push_back("Restart"); },
                          [this] { link_.calls.push_back("SearchParams"); }});
    form_->show();
    link_.calls.clear();
  }
  void TearDown() override {
    form_.reset();
    settings_.reset();
  }
  QString Panel3() const { return form_->Panel3->text(); }
  // Waits for the next tick of the message timer; the form's own handler, connected
  // first, has run when this returns true.
  bool NextMessageTick() {
    int ticks = 0;
    auto c = QObject::connect(form_->TimerErrorMsg, &QTimer::timeout, [&] { ++ticks; });
    const bool ticked = QTest::qWaitFor([&] { return ticks > 0; }, 10000);
    QObject::disconnect(c);
    return ticked;
  }

  FakeDriveLink::Shared link_;
  std::unique_ptr<SettingsFile> settings_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormTest, StartsWithoutSettingsFile) {
  settings_ = std::make_unique<SettingsFile>("", false);
  link_.port = 7;  // whatever the link had, the default port is 1
  form_ = std::make_unique<TMainForm>([this] { return std::make_unique<FakeDriveLink>(link_); });
  form_->SetModelHooks({[this] { link_.calls.push_back("Reset"); },
                        [this] { link_.calls.push_back("Restart"); },
                        [this] { link_.calls.push_back("SearchParams"); }});
  form_->show();
  EXPECT_EQ(link_.port, 1);
  // Port set, opened, worker resumed; then the start-up sheet with the drive
  // read anew; then the exchange runs.
  std::vector<std::string> expected{"port 1",  "open 1 ok", "resume",       "Reset", "Restart",
                                    "SearchParams", "sink set", "start"};
  EXPECT_EQ(link_.calls, expected);
  ASSERT_EQ(form_->PageControl1->count(), 1);
  EXPECT_EQ(form_->PageControl1->tabText(0), "Page1");
  EXPECT_FALSE(form_->ProgramState1->isVisible());
  EXPECT_FALSE(form_->DebugDisplays1->isVisible());
  EXPECT_FALSE(form_->Oscilloscope1->isVisible());
  // The new project "Untitled0.kvt" is remembered in the settings file.
  EXPECT_TRUE(settings_->Read().find("[Current Project]\r\nProject File=") != std::string::npos);
  EXPECT_EQ(form_->windowTitle(), TitleText() + " [Untitled0.kvt]");
  EXPECT_EQ(form_->minimumSize(), QSize(780, 500));
  EXPECT_EQ(form_->Panel2->height(), 60);
  EXPECT_EQ(form_->Panel1->height(), 23);
  EXPECT_EQ(form_->Panel3->width(), 280);
  EXPECT_TRUE(form_->Panel2->Memo1->isVisible());
  EXPECT_TRUE(form_->Panel2->EditControllerError->isVisible());
  EXPECT_FALSE(form_->Panel2->SpeedButtonControlByATA->isVisible());
  EXPECT_FALSE(form_->Panel2->PanelParamSet->isVisible());
  EXPECT_FALSE(form_->Panel5->isVisible());
}

TEST_F(MainFormTest, ServiceEntriesFollowTheSettings) {
  Start("[Settings]\r\nDesignMode=2\r\nOscilloscope=1\r\n[Com-Settings]\r\nPort-Nr=3\r\n");
  EXPECT_FALSE(form_->ProgramState1->isVisible());  // only 1 counts
  EXPECT_FALSE(form_->DebugDisplays1->isVisible());
  EXPECT_TRUE(form_->Oscilloscope1->isVisible());
  EXPECT_EQ(link_.port, 3);
  form_.reset();
  Start("[Settings]\nDesignMode=1\n");
  EXPECT_TRUE(form_->ProgramState1->isVisible());
  EXPECT_TRUE(form_->DebugDisplays1->isVisible());
  EXPECT_FALSE(form_->Oscilloscope1->isVisible());
  form_->ProgramState1->trigger();
  EXPECT_TRUE(form_->FrmProjectState->isVisible());
  EXPECT_EQ(form_->FrmProjectState->windowTitle(), "Project State");
  EXPECT_TRUE(form_->FrmProjectState->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(MainFormTest, GarbageSettingsStillOpenTheWindow) {
  Start(std::string("\x01\x02garbage\r\n[Com-Settings\r\nPort-Nr=COM4\r\n[Com-Settings]\r\n"
                    "Port-Nr=abc\r\n[Settings]\r\nDesignMode=yes\r\n\xff\xfe\r\n"));
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(link_.port, 1);
  EXPECT_FALSE(form_->ProgramState1->isVisible());
}

TEST_F(MainFormTest, MenusCarryTheirCaptionsAndHints) {
  Start();
  struct Row {
    QAction* a;
    const char* caption;
    const char* hint;
    bool enabled;
  };
  const Row rows[] = {
      {form_->New1, "&New", "Create new file", true},
      {form_->Open1, "&Open...", "Open existing file", true},
      {form_->Save1, "&Save", "Save current file", true},
      {form_->SaveAs1, "Save &as...", "Save file with different name", true},
      {form_->LoadParameters1, "Load &Parameters...", "Load parameter settings from disk", true},
      {form_->SaveParametersas1, "Sa&ve Parameters as...", "Save parameter settings to disk", true},
      {form_->ExamineParameterFile1, "Exa&mine Parameter file...", "", true},
      {form_->Exit1, "&Exit", "Exit program", true},
      {form_->SerielleSchnittstelle1, "&Com Port", "Select COM port", true},
      {form_->Parameters1, "&Parameters", "Show all parameters", true},
      {form_->Modify1, "&Modify", "Move or change display windows", true},
      {form_->Offline1, "Go &Offline", "Release COM port for other applications", true},
      {form_->ShowCommunication1, "&Show Communication", "Show data exchange", true},
      {form_->ShowDatabase1, "Show &Database", "Show all parameters", true},
      {form_->RereadParameters, "Re-read Parameters", "", true},
      {form_->FirmwareUpdateTool1, "Firmware &Update Tool", "", true},
      {form_->UploadControllerFlash1, "Up&load Controller Flash", "", true},
      {form_->ShowGroups1, "Show &Groups", "", true},
      {form_->TypePlate1, "&TypePlate", "Display ZEB/QOR type plate", true},
      {form_->About1, "About", "", true},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.a->text(), r.caption);
    EXPECT_EQ(r.a->statusTip(), r.hint) << r.caption;
    EXPECT_EQ(r.a->isEnabled(), r.enabled) << r.caption;
  }
  EXPECT_FALSE(form_->Help1->menuAction()->isVisible());
  EXPECT_FALSE(form_->Help1->menuAction()->isEnabled());
  QStringList top;
  for (QAction* a : form_->menuBar()->actions())
    if (a->isVisible()) top << a->text();
  EXPECT_EQ(top, QStringList({"&File", "&Settings", "&Parameters", "&Service", "&TypePlate", "About"}));

  // A hint shows in the message field while the item is under the mouse, and the
  // message comes back after it.
  form_->MessageFunction("Error opening /dev/ttyUSB9");
  form_->Modify1->showStatusText(form_.get());
  EXPECT_EQ(Panel3(), "Move or change display windows");
  QStatusTipEvent empty("");
  QApplication::sendEvent(form_.get(), &empty);
  EXPECT_EQ(Panel3(), "Error opening /dev/ttyUSB9");
}

TEST_F(MainFormTest, MessagesJoinAndClearAfterTraffic) {
  Start();
  form_->MessageFunction("Timeout");
  form_->MessageFunction("Timeout");
  EXPECT_EQ(Panel3(), "Timeout");
  form_->MessageFunction("Error opening /dev/ttyS0");
  EXPECT_EQ(Panel3(), "Timeout | Error opening /dev/ttyS0");
  form_->MessageFunction("Timeout");  // contained: unchanged
  EXPECT_EQ(Panel3(), "Timeout | Error opening /dev/ttyS0");
  EXPECT_TRUE(form_->TimerErrorMsg->isActive());
  EXPECT_EQ(form_->TimerErrorMsg->interval(), 1000);
  // No good telegram since: the text stays over a tick.
  ASSERT_TRUE(NextMessageTick());
  EXPECT_EQ(Panel3(), "Timeout | Error opening /dev/ttyS0");
  link_.good += 1;
  ASSERT_TRUE(NextMessageTick());
  EXPECT_EQ(Panel3(), "");
  EXPECT_FALSE(form_->TimerErrorMsg->isActive());
}

TEST_F(MainFormTest, OfflineTextStaysUntilOnline) {
  Start();
  form_->Offline1->trigger();
  EXPECT_TRUE(form_->Offline1->isChecked());
  EXPECT_EQ(form_->Offline1->text(), "GO &ONLINE");
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"sink cleared", "stop", "flush", "close"}));
  EXPECT_EQ(Panel3(), kOfflineText);
  ASSERT_TRUE(form_->TimerErrorMsg->isActive());
  ASSERT_TRUE(NextMessageTick());  // nothing exchanged: the count stands still
  EXPECT_EQ(Panel3(), "=== OFFLINE === OFFLINE === OFFLINE === ");
  link_.calls.clear();
  form_->Offline1->trigger();
  EXPECT_FALSE(form_->Offline1->isChecked());
  EXPECT_EQ(form_->Offline1->text(), "Go &Offline");
  EXPECT_EQ(Panel3(), "");  // at once, not at the next tick
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"open 1 ok", "sink set", "start"}));
}

TEST_F(MainFormTest, ComPortDialogCancelChangesNothing) {
  Start("[Com-Settings]\r\nPort-Nr=1\r\n");
  link_.openable = {1, 2};
  std::string before = settings_->Read();
  ModalScript script({[](QWidget* m) {
    auto* dlg = qobject_cast<TSerialPortDlg*>(m);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), "Serial Port");
    EXPECT_TRUE(dlg->RadioButtons[0]->isChecked());
    EXPECT_TRUE(dlg->RadioButtons[1]->isEnabled());  // its device exists
    EXPECT_FALSE(dlg->RadioButtons[2]->isEnabled());
    EXPECT_EQ(dlg->RadioButtons[1]->toolTip(), "/dev/null");
    dlg->RadioButtons[1]->setChecked(true);
    dlg->CancelBtn->click();
  }});
  EXPECT_FALSE(form_->SerielleSchnittstelle1Click());
  EXPECT_EQ(script.Done(), 1u);
  EXPECT_EQ(link_.port, 1);
  EXPECT_EQ(settings_->Read(), before);
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"suspend", "close", "open 1 ok", "port 1",
                                                   "open 1 ok", "resume"}));
}

TEST_F(MainFormTest, ComPortDialogFailedPortComesBackAndCancelRestores) {
  Start("[Com-Settings]\r\nPort-Nr=1\r\n");
  link_.openable = {1, 2};
  QPointer<QRadioButton> second;
  ModalScript script({
      [](QWidget* m) {  // choose COM3, which does not open
        auto* dlg = qobject_cast<TSerialPortDlg*>(m);
        ASSERT_NE(dlg, nullptr);
        dlg->RadioButtons[2]->setChecked(true);
        dlg->OKBtn->click();
      },
      [](QWidget* m) {  // the warning over the dialog shown again
        auto* box = qobject_cast<QMessageBox*>(m);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "COM port not available or in use");
        box->button(QMessageBox::Ok)->click();
      },
      [](QWidget* m) {
        auto* dlg = qobject_cast<TSerialPortDlg*>(m);
        ASSERT_NE(dlg, nullptr);
        EXPECT_FALSE(dlg->boValid);
        EXPECT_TRUE(dlg->RadioButtons[2]->isChecked());
        EXPECT_FALSE(dlg->RadioButtons[2]->isEnabled());  // marked invalid
        dlg->CancelBtn->click();
      },
  });
  EXPECT_FALSE(form_->SerielleSchnittstelle1Click());
  EXPECT_EQ(script.Done(), 3u);
  EXPECT_EQ(link_.port, 1);
  EXPECT_TRUE(link_.opened);
  EXPECT_EQ(settings_->Read().substr(0, 27), "[Com-Settings]\r\nPort-Nr=1\r\n");
  EXPECT_EQ(std::count(link_.calls.begin(), link_.calls.end(), "Reset"), 0);
}

TEST_F(MainFormTest, ComPortWrittenOnlyForAPortThatOpened) {
  Start("[Com-Settings]\r\nPort-Nr=1\r\n");
  link_.openable = {1, 2};
  ModalScript script({[](QWidget* m) {
    auto* dlg = qobject_cast<TSerialPortDlg*>(m);
    ASSERT_NE(dlg, nullptr);
    dlg->RadioButtons[1]->setChecked(true);
    dlg->OKBtn->click();
  }});
  EXPECT_TRUE(form_->SerielleSchnittstelle1Click());
  EXPECT_EQ(link_.port, 2);
  EXPECT_EQ(settings_->Read().substr(0, 27), "[Com-Settings]\r\nPort-Nr=2\r\n");
  // Another port: the drive is read anew.
  auto tail = std::vector<std::string>(link_.calls.end() - 3, link_.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"resume", "Reset", "Restart"}));

  // The same port again: closed, reopened and stored, no reset.
  link_.calls.clear();
  ModalScript again({[](QWidget* m) { qobject_cast<TSerialPortDlg*>(m)->OKBtn->click(); }});
  EXPECT_TRUE(form_->SerielleSchnittstelle1Click());
  EXPECT_EQ(std::count(link_.calls.begin(), link_.calls.end(), "Reset"), 0);
  EXPECT_EQ(link_.calls.back(), "resume");
  EXPECT_EQ(settings_->Read().substr(0, 27), "[Com-Settings]\r\nPort-Nr=2\r\n");
}

TEST_F(MainFormTest, UnwritableSettingsAreReportedNotFatal) {
  Start();
  ::setenv("ZEB7_SETTINGS", "/nonexistent-dir/x/Zeb7Setup.ini", 1);
  link_.openable = {1};
  ModalScript script({[](QWidget* m) { qobject_cast<TSerialPortDlg*>(m)->OKBtn->click(); }});
  EXPECT_TRUE(form_->SerielleSchnittstelle1Click());
  EXPECT_TRUE(Panel3().startsWith("Cannot write /nonexistent-dir/x/Zeb7Setup.ini")) << Panel3().toStdString();
}

// A window that counts design-mode broadcasts, optionally failing or deleting another.
class Receiver : public QWidget {
 public:
  explicit Receiver(const QString& name, QWidget* parent = nullptr) : QWidget(parent) {
    setObjectName(name);
  }
  int count = 0;
  qintptr lastL = -1;
  bool fail = false;
  QWidget* victim = nullptr;

 protected:
  bool event(QEvent* e) override {
    if (GuardBroadcast(e, [this](const TBroadcastEvent& be) {
          if (be.Msg() != WM_SET_DESIGN_MODE) return;
          ++count;
          lastL = be.LParam();
          if (victim) {
            delete victim;
            victim = nullptr;
          }
          if (fail) throw std::runtime_error("bad display");
        }))
      return true;
    return QWidget::event(e);
  }
};

TEST_F(MainFormTest, ModifyBroadcastsToEveryWindowAndControl) {
  Start();
  Receiver top("TopWin");
  auto* child = new Receiver("ChildCtl", &top);
  auto* grandChild = new Receiver("GrandCtl", child);
  auto* sheetCtl = new Receiver("SheetCtl", form_->PageControl1->widget(0));
  Receiver failing("FailingWin");
  failing.fail = true;
  auto* failingChild = new Receiver("FailingCtl", &top);
  failingChild->fail = true;
  auto* victim = new Receiver("Victim");
  Receiver killer("Killer");
  killer.victim = victim;

  form_->Modify1->trigger();
  EXPECT_TRUE(form_->DesignMode());
  for (Receiver* r : {&top, child, grandChild, sheetCtl, &failing, failingChild, &killer}) {
    EXPECT_EQ(r->count, 1) << r->objectName().toStdString();
    EXPECT_EQ(r->lastL, 1);
  }
  EXPECT_TRUE(Panel3().contains("Dispatch FailingWin ==> FAILURE!")) << Panel3().toStdString();
  EXPECT_TRUE(Panel3().contains("Broadcast TopWin ==> FAILURE!"));

  form_->Modify1->trigger();
  EXPECT_FALSE(form_->DesignMode());
  EXPECT_EQ(top.count, 2);
  EXPECT_EQ(grandChild->lastL, 0);
}

TEST_F(MainFormTest, AboutBoxShowsAndHides) {
  Start();
  form_->About1->trigger();
  ASSERT_TRUE(form_->AboutBox->isVisible());
  EXPECT_FALSE(form_->AboutBox->isModal());
  EXPECT_EQ(form_->AboutBox->windowTitle(), "About ZEB7.exe");
  EXPECT_EQ(form_->AboutBox->ProductName->text(), "TORVANE ZEB7 SETUP TOOL");
  EXPECT_TRUE(form_->AboutBox->Version->text().startsWith("Version "));
  form_->AboutBox->OKButton->click();
  EXPECT_FALSE(form_->AboutBox->isVisible());
}

TEST_F(MainFormTest, ExitStopsThenClosesAndDropsTheLink) {
  Start();
  // The new project counts as modified: decline saving it.
  ModalScript noSave({[](QWidget* m) {
    if (auto* q = qobject_cast<QMessageBox*>(m)) q->button(QMessageBox::No)->click();
  }});
  form_->close();
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"sink cleared", "stop", "close", "destroy"}));
  EXPECT_EQ(form_->Link(), nullptr);
}

TEST_F(MainFormTest, RereadParametersResetsAndSearches) {
  Start();
  form_->RereadParameters->trigger();
  EXPECT_EQ(link_.calls, (std::vector<std::string>{"Reset", "SearchParams"}));
}

}  // namespace
