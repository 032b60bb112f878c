#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include "GuiTestUtil.h"
#include "gui/workspace/DrivePanel.h"

using namespace zeb7::gui;
using namespace zeb7::gui::test;

namespace {

// Every user action of the panel, in order, as text.
class PanelSpy : public QObject {
 public:
  explicit PanelSpy(TDrivePanel& p) {
    auto add = [this](const QString& s) { events << s; };
    connect(&p, &TDrivePanel::ControlByATAClicked, this, [add] { add("ata"); });
    connect(&p, &TDrivePanel::DisableDriveClicked, this, [add] { add("disable"); });
    connect(&p, &TDrivePanel::EnableDriveClicked, this, [add] { add("enable"); });
    connect(&p, &TDrivePanel::WriteFlashClicked, this, [add] { add("flash"); });
    connect(&p, &TDrivePanel::ParamSetClicked, this, [add](int t) { add(QString("set %1").arg(t)); });
    connect(&p, &TDrivePanel::ParamVersionEntered, this, [add](const QString& e) { add("version " + e); });
    connect(&p, &TDrivePanel::DeleteParamSetConfirmed, this, [add] { add("delete"); });
  }
  QStringList events;
};

TEST(DrivePanel, StatusMovesButtonsWithoutSendingCommands) {
  TDrivePanel p;
  p.show();
  PanelSpy spy(p);
  p.SetDriveButtonDown(TDrivePanel::dbControlByATA);  // though hidden
  EXPECT_TRUE(p.SpeedButtonControlByATA->isChecked());
  p.SetDriveButtonDown(TDrivePanel::dbEnable);
  EXPECT_TRUE(p.SpeedButtonEnableDrive->isChecked());
  EXPECT_FALSE(p.SpeedButtonControlByATA->isChecked());
  p.SetDriveButtonDown(TDrivePanel::dbNone);
  EXPECT_FALSE(p.SpeedButtonEnableDrive->isChecked() || p.SpeedButtonDisableDrive->isChecked() ||
               p.SpeedButtonControlByATA->isChecked());
  p.SetParamSets(5, 0x0021);
  EXPECT_TRUE(p.ParamSetButtons[5]->isChecked());
  EXPECT_EQ(p.ParamSetButtons[5]->palette().color(QPalette::ButtonText), QColor(0, 0x80, 0));
  EXPECT_EQ(p.ParamSetButtons[1]->palette().color(QPalette::ButtonText), QColor(0xFF, 0, 0));
  EXPECT_TRUE(spy.events.isEmpty());
}

TEST(DrivePanel, ClicksReportTheirActions) {
  TDrivePanel p;
  p.show();
  PanelSpy spy(p);
  p.SpeedButtonEnableDrive->click();
  EXPECT_TRUE(p.SpeedButtonEnableDrive->isChecked());
  p.SpeedButtonDisableDrive->click();
  EXPECT_TRUE(p.SpeedButtonDisableDrive->isChecked());
  EXPECT_FALSE(p.SpeedButtonEnableDrive->isChecked());  // one group
  p.SpeedButtonControlByATA->click();
  p.SpeedButtonFlash->click();
  p.ParamSetButtons[3]->click();
  p.ParamSetButtons[15]->click();
  EXPECT_EQ(spy.events, QStringList({"enable", "disable", "ata", "flash", "set 3", "set 15"}));
}

TEST(DrivePanel, DriveErrorCaptionAndEnabledButtons) {
  TDrivePanel p;
  p.SetDisableCaption(true);
  EXPECT_EQ(p.SpeedButtonDisableDrive->text(), "Reset Drive Error");
  EXPECT_TRUE(p.SpeedButtonDisableDrive->font().bold());
  EXPECT_EQ(p.SpeedButtonDisableDrive->palette().color(QPalette::ButtonText), QColor(Qt::red));
  p.SetDisableCaption(false);
  EXPECT_EQ(p.SpeedButtonDisableDrive->text(), "Disable Drive");
  EXPECT_FALSE(p.SpeedButtonDisableDrive->font().bold());
  p.SetCommandButtonsEnabled(false);
  EXPECT_FALSE(p.SpeedButtonFlash->isEnabled());
  EXPECT_FALSE(p.BtnDeleteParameterSet->isEnabled());
  EXPECT_FALSE(p.BtnRenameParameterVersion->isEnabled());
  EXPECT_TRUE(p.EditControllerError->font().bold());
  EXPECT_TRUE(p.EditRuntimeError->isReadOnly());
}

TEST(DrivePanel, StatusListKeepsAtMost31Lines) {
  TDrivePanel p;
  for (int i = 1; i <= 31; ++i) p.ShowStatusMessage(QString("%1: msg").arg(i));
  EXPECT_EQ(p.Memo1->document()->blockCount(), 31);
  EXPECT_TRUE(p.Memo1->toPlainText().startsWith("1: msg\n"));
  p.ShowStatusMessage("32: msg");
  QStringList lines = p.Memo1->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 31);
  EXPECT_EQ(lines.front(), "2: msg");
  EXPECT_EQ(lines.back(), "32: msg");
  for (int i = 33; i <= 40; ++i) p.ShowStatusMessage(QString("%1: msg").arg(i));
  lines = p.Memo1->toPlainText().split('\n');
  EXPECT_EQ(lines.size(), 31);
  EXPECT_EQ(lines.front(), "10: msg");
}

TEST(DrivePanel, RenameAsksAgainWithQuestionMarks) {
  TDrivePanel p;
  p.show();
  p.SetParamVersion("42");
  PanelSpy spy(p);
  auto enter = [](const QString& text, const QString& expectShown) {
    return [text, expectShown](QWidget* m) {
      auto* dlg = qobject_cast<QInputDialog*>(m);
      ASSERT_NE(dlg, nullptr);
      EXPECT_EQ(dlg->windowTitle(), "Change Version Number");
      EXPECT_EQ(dlg->labelText(), "New Version Number (0..255)");
      EXPECT_EQ(dlg->textValue(), expectShown);
      dlg->setTextValue(text);
      dlg->accept();
    };
  };
  ModalScript script({enter("256", "42"), enter("x7", "???"), enter("-1", "???"), enter("7", "???")});
  p.BtnRenameParameterVersion->click();
  EXPECT_EQ(script.Done(), 4u);
  EXPECT_EQ(spy.events, QStringList({"version 7"}));

  ModalScript cancel({[](QWidget* m) { qobject_cast<QDialog*>(m)->reject(); }});
  p.BtnRenameParameterVersion->click();
  EXPECT_EQ(spy.events.size(), 1);
}

TEST(DrivePanel, DeleteAsksFirst) {
  TDrivePanel p;
  p.show();
  PanelSpy spy(p);
  auto answer = [](QMessageBox::StandardButton b) {
    return [b](QWidget* m) {
      auto* box = qobject_cast<QMessageBox*>(m);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->text(), "Delete actual parameter set in flash ?");
      box->button(b)->click();
    };
  };
  ModalScript no({answer(QMessageBox::Cancel)});
  p.BtnDeleteParameterSet->click();
  EXPECT_TRUE(spy.events.isEmpty());
  ModalScript yes({answer(QMessageBox::Yes)});
  p.BtnDeleteParameterSet->click();
  EXPECT_EQ(spy.events, QStringList({"delete"}));
}

}  // namespace
