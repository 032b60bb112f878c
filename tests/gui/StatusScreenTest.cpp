// The drive panel over the real drive-status logic, fed with status and error
// answers as the dispatcher hands them over.
#include <gtest/gtest.h>

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolButton>

#include "GuiTestUtil.h"
#include "link/Commands.h"
#include "gui/model/FrmProjectDatabase.h"
#include "gui/workspace/DrivePanel.h"
#include "gui/workspace/Main.h"
#include "model/DriveModel.h"

using namespace zeb7::gui;
using namespace zeb7::gui::test;

namespace {

class StatusScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = std::make_unique<SettingsFile>("[Settings]\r\nDesignMode=1\r\n");
    model_ = std::make_unique<zeb7::TDriveModel>();
    form_ = std::make_unique<TMainForm>(nullptr, model_.get());
    form_->show();
  }
  void TearDown() override {
    form_.reset();
    model_.reset();
  }
  // Status answer from target 0; bytes beyond `length` stay as given.
  void Status(std::vector<uint8_t> data, int length, int target = 0) {
    zeb7::TTelegram t;
    t.ttType = zeb7::ttNormal;
    t.bCommand = zeb7::kCmdStatus;
    t.bTarget = static_cast<uint8_t>(target);
    t.bLength = static_cast<uint8_t>(length);
    for (size_t i = 0; i < data.size(); ++i) t.baData[i] = data[i];
    model_->Status.HandleStatusTelegram(t);
  }
  void Text(int command, const std::string& text, int number = -1) {
    zeb7::TTelegram t;
    t.ttType = zeb7::ttNormal;
    t.bCommand = static_cast<uint8_t>(command);
    size_t at = 0;
    if (number >= 0) {
      t.baData[0] = number & 0xFF;
      t.baData[1] = number >> 8;
      at = 2;
    }
    for (char c : text) t.baData[at++] = static_cast<uint8_t>(c);
    t.baData[at++] = 0;
    t.bLength = static_cast<uint8_t>(at);
    model_->Status.HandleErrorTelegram(t);
  }
  TDrivePanel& P() { return *form_->Panel2; }
  bool Down(QToolButton* b) { return b->isChecked(); }

  std::unique_ptr<SettingsFile> settings_;
  std::unique_ptr<zeb7::TDriveModel> model_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(StatusScreen, ButtonsFollowStatusByte5) {
  Status({0, 0, 0, 0, 0, 1}, 6);  // enabled, not by this program
  EXPECT_TRUE(Down(P().SpeedButtonControlByATA));
  EXPECT_FALSE(P().SpeedButtonControlByATA->isVisible());
  EXPECT_FALSE(Down(P().SpeedButtonEnableDrive) || Down(P().SpeedButtonDisableDrive));
  EXPECT_FALSE(P().SpeedButtonFlash->isEnabled());

  Status({0, 0, 0, 0, 0, 3}, 6);  // enabled by this program
  EXPECT_TRUE(Down(P().SpeedButtonEnableDrive));
  EXPECT_FALSE(Down(P().SpeedButtonControlByATA));

  Status({1, 0, 0, 0, 0, 0}, 6);  // error bit without byte 5 bit 2: no drive error
  EXPECT_TRUE(Down(P().SpeedButtonDisableDrive));
  EXPECT_EQ(P().SpeedButtonDisableDrive->text(), "Disable Drive");
  EXPECT_TRUE(P().SpeedButtonFlash->isEnabled());
  EXPECT_TRUE(P().BtnRenameParameterVersion->isEnabled());
  EXPECT_TRUE(P().BtnDeleteParameterSet->isEnabled());

  Status({1, 0, 0, 0, 0, 4}, 6);  // drive error
  EXPECT_EQ(P().SpeedButtonDisableDrive->text(), "Reset Drive Error");
  EXPECT_TRUE(P().SpeedButtonDisableDrive->font().bold());
  EXPECT_EQ(P().SpeedButtonDisableDrive->palette().color(QPalette::ButtonText), QColor(Qt::red));
  EXPECT_FALSE(Down(P().SpeedButtonEnableDrive) || Down(P().SpeedButtonDisableDrive) ||
               Down(P().SpeedButtonControlByATA));
  EXPECT_FALSE(P().SpeedButtonFlash->isEnabled());

  // Target 1's status is ignored.
  Status({0, 0, 0, 0, 0, 0}, 6, 1);
  EXPECT_EQ(P().SpeedButtonDisableDrive->text(), "Reset Drive Error");
}

TEST_F(StatusScreen, ShortAnswersAndParameterSets) {
  Status({0, 0, 0, 0, 0, 0}, 6);
  ASSERT_TRUE(Down(P().SpeedButtonDisableDrive));
  Status({0, 0, 0, 0, 0}, 5);  // shorter than 6: every drive button up
  EXPECT_FALSE(Down(P().SpeedButtonEnableDrive) || Down(P().SpeedButtonDisableDrive) ||
               Down(P().SpeedButtonControlByATA));
  EXPECT_FALSE(P().SpeedButtonFlash->isEnabled());

  // Length 11 reads the set bytes as they are in the telegram.
  Status({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0x08, 0x00}, 11);
  EXPECT_TRUE(P().ParamSetButtons[3]->isChecked());
  EXPECT_EQ(P().ParamSetButtons[3]->palette().color(QPalette::ButtonText), QColor(0, 0x80, 0));
  EXPECT_EQ(P().ParamSetButtons[2]->palette().color(QPalette::ButtonText), QColor(0xFF, 0, 0));
  EXPECT_FALSE(P().PanelParamSet->isVisible());  // hidden, but kept up to date
  // No drive command went out for any of it.
  EXPECT_EQ(model_->ExchVars.CommandSequence(), 1);
}

TEST_F(StatusScreen, MessagesAndErrorTexts) {
  Status({0, 0x03, 0x01, 0, 0, 0}, 6);  // controller and runtime texts available
  Text(zeb7::kCmdControllerError, "Overcurrent");
  Text(zeb7::kCmdRuntimeError, "Stopped");
  EXPECT_EQ(P().EditControllerError->text(), "Overcurrent");
  EXPECT_EQ(P().EditRuntimeError->text(), "Stopped");
  Status({0, 0, 0, 0, 0, 0}, 6);
  EXPECT_EQ(P().EditControllerError->text(), "Overcurrent");  // kept until the next answer
  Text(zeb7::kCmdControllerError, "Overcurrent");
  EXPECT_EQ(P().EditControllerError->text(), "");

  Text(zeb7::kCmdStatusMessage, "Homing done", 4);
  Text(zeb7::kCmdStatusMessage, "Homing done", 4);  // the same number shows once
  Text(zeb7::kCmdStatusMessage, "Caf\xe9", 5);      // drive text is 8-bit
  EXPECT_EQ(P().Memo1->toPlainText(), QString::fromUtf8("4: Homing done\n5: Caf\xc3\xa9"));
  for (int n = 6; n < 40; ++n) Text(zeb7::kCmdStatusMessage, "m", n);
  QStringList lines = P().Memo1->toPlainText().split('\n');
  EXPECT_EQ(lines.size(), 31);
  EXPECT_EQ(lines.back(), "39: m");
  EXPECT_EQ(lines.front(), "9: m");
}

TEST_F(StatusScreen, RenameUsesTheDrivesVersionAndValidation) {
  model_->TargetInfo[0].ParamVersion = 17;
  Status({0, 0, 0, 0, 0, 0}, 6);
  ASSERT_TRUE(P().BtnRenameParameterVersion->isEnabled());
  std::vector<QString> shown;
  auto enter = [&shown](const QString& text) {
    return [&shown, text](QWidget* m) {
      auto* dlg = qobject_cast<QInputDialog*>(m);
      ASSERT_NE(dlg, nullptr);
      shown.push_back(dlg->textValue());
      dlg->setTextValue(text);
      dlg->accept();
    };
  };
  ModalScript script({enter("1000"), enter(""), enter(" 42 ")});
  P().BtnRenameParameterVersion->click();
  EXPECT_EQ(shown, (std::vector<QString>{"17", "???", "???"}));
  EXPECT_EQ(model_->ExchVars.CommandSequence(), 2);  // one command went out (no port: not sent)
}

TEST_F(StatusScreen, ProjectStateWindowAndProgress) {
  form_->ProgramState1->trigger();
  ASSERT_TRUE(form_->FrmProjectState->isVisible());
  model_->ProjectState.Reset();
  model_->ProjectState.Restart();
  model_->ProjectState.SearchParams();
  QString log = form_->FrmProjectState->Memo1->toPlainText();
  EXPECT_TRUE(log.contains("********* Reset ****************\n********* RESTART ****************\n"
                           "********* SearchParams ****************"))
      << log.toStdString();
  form_->RereadParameters->trigger();
  EXPECT_TRUE(form_->FrmProjectState->Memo1->toPlainText().endsWith(
      "********* Reset ****************\n********* SearchParams ****************"));
}

}  // namespace
