// The parameter tables on the real widgets, against a model filled by hand.
#include <gtest/gtest.h>

#include <QInputDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QTabBar>
#include <QTest>

#include "GuiTestUtil.h"
#include "gui/views/FrmDatabase.h"
#include "gui/views/FrmDatabase2.h"
#include "gui/views/FrmTypePlate.h"
#include "gui/views/SortedStringGrid.h"
#include "gui/workspace/Broadcast.h"
#include "link/Commands.h"
#include "model/DriveModel.h"

using namespace zeb7::gui;
using namespace zeb7::gui::test;

namespace {

class RecordingLink : public zeb7::ITelegramLink {
 public:
  bool Opened() const override { return true; }
  int GetSendQueueSize() const override { return 0; }
  void PostTelegram(std::unique_ptr<zeb7::TTelegram> tele) override { sent.push_back(*tele); }
  std::vector<zeb7::TTelegram> sent;
};

zeb7::TParameter& AddParam(zeb7::TDriveModel& m, int target, int index, const std::string& name,
                           const std::string& caption, int group) {
  zeb7::TParameter& p = m.ParameterList.GetParameter(index, target);
  p.P.sFirmwareName = name;
  p.P.sCaption = caption;
  p.P.sControl = "NUMERIC";
  p.P.iGroupNr = group;
  p.P.wChecksum = 0x1A2B;
  return p;
}

int CountCommand(const RecordingLink& link, int cmd) {
  int n = 0;
  for (const auto& t : link.sent) n += t.bCommand == cmd;
  return n;
}

TEST(SortedStringGrid, KeepsOrderRejectsDuplicatesAndKeepsOneRow) {
  TSortedStringGrid g;
  g.setColumnCount(2);
  g.CompareFunction = [](const QStringList& a, const QStringList& b) { return a.value(0).compare(b.value(0)); };
  // The only data row is empty: the first row reuses it.
  EXPECT_EQ(g.Add({"m", "1"}), 1);
  EXPECT_EQ(g.RowCount(), 2);
  EXPECT_EQ(g.Add({"c", "2"}), 1);
  EXPECT_EQ(g.Add({"x", "3"}), 3);
  EXPECT_EQ(g.Add({"m", "again"}), -1);
  EXPECT_EQ(g.RowCount(), 4);
  EXPECT_EQ(g.Row(2), (QStringList{"m", "1"}));
  EXPECT_EQ(g.IndexOf({"x"}), 3);
  int at = 0;
  EXPECT_FALSE(g.Search({"d"}, at));
  EXPECT_EQ(at, 2);
  g.Duplicates = true;
  EXPECT_EQ(g.Add({"m", "dup"}), 2);
  EXPECT_EQ(g.RowCount(), 5);

  g.RemoveRow(0);  // the header row
  EXPECT_EQ(g.RowCount(), 5);
  g.RemoveRow(9);
  EXPECT_EQ(g.RowCount(), 5);
  g.RemoveAllRows();
  EXPECT_EQ(g.RowCount(), 2);
  g.Add({"only"});
  g.RemoveRow(1);  // the only data row is emptied, not removed
  EXPECT_EQ(g.RowCount(), 2);
  EXPECT_TRUE(g.RowIsEmpty(1));

  TSortedStringGrid unsorted;
  unsorted.setColumnCount(1);
  EXPECT_EQ(unsorted.Add({"b"}), 2);
  EXPECT_EQ(unsorted.Add({"a"}), 3);
  int i = 0;
  EXPECT_FALSE(unsorted.Search({"a"}, i));
  EXPECT_EQ(unsorted.IndexOf({"a"}), -1);
}

class Tables : public ::testing::Test {
 protected:
  zeb7::TDriveModel model;
  RecordingLink link;
  void SetUp() override { model.ExchVars.SetLink(&link); }
};

TEST_F(Tables, DatabaseRowsCarryKeysThatSurviveAReset) {
  model.Strings.GroupNameLists[0]->SetControllerString(2, "Motor");
  AddParam(model, 0, 5, "MNMAX", "Maximum speed", 2).i64Value = 6000;
  AddParam(model, 1, 3, "KPX", "Position gain", 0);
  TFormDatabase db(&model, nullptr);
  db.show();
  db.ShowActualData();
  ASSERT_EQ(db.StringGrid1->rowCount(), 2);
  EXPECT_EQ(db.StringGrid1->item(0, 0)->text(), "00005");
  EXPECT_EQ(db.StringGrid1->item(0, 2)->text(), "6000");
  EXPECT_EQ(db.StringGrid1->item(0, 3)->text(), "Motor");
  EXPECT_EQ(db.StringGrid1->item(0, 6)->text(), "1A2B");
  EXPECT_EQ(db.StringGrid1->item(1, 0)->text(), "10003");

  // The drag payload is the key; freeing every parameter leaves nothing dangling.
  db.StringGrid1->setCurrentCell(1, 0);
  model.ParameterList.FreeAll();
  std::unique_ptr<QMimeData> mime(
      db.StringGrid1->model()->mimeData({db.StringGrid1->model()->index(1, 0)}));
  ASSERT_TRUE(mime);
  EXPECT_EQ(mime->data(kParamKeyMimeType), "65539");

  // An update start leaves the table; its end refills it (now empty: one blank row).
  TBroadcastEvent start(WM_REFRESH_DISPLAYS, 0, 0);
  QCoreApplication::sendEvent(&db, &start);
  EXPECT_EQ(db.StringGrid1->rowCount(), 2);
  TBroadcastEvent done(WM_REFRESH_DISPLAYS, 0, 2);
  QCoreApplication::sendEvent(&db, &done);
  EXPECT_EQ(db.StringGrid1->rowCount(), 1);
  EXPECT_EQ(db.StringGrid1->item(0, 0), nullptr);
}

TEST_F(Tables, DatabaseFilterMatchesNameCaptionOrGroupIgnoringCase) {
  model.Strings.GroupNameLists[0]->SetControllerString(1, "Speed loop");
  AddParam(model, 0, 0, "KPN", "Speed gain", 1);
  AddParam(model, 0, 1, "ILIM", "Current limit", 0);
  AddParam(model, 0, 2, "TNN", "Integral time", 1);
  AddParam(model, 0, 3, "MAINSV", "Mains \xE4voltage", 0);  // Latin-1 umlaut
  TFormDatabase db(&model, nullptr);
  db.show();
  db.ShowActualData();
  EXPECT_EQ(db.StringGrid1->rowCount(), 4);
  db.FilterEdit->setText("LOOP");
  EXPECT_EQ(db.StringGrid1->rowCount(), 2);
  db.FilterEdit->setText("ilim");
  ASSERT_EQ(db.StringGrid1->rowCount(), 1);
  EXPECT_EQ(db.StringGrid1->item(0, 5)->text(), "ILIM");
  db.FilterEdit->setText(QString::fromUtf8("\xC3\xA4volt"));
  ASSERT_EQ(db.StringGrid1->rowCount(), 1);
  EXPECT_EQ(db.StringGrid1->item(0, 1)->text(), QString::fromUtf8("Mains \xC3\xA4voltage"));
  db.FilterEdit->setText("nothing like it");
  EXPECT_EQ(db.StringGrid1->rowCount(), 1);
  EXPECT_EQ(db.StringGrid1->item(0, 0), nullptr);
}

TEST_F(Tables, GroupRowsCannotBeDragged) {
  model.Strings.GroupNameLists[1]->SetControllerString(0, "Drive");
  model.Strings.GroupDescriptionLists[1]->SetControllerString(0, "Whole drive");
  TFormDatabase2 groups(&model, nullptr);
  groups.show();
  groups.ShowActualData();
  ASSERT_EQ(groups.StringGrid1->rowCount(), 1);
  EXPECT_EQ(groups.StringGrid1->item(0, 0)->text(), "1");
  EXPECT_EQ(groups.StringGrid1->item(0, 3)->text(), "Whole drive");
  groups.StringGrid1->setCurrentCell(0, 0);
  std::unique_ptr<QMimeData> mime(groups.StringGrid1->model()->mimeData({groups.StringGrid1->model()->index(0, 0)}));
  EXPECT_FALSE(mime);
}

TEST_F(Tables, TypePlateEditSendsOnlyAConfirmedChange) {
  model.Strings.TypePlateLists[0]->SetControllerString(0, "Servo drive");
  model.Strings.TypePlateLists[0]->SetControllerString(1, "Serial 42");
  TFormTypePlate plate(&model, nullptr);
  plate.show();
  plate.ShowActualData();
  ASSERT_EQ(plate.StringGrid1->rowCount(), 2);
  EXPECT_EQ(plate.StringGrid1->item(1, 0)->text(), "0 : 1");

  auto answer = [](const QString& text, bool accept) {
    return [=](QWidget* w) {
      auto* dlg = qobject_cast<QInputDialog*>(w);
      ASSERT_TRUE(dlg);
      dlg->setTextValue(text);
      accept ? dlg->accept() : dlg->reject();
    };
  };
  {
    ModalScript script({answer("changed but cancelled", false)});
    plate.EditLine(1);
    EXPECT_EQ(script.Done(), 1u);
  }
  {
    ModalScript script({answer("Serial 42", true)});
    plate.EditLine(1);
    EXPECT_EQ(script.Done(), 1u);
  }
  EXPECT_EQ(CountCommand(link, zeb7::kCmdWriteTypePlate), 0);
  {
    ModalScript script({answer("Serial 43", true)});
    plate.EditLine(1);
    ASSERT_EQ(script.titles.size(), 1u);
    EXPECT_EQ(script.titles[0], "Enter new Text:");
  }
  ASSERT_EQ(CountCommand(link, zeb7::kCmdWriteTypePlate), 1);
  const zeb7::TTelegram& t = link.sent.back();
  EXPECT_EQ(t.bTarget, 0);
  EXPECT_EQ(t.baData[0], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(t.baData.data() + 4)), "Serial 43");

  // A row whose line went away does nothing.
  model.Strings.TypePlateLists[0]->FreeAll();
  plate.EditLine(1);
  EXPECT_EQ(CountCommand(link, zeb7::kCmdWriteTypePlate), 1);
}

}  // namespace
