// The display windows and the workspace on the real widgets (offscreen),
// against a drive model filled by hand.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QTabWidget>
#include <QTest>
#include <set>

#include "GuiTestUtil.h"
#include "TempDir.h"
#include "gui/displays/DispCheckWin.h"
#include "gui/displays/DisplayFactory.h"
#include "gui/displays/RadioWin.h"
#include "gui/displays/ThumbWheelWin.h"
#include "gui/views/FrmTabelle.h"
#include "gui/workspace/DisplayList.h"
#include "gui/workspace/ProjFile.h"
#include "gui/workspace/ScrollingTabSheet.h"
#include "model/DriveModel.h"
#include "workspace/ProjectDocument.h"

using namespace zeb7::gui;
using namespace zeb7::gui::test;

namespace {

class RecordingLink : public zeb7::ITelegramLink {
 public:
  bool Opened() const override { return true; }
  int GetSendQueueSize() const override { return 0; }
  void PostTelegram(std::unique_ptr<zeb7::TTelegram> tele) override { sent.push_back(*tele); }
  // Values of the command-20 writes, in order.
  std::vector<int64_t> Written() const {
    std::vector<int64_t> out;
    for (const auto& t : sent)
      if (t.bCommand == zeb7::kCmdSetValue) {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= uint64_t(t.baData[4 + i]) << (8 * i);
        out.push_back(int64_t(v));
      }
    return out;
  }
  std::vector<zeb7::TTelegram> sent;
};

class Displays : public ::testing::Test {
 protected:
  void SetUp() override {
    model.ExchVars.SetLink(&link);
    owner.resize(800, 600);
    pages = new QTabWidget(&owner);
    pages->setObjectName("PageControl1");
    pages->resize(800, 600);
    TWorkspaceHooks hooks;
    hooks.DataModified = [this] { ++modified; };
    hooks.Message = [this](const QString& s) { messages << s; };
    ws = new TWorkspace(pages, &owner, &model, hooks);
    owner.show();
  }
  // A fully read parameter of target 0.
  zeb7::TParameter& Param(int index, const std::string& name, const std::string& control,
                          const std::string& props, int type = 0) {
    zeb7::TParameter& p = model.ParameterList.GetParameter(index, 0);
    p.P.sFirmwareName = name;
    p.P.sControl = control;
    p.P.sControlProperties = props;
    p.P.sCaption = "Caption of " + name;
    p.P.iGroupNr = 0;
    p.P.iTypeNr = type;
    p.P.wChecksum = 0x100 + index;
    p.State = zeb7::ParamStateAllOK;
    return p;
  }
  size_t Listed(int index) {
    auto lock = model.Lock();
    const zeb7::TParameter* p = model.ParameterList.Find(index, 0);
    return p ? p->MyDisplayWins.size() : 0;
  }
  template <class W>
  W* Drop(int index, QWidget* target, QPoint at = {40, 40}) {
    return dynamic_cast<W*>(ws->CreateNewDisplayWin(target, zeb7::ParamKey(index, 0), at.y(), at.x()));
  }
  void Push(int index, int64_t raw) {
    auto lock = model.Lock();
    for (zeb7::IDisplayWin* w : model.ParameterList.Find(index, 0)->MyDisplayWins) w->SetRawValue(raw);
  }

  zeb7::TDriveModel model;
  RecordingLink link;
  QWidget owner;
  QTabWidget* pages;
  TWorkspace* ws;
  int modified = 0;
  QStringList messages;
};

TEST_F(Displays, DroppedParameterMakesALiveWindowOnTheRaster) {
  Param(0, "NREF", "NUMERIC", "-5|0|1|rpm");
  Param(1, "NONE", "WIN", "");
  Param(2, "EMPTY", "", "");
  TScrollingTabSheet* sheet = ws->AddSheet1Click();
  EXPECT_EQ(sheet->Name(), "ScrollingTabSheet1");

  // Through the drop path with the table's payload: the key, looked up now.
  QMimeData mime;
  mime.setData(kParamKeyMimeType, "0");
  ASSERT_TRUE(ws->AcceptsDrop(&mime));
  ws->Drop(sheet->ScrollBox, &mime, QPoint(37, 21));
  ASSERT_EQ(ws->DisplayList.size(), 2);
  auto* w = qobject_cast<TNumericDisplayWin*>(ws->DisplayList[1].data());
  ASSERT_TRUE(w);
  EXPECT_EQ(w->objectName(), "NumericDisplayWin1");
  EXPECT_EQ(w->pos(), QPoint(32, 16));
  EXPECT_TRUE(w->DesignMode());
  EXPECT_EQ(Listed(0), 1u);
  Push(0, -1234);
  EXPECT_EQ(w->Cell(0)->text(), "4");
  EXPECT_EQ(w->Cell(3)->text(), "1");
  EXPECT_EQ(w->Cell(5)->text(), "-");

  // "WIN", an empty control, a key the database does not know, another MIME type: nothing.
  for (const char* key : {"1", "2", "99"}) {
    mime.setData(kParamKeyMimeType, key);
    ws->Drop(sheet->ScrollBox, &mime, QPoint(8, 8));
  }
  EXPECT_FALSE(ws->AcceptsDrop(&mime));
  QMimeData text;
  text.setText("0");
  EXPECT_FALSE(ws->AcceptsDrop(&text));
  ws->RebuildDisplayList();
  EXPECT_EQ(ws->DisplayList.size(), 2);
}

TEST_F(Displays, ClicksSendButPolledValuesAreNeverWrittenBack) {
  Param(0, "SPEED", "RADIO", "Off|Slow|Fast");
  Param(1, "AUTO", "CHECK", "Auto enable");
  Param(2, "GAIN", "THUMB", "5|2|0.01|");
  TScrollingTabSheet* sheet = ws->AddSheet1Click();
  auto* radio = Drop<TRadioWin>(0, sheet->ScrollBox);
  auto* check = Drop<TDispCheckWin>(1, sheet->ScrollBox, {40, 200});
  auto* wheel = Drop<TThumbWheelWin>(2, sheet->ScrollBox, {300, 40});
  ASSERT_TRUE(radio && check && wheel);

  Push(0, 2);
  Push(1, 7);
  Push(2, 1234);
  ASSERT_EQ(radio->aRadioButtons.size(), 3);
  EXPECT_TRUE(radio->aRadioButtons[2]->isChecked());
  EXPECT_TRUE(check->CheckBox->isChecked());
  Push(0, 5);  // outside the items: the selection stays
  EXPECT_TRUE(radio->aRadioButtons[2]->isChecked());
  EXPECT_TRUE(link.Written().empty());

  QTest::mouseClick(radio->aRadioButtons[1], Qt::LeftButton);
  EXPECT_TRUE(radio->aRadioButtons[1]->isChecked());
  EXPECT_FALSE(radio->aRadioButtons[2]->isChecked());
  // A click on the checked button keeps it checked and sends again.
  QTest::mouseClick(radio->aRadioButtons[1], Qt::LeftButton);
  EXPECT_TRUE(radio->aRadioButtons[1]->isChecked());
  QTest::mouseClick(check->CheckBox, Qt::LeftButton);
  EXPECT_FALSE(check->CheckBox->isChecked());
  // 12.34 with two decimals: "+" on the last digit sends 1235.
  QPushButton* plus = wheel->Button(1, true);
  ASSERT_TRUE(plus);
  QTest::mouseClick(plus, Qt::LeftButton);
  EXPECT_EQ(link.Written(), (std::vector<int64_t>{1, 1, 0, 1235}));
  EXPECT_EQ(wheel->Cell(0)->text(), "5");
}

TEST_F(Displays, DesignModeDragMovesOnTheRasterAndReportsTheChange) {
  Param(0, "NREF", "NUMERIC", "-5|0|1|rpm");
  TScrollingTabSheet* sheet = ws->AddSheet1Click();
  auto* w = Drop<TNumericDisplayWin>(0, sheet->ScrollBox, {80, 80});
  ASSERT_TRUE(w);
  const QRect before = w->geometry();
  const int modifiedBefore = modified;
  // Grab the left edge, drag it 13 px to the right: the edge moves by 8.
  QTest::mouseMove(w, QPoint(2, 30));
  EXPECT_EQ(w->cursor().shape(), Qt::SizeHorCursor);
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(2, 30));
  QMouseEvent move(QEvent::MouseMove, QPointF(15, 30), w->mapToGlobal(QPointF(15, 30)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &move);
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(7, 30));
  EXPECT_EQ(w->geometry().left(), before.left() + 8);
  EXPECT_EQ(w->width(), before.width() - 8);
  EXPECT_EQ(w->geometry().right(), before.right());
  EXPECT_EQ(w->Core().Bounds().Left, before.left() + 8);
  EXPECT_GT(modified, modifiedBefore);

  // Outside design mode the mouse does nothing to the bounds.
  w->SetDesignMode(false);
  const QRect now = w->geometry();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(40, 30));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(90, 60));
  EXPECT_EQ(w->geometry(), now);
}

TEST_F(Displays, DeletingAGroupBoxUnlinksEverythingInsideBeforeItGoes) {
  Param(0, "NREF", "NUMERIC", "-5|0|1|rpm");
  Param(1, "AUTO", "CHECK", "Auto");
  TScrollingTabSheet* sheet = ws->AddSheet1Click();
  TDisplayWin* box = ws->CreateElement(zeb7::dcDisplayWin, sheet->ScrollBox, "Box");
  ASSERT_TRUE(box);
  box->setGeometry(10, 10, 400, 300);
  box->Core().SetBounds({10, 10, 400, 300});
  QPointer<TDisplayWin> inner = Drop<TDispCheckWin>(1, box, {20, 30});
  QPointer<TDisplayWin> outer = Drop<TNumericDisplayWin>(0, sheet->ScrollBox, {420, 40});
  ASSERT_TRUE(inner && outer);
  ws->RebuildDisplayList();
  ASSERT_EQ(ws->DisplayList.size(), 4);  // sheet, box, what is in the box, the other one
  EXPECT_EQ(ws->DisplayList[2].data(), inner.data());
  EXPECT_EQ(Listed(1), 1u);

  // The deletion is confirmed through the display's own menu, in design mode.
  QPointer<TDisplayWin> pbox(box);
  ModalScript script({[](QWidget* m) {
    auto* mb = qobject_cast<QMessageBox*>(m);
    ASSERT_TRUE(mb);
    EXPECT_EQ(mb->text(), "Are you shure to delete?");
    mb->button(QMessageBox::Yes)->click();
  }});
  box->SetDesignMode(true);
  // The menu is a popup, not a modal window: pick its only entry when it is up.
  QStringList entries;
  QTimer pick;
  pick.setInterval(20);
  QObject::connect(&pick, &QTimer::timeout, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* a : menu->actions()) entries << a->text();
      menu->setActiveAction(menu->actions().first());
      QTest::keyClick(menu, Qt::Key_Return);
    }
  });
  pick.start();
  QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(5, 5), box->mapToGlobal(QPoint(5, 5)));
  QCoreApplication::sendEvent(box, &ev);
  pick.stop();
  EXPECT_EQ(entries, QStringList{"&Delete"});
  EXPECT_EQ(script.Done(), 1u);
  // Unlinked at once, destroyed later.
  EXPECT_EQ(Listed(1), 0u);
  EXPECT_EQ(Listed(0), 1u);
  EXPECT_EQ(ws->DisplayList.size(), 2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !pbox && !inner; }, 5000));
  EXPECT_TRUE(outer);

  // Removing the sheet unlinks what is left; values then arrive without effect.
  ws->RemoveSheet1Click();
  EXPECT_EQ(Listed(0), 0u);
  EXPECT_FALSE(outer);
  EXPECT_EQ(pages->count(), 0);
}

TEST_F(Displays, SheetNamesAndTabMoves) {
  ws->NewWorkspace();
  for (int i = 0; i < 3; ++i) ws->AddSheet1Click();
  EXPECT_EQ(ws->Sheet(3)->Name(), "ScrollingTabSheet4");
  pages->setCurrentIndex(1);
  ws->RemoveSheet1Click();
  EXPECT_EQ(ws->AddSheet1Click()->Name(), "ScrollingTabSheet2");
  pages->setCurrentIndex(0);
  const int m = modified;
  ws->MoveLeft1Click();  // already first: nothing
  EXPECT_EQ(modified, m);
  ws->MoveRight1Click();
  EXPECT_EQ(pages->tabText(1), "Page1");
  EXPECT_GT(modified, m);
}

TEST_F(Displays, ProjectRoundTripThroughTheWidgetsIsByteIdentical) {
  Param(0, "NREF", "NUMERIC", "-5|2|0.01|V");
  Param(1, "GAIN", "THUMB", "4x");
  Param(2, "MODE", "RADIO", "A|B|C");
  Param(3, "AUTO", "CHECK", "Auto \xE4nderung");  // Latin-1 umlaut
  Param(4, "READY", "LED", "GR|Ready");
  Param(5, "STATE", "LEDRADIO", "YGR|Off|On|Err");
  Param(6, "DIN", "LEDARRAY", "G|In1|In2");
  ws->NewWorkspace();
  TScrollingTabSheet* second = ws->AddSheet1Click();
  pages->setTabText(1, "Second");
  TDisplayWin* box = ws->CreateElement(zeb7::dcDisplayWin, second->ScrollBox, "Box");
  box->Core().SetBounds({16, 16, 600, 500});
  box->ApplyCoreBounds();
  int y = 24;
  for (int i = 0; i < 7; ++i) {
    QWidget* target = i % 2 ? static_cast<QWidget*>(box) : ws->Sheet(0)->ScrollBox;
    ASSERT_TRUE(ws->CreateNewDisplayWin(target, zeb7::ParamKey(i, 0), y, 24)) << i;
    y += 64;
  }
  zeb7::test::TempDir dir;
  const std::string file = dir.File("plant.kvt");
  std::string error;
  ASSERT_TRUE(zeb7::SaveProjectFile(file, ws->Document(), error)) << error;
  const std::string first = zeb7::test::ReadFile(file);

  ws->Clear();
  EXPECT_EQ(pages->count(), 0);
  zeb7::TProjectReadResult read = zeb7::ReadProjectFile(file);
  ASSERT_TRUE(read.Ok) << read.Error;
  ws->Build(read.Doc);
  ASSERT_EQ(pages->count(), 2);
  EXPECT_EQ(pages->tabText(1), "Second");
  ASSERT_EQ(ws->DisplayList.size(), 10);
  // The box's contents came back into the box.
  int inBox = 0;
  for (const auto& w : ws->DisplayList)
    if (w && w->parentWidget() && w->parentWidget()->objectName() == "DisplayWin1") ++inBox;
  EXPECT_EQ(inBox, 3);
  ASSERT_TRUE(zeb7::SaveProjectFile(file, ws->Document(), error)) << error;
  EXPECT_EQ(zeb7::test::ReadFile(file), first);
  EXPECT_EQ(zeb7::test::ReadFile(zeb7::ProjectBackupName(file, 0)), first);
  // Every class came back as itself.
  std::set<QString> classes;
  for (const auto& w : ws->DisplayList) classes.insert(w->metaObject()->className());
  EXPECT_EQ(classes.size(), 9u);  // the sheet, the group box and the seven classes
}

TEST_F(Displays, DropOnAGroupBoxIsRelativeToTheBox) {
  Param(0, "NREF", "NUMERIC", "5|0|1|");
  TScrollingTabSheet* sheet = ws->AddSheet1Click();
  TDisplayWin* box = ws->CreateElement(zeb7::dcDisplayWin, sheet->ScrollBox, "Box");
  box->Core().SetBounds({200, 120, 400, 300});
  box->ApplyCoreBounds();
  TDisplayWin* w = ws->CreateNewDisplayWin(box, zeb7::ParamKey(0, 0), 33, 17);
  ASSERT_TRUE(w);
  zeb7::TProjectDocument doc = ws->Document();
  ASSERT_EQ(doc.Items.size(), 3u);
  EXPECT_EQ(doc.Items[2].Parent, box->objectName().toStdString());
  EXPECT_EQ(doc.Items[2].Left, 16);
  EXPECT_EQ(doc.Items[2].Top, 32);
}

}  // namespace
