// The parameter file windows, the parameter tree and the communication monitor
// on the real widgets; the download dialog against the virtual drive.
#include <gtest/gtest.h>

#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTest>
#include <mutex>

#include "GuiTestUtil.h"
#include "SimDrive.h"
#include "TempDir.h"
#include "gui/link/CommDriveLink.h"
#include "gui/paramfiles/FrmParamDownload.h"
#include "gui/paramfiles/FrmParameterPreview.h"
#include "gui/views/FrmDebug.h"
#include "gui/views/FrmParameterTree.h"
#include "gui/views/SortedStringGrid.h"
#include "model/DriveModel.h"
#include "paramfiles/ParamFile.h"

using namespace zeb7;
using namespace zeb7::gui;

namespace {

TParameter& AddParam(TDriveModel& m, int index, const std::string& name, const std::string& control,
                     const std::string& caption, const std::string& props, int64_t value, int group = 0) {
  TParameter& p = m.ParameterList.GetParameter(index, 0);
  p.P.sFirmwareName = name;
  p.P.sControl = control;
  p.P.sCaption = caption;
  p.P.sControlProperties = props;
  p.P.iGroupNr = group;
  p.P.wChecksum = 0x1A2B;
  p.State = ParamStateAllOK;
  p.i64Value = value;
  return p;
}

}  // namespace

TEST(ParameterPreviewWindow, MarksDifferingRowsTicksWritableOnesAndExports) {
  TDriveModel m;
  m.Strings.GroupNameLists[0]->SetControllerString(0, "MOT");
  m.Strings.GroupDescriptionLists[0]->SetControllerString(0, "Motor");
  AddParam(m, 0, "MPOLES", "THUMB", "Pole pairs", "2|0|1|", 4);
  AddParam(m, 1, "BRAKE", "CHECK", "Brake", "Release", 0);
  AddParam(m, 2, "TEMP", "NUMERIC", "Temperature", "5|1|0.1|C", 250);
  zeb7::test::TempDir dir("preview");
  const std::string file = dir.Write("f.kvtp",
                                     "[Parameters]\r\n[Parameters_Extended]\r\n"
                                     "0 \"MOT\" MPOLES 6 THUMB \"Pole pairs\" \"2|0|1|\" 0\r\n"
                                     "0 \"MOT\" BRAKE 0 CHECK \"Brake\" \"Release\" 0\r\n"
                                     "0 \"MOT\" TEMP 250 NUMERIC \"Temperature\" \"5|1|0.1|C\" 0\r\n");
  TFormParameterPreview w(&m, nullptr);
  w.DisplayParameterFile(QString::fromStdString(file));
  ASSERT_EQ(w.StringGrid1->RowCount(), 4);
  EXPECT_EQ(w.StringGrid1->Row(1), (QStringList{"YES", "P", "Motor", "Brake", "Release = NO", "Release = NO"}));
  EXPECT_EQ(w.StringGrid1->Row(2).value(4), "+6");
  EXPECT_EQ(w.StringGrid1->Row(2).value(5), "+4");
  EXPECT_NE(w.StringGrid1->item(1, 0)->background(), w.StringGrid1->item(0, 0)->background());  // differs
  EXPECT_EQ(w.StringGrid1->item(2, 0)->flags() & Qt::ItemIsUserCheckable, 0);  // a measurement is not written
  EXPECT_EQ(w.TickedKeys(), (std::set<int32_t>{ParamKey(0, 0), ParamKey(1, 0)}));
  w.StringGrid1->item(0, 0)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(w.TickedKeys(), (std::set<int32_t>{ParamKey(0, 0)}));
  ASSERT_TRUE(w.SaveCsv(QString::fromStdString(dir.File("out.csv"))));
  EXPECT_EQ(zeb7::test::ReadFile(dir.File("out.csv")).rfind(
                "\"Found\";\"M/P\";\"Group\";\"Caption\";\"->  Value\"\r\n\"YES\";\"P\";\"Motor\";\"Brake\";", 0),
            0u);
}

TEST(ParameterTreeWindow, RefreshMessagesDragPayloadAndHints) {
  TDriveModel m;
  m.Strings.GroupNameLists[0]->SetControllerString(0, "MOT");
  m.Strings.GroupDescriptionLists[0]->SetControllerString(0, "Motor");
  AddParam(m, 3, "MPOLES", "THUMB", "Pole pairs", "2|0|1|", 4);
  TFormParameterTree w(&m, nullptr);
  w.RefreshDisplays(2);
  ASSERT_EQ(w.TreeView1->topLevelItemCount(), 1);
  QTreeWidgetItem* group = w.TreeView1->topLevelItem(0);
  EXPECT_EQ(group->data(0, TParamTreeView::DescriptionRole).toString(), "Motor");
  ASSERT_EQ(group->childCount(), 1);
  QTreeWidgetItem* param = group->child(0);
  EXPECT_TRUE(param->font(0).bold());  // user class 0
  std::unique_ptr<QMimeData> mime(w.TreeView1->mimeData({param}));
  ASSERT_TRUE(mime);
  EXPECT_EQ(mime->data(kParamKeyMime), QByteArray::number(ParamKey(3, 0)));
  EXPECT_EQ(w.TreeView1->mimeData({group}), nullptr);
  EXPECT_TRUE(w.HintOf(param).contains("Properties = 2:0:1:"));
  EXPECT_TRUE(w.HintOf(group).isEmpty());
  w.RefreshDisplays(3);
  EXPECT_EQ(w.TreeView1->topLevelItemCount(), 1);
  w.RefreshDisplays(0);
  EXPECT_EQ(w.TreeView1->topLevelItemCount(), 0);
  // Through the model's broadcast, delivered in the event loop.
  m.Context.Broadcast(WM_REFRESH_DISPLAYS, 2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.TreeView1->topLevelItemCount() == 1; }, 5000));
}

TEST(CommunicationMonitor, KeepsTheLast401LinesAndResumesOnShow) {
  TFormDebug w(nullptr);
  for (int i = 0; i < 1000; ++i) w.AddLine(QString("line %1").arg(i));
  EXPECT_EQ(w.Memo1->document()->blockCount(), 401);
  EXPECT_EQ(w.Memo1->document()->firstBlock().text(), "line 599");
  EXPECT_EQ(w.Memo1->document()->lastBlock().text(), "line 999");
  w.show();
  w.ButtonPauseClick();
  EXPECT_TRUE(w.boPause);
  EXPECT_EQ(w.ButtonPause->text(), "&Weiter");
  w.hide();
  w.show();
  EXPECT_FALSE(w.boPause);
  EXPECT_EQ(w.ButtonPause->text(), "Pause");
  w.ButtonClearClick();
  EXPECT_TRUE(w.Memo1->toPlainText().isEmpty());
}

// The dialog on a live link: disable, match, write; the drive's own state is checked.
TEST(ParamDownloadDialog, WritesTheFileIntoTheVirtualDriveAndCapturesFrames) {
  auto server = zeb7::test::StartSimServer();
  TDriveModel model;
  QObject context;
  TCommDriveLink link(&context, model);
  link.BindDevice(1, server->devicePath());
  link.SetComPort(1);
  ASSERT_TRUE(link.OpenCom());
  link.StartExchange();
  link.Resume();
  model.ProjectState.Reset();
  model.ProjectState.Restart();
  model.ProjectState.SearchParams();
  ASSERT_TRUE(QTest::qWaitFor([&] { return DatabaseComplete(model); }, 60000));

  TFormDebug monitor(nullptr);
  monitor.CommProvider = [&] { return &link.Comm(); };
  monitor.show();
  zeb7::test::TempDir dir("downloaddlg");
  const QString capture = QString::fromStdString(dir.File("capture.jsonl"));
  monitor.StartCapture(capture);

  const std::string file = dir.Write("f.kvtp", "[Parameters]\r\n0 Motor MNMAX 4321\r\n0 Motor MPOLES 7\r\n0 X GONE 1\r\n");
  TParamDownloadDlg dlg(&model, nullptr);
  dlg.CommProvider = [&] { return &link.Comm(); };
  dlg.StartParameterDownload(QString::fromStdString(file));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Busy(); }, 60000));
  EXPECT_TRUE(dlg.OKBtn->isEnabled());
  const QStringList log = dlg.LogLines();
  EXPECT_TRUE(log.contains("Parameter X/GONE could not be updated (obsolete)")) << log.join("\n").toStdString();
  EXPECT_TRUE(log.contains("Parameter Download Done"));
  EXPECT_TRUE(log.contains("written=2 limited=0 refused=0 lost=0 obsolete=1")) << log.join("\n").toStdString();
  {
    std::lock_guard lock(server->drive().mutex());
    for (const auto& p : server->drive().description().targets[0].parameters) {
      if (p.sFirmwareName == "MNMAX") EXPECT_EQ(p.value, 4321);
      if (p.sFirmwareName == "MPOLES") EXPECT_EQ(p.value, 7);
    }
  }
  QString error;
  ASSERT_TRUE(monitor.StopCapture(&error)) << error.toStdString();
  const std::string captured = zeb7::test::ReadFile(capture.toStdString());
  EXPECT_NE(captured.find("\"dir\":\"tx\",\"kind\":\"data\""), std::string::npos);
  EXPECT_NE(captured.find("\"cmd\":20"), std::string::npos);
  EXPECT_NE(captured.find("\"dir\":\"rx\""), std::string::npos);
  EXPECT_FALSE(monitor.MemoFrames->toPlainText().isEmpty());
  monitor.hide();
  link.StopExchange();
}
