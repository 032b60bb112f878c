// The oscillogram window against the virtual drive (upload, cancel, errors,
// the end of the program) and its printout as PDF.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTimer>
#include <cstdlib>

#include "Programs.h"
#include "SimDrive.h"
#include "TempDir.h"
#include "gui/link/QtExecutor.h"
#include "gui/scope/COscill.h"
#include "gui/scope/FrmOscill.h"
#include "gui/scope/FrmPrnt2.h"
#include "gui/scope/FrmRecorderUpload.h"
#include "link/Commands.h"
#include "link/TelegramData.h"

using namespace zeb7;
using namespace zeb7::gui;

namespace {

class UploadWindowTest : public ::testing::Test {
 protected:
  void Start(sim::FaultRates faults = {}) {
    sim::SimOptions o;
    o.faults = faults;
    server = test::StartSimServer(o);
    comm = std::make_unique<TCommInterface>(executor);
    comm->PortTable().SetEntry(1, server->devicePath());
    comm->SetComPort(1);
    comm->SetPriority(tpLowest);
    comm->OpenCom();
    comm->Resume();
    form.ShowMessage = [](const QString&) {};
    form.LinkAccess = [this] {
      TScopeLink l;
      l.Comm = comm.get();
      l.Hooks.StopPolling = [this] { ++stops; };
      l.Hooks.RunPolling = [this] { ++runs; };
      l.Hooks.PreviousErrorSink = [this](const std::string& s) { mainSink.push_back(s); };
      return l;
    };
    form.UploadWindow()->ConfirmCancel = [this] {
      ++confirmations;
      return true;
    };
  }
  void TearDown() override {
    comm.reset();
    server.reset();
  }
  void ExpectRecorder(int r) {
    for (int c = 0; c < kOscChannels; ++c)
      for (int p = 0; p < kOscPoints; ++p) {
        const int want = c < sim::recorderChannels(r) ? sim::recorderSample(r, c, p) : 0;
        ASSERT_EQ(form.Data().iaRecorderData[size_t(c)][size_t(p)], want) << "channel " << c << " point " << p;
      }
  }
  // Runs `fn` each time the event loop comes round while the upload blocks.
  void WhileUploading(std::function<bool()> fn) {
    auto* t = new QTimer(&form);
    t->setInterval(5);
    QObject::connect(t, &QTimer::timeout, t, [t, fn] {
      if (fn()) t->deleteLater();
    });
    t->start();
  }

  TQtExecutor executor{qApp};
  std::unique_ptr<sim::SimServer> server;
  std::unique_ptr<TCommInterface> comm;
  TFormOsci form;
  std::vector<std::string> mainSink;
  int stops = 0, runs = 0, confirmations = 0;
};

}  // namespace

TEST_F(UploadWindowTest, CurvesEqualTheRecorderThroughDropsAndCorruptFramesAndTheBufferStartsEmpty) {
  sim::FaultRates f;
  f.drop = 0.05;
  f.corrupt = 0.05;
  f.seed = 5;
  Start(f);
  bool modal = false;
  WhileUploading([&] {
    if (!form.UploadWindow()->isVisible()) return false;
    modal = form.UploadWindow()->isModal() && form.UploadWindow()->windowModality() == Qt::ApplicationModal;
    return true;
  });
  form.ButtonUploadClick();
  EXPECT_TRUE(modal) << "\"&Laden\" cannot be pressed again meanwhile";
  ExpectRecorder(0);
  EXPECT_EQ(form.windowTitle(), "Oszillogramm [Recorder 0]");
  EXPECT_EQ(form.Data().iUploadRecorder, 0);
  EXPECT_DOUBLE_EQ(form.Chart()->Curve(9)[17], sim::recorderSample(0, 9, 17));
  EXPECT_TRUE(form.UploadWindow()->PanelStatus->text().startsWith(" Upload fertig: 5120 Bytes ["));
  EXPECT_FALSE(form.UploadWindow()->isVisible());
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(comm->Priority(), tpLowest);

  // Recorder 3 has two channels: the others must not keep recorder 0's values.
  form.ComboBoxRecorder->setCurrentIndex(3);
  form.ButtonUploadClick();
  ExpectRecorder(3);
  EXPECT_EQ(form.windowTitle(), "Oszillogramm [Recorder 3]");
}

TEST_F(UploadWindowTest, CancellingARunningUploadAsksAndKeepsTheData) {
  Start();
  server->drive().setUploadSource(1, [](sim::VirtualDrive&, const TTelegram&, TTelegram& a) { a.ttType = ttNone; });
  const auto before = form.Data().iaRecorderData;
  form.ComboBoxRecorder->setCurrentIndex(1);
  WhileUploading([&] {
    if (!form.UploadWindow()->isVisible()) return false;
    form.UploadWindow()->ButtonCancel->click();
    return true;
  });
  form.ButtonUploadClick();
  EXPECT_EQ(confirmations, 1);
  EXPECT_EQ(form.UploadWindow()->PanelStatus->text(), " Upload abgebrochen");
  EXPECT_EQ(form.Data().iaRecorderData, before);
  EXPECT_EQ(form.windowTitle(), "Oszillogramm");
}

TEST_F(UploadWindowTest, AfterARefusalClosingTheWindowEndsTheUploadWithoutAsking) {
  Start();
  server->drive().setHandler(kCmdUploadStart, [](sim::VirtualDrive&, const TTelegram&, TTelegram& a) {
    a.ttType = ttNak;
  });
  QString error;
  WhileUploading([&] {
    gui::TRecorderUpload* w = form.UploadWindow();
    if (!w->isVisible() || !w->Upload() || !w->Upload()->boCanClose || !w->Upload()->boErrors) return false;
    error = w->PanelError->text();
    w->close();
    return true;
  });
  form.ButtonUploadClick();
  EXPECT_EQ(confirmations, 0);
  EXPECT_TRUE(error.contains(QString::fromUtf8(" Nicht unterst\u00fctztes Kommando 5"))) << error.toStdString();
  EXPECT_FALSE(form.UploadWindow()->isVisible());
  EXPECT_EQ(runs, 1);
}

TEST_F(UploadWindowTest, TheProgramEndingMidUploadDoesNotHang) {
  Start();
  server->drive().setUploadSource(2, [](sim::VirtualDrive&, const TTelegram&, TTelegram& a) { a.ttType = ttNone; });
  form.ComboBoxRecorder->setCurrentIndex(2);
  WhileUploading([&] {
    if (!form.UploadWindow()->isVisible()) return false;
    QCoreApplication::exit(0);  // every event loop is told to end
    return true;
  });
  form.ButtonUploadClick();
  EXPECT_EQ(form.windowTitle(), "Oszillogramm");
  EXPECT_EQ(confirmations, 0);
}

TEST_F(UploadWindowTest, WithoutALinkThePortIsNotReady) {
  form.ShowMessage = [](const QString&) {};
  form.ButtonUploadClick();
  EXPECT_EQ(form.UploadWindow()->PanelError->text(), " COM-Schnittstelle nicht bereit!");
}

// --- printing ---------------------------------------------------------------

namespace {

bool HaveTool(const char* tool) {
  return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TEST(OsciPrint, TheCommentKeepsToTheHeaderAndTheCurvesStartBelowIt) {
  TFormOsci form;
  TFormPrnt2& dlg = *form.PrintDialog();
  dlg.MemoComment->setPlainText(QString("Sprungantwort Drehzahlregler ").repeated(40) + QString("x").repeated(300));
  EXPECT_TRUE(dlg.CheckBoxComment->isChecked()) << "typing ticks the comment";
  QImage page(2770, 1900, QImage::Format_RGB32);
  QPainter p(&page);
  dlg.PaintPage(p, 2770, 1900);
  p.end();
  const int chartTop = PageChartOffset() + form.Chart()->iTopMargin;
  EXPECT_GT(chartTop, kPageHeaderBand) << "the band must not erase the top of the curves";
  ASSERT_FALSE(dlg.rLastComment.isNull());
  EXPECT_LT(dlg.rLastComment.bottom(), kPageHeaderBand);
  // The unbroken word got spaces, so the renderer can wrap it.
  EXPECT_NE(dlg.sLastComment.indexOf("x x"), -1);
  // The highest curve point lies below the header band.
  int top = 1 << 30;
  for (int c = 0; c < kOscChannels; ++c)
    for (const QPoint& pt : form.Chart()->aLastPolyline[size_t(c)]) top = std::min(top, pt.y());
  EXPECT_GT(top + PageChartOffset(), kPageHeaderBand);
}

TEST(OsciPrint, APrinterThatCannotStartIsReported) {
  TFormOsci form;
  TFormPrnt2& dlg = *form.PrintDialog();
  QStringList shown;
  dlg.ShowMessage = [&](const QString& s) { shown << s; };
  dlg.Printer().setOutputFormat(QPrinter::PdfFormat);
  dlg.Printer().setOutputFileName("/nonexistent/folder/page.pdf");
  dlg.ButtonOKClick();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].startsWith("Drucken nicht m"));
}

TEST(OsciPrint, PrintToPdfMakesOneLandscapePageAndRefusesADamagedFile) {
  test::TempDir dir("zeb7print");
  TOscillData d;
  for (int c = 0; c < kOscChannels; ++c)
    for (int p = 0; p < kOscPoints; ++p) d.iaRecorderData[size_t(c)][size_t(p)] = sim::recorderSample(0, c, p);
  std::string err;
  ASSERT_TRUE(SaveOscillogram(dir.File("rec.rcg"), d, err)) << err;
  const std::string zeb7 = std::string(ZEB7_BINARY_DIR) + "/gui/zeb7";
  const std::string pdf = dir.File("out.pdf");
  auto r = test::RunProgram("env -u DISPLAY " + zeb7, "--print-to-pdf " + pdf + " " + dir.File("rec.rcg"));
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string bytes = test::ReadFile(pdf);
  ASSERT_EQ(bytes.rfind("%PDF", 0), 0u);

  const std::string cut = dir.Write("cut.rcg", test::ReadFile(dir.File("rec.rcg")).substr(0, 100));
  auto bad = test::RunProgram(zeb7, "--print-to-pdf " + dir.File("bad.pdf") + " " + cut);
  EXPECT_EQ(bad.rc, 2);
  EXPECT_FALSE(bad.err.empty());
  auto usage = test::RunProgram(zeb7, "--print-to-pdf " + pdf);
  EXPECT_EQ(usage.rc, 2);

  if (!HaveTool("pdfinfo")) GTEST_SKIP() << "pdfinfo (poppler-utils) not installed";
  auto info = test::RunProgram("pdfinfo", pdf);
  ASSERT_EQ(info.rc, 0) << info.err;
  EXPECT_NE(info.out.find("Pages:           1\n"), std::string::npos) << info.out;
  double w = 0, h = 0;
  const auto at = info.out.find("Page size:");
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(std::sscanf(info.out.c_str() + at, "Page size: %lf x %lf", &w, &h), 2);
  EXPECT_GT(w, h) << "landscape";
  if (const char* keep = std::getenv("ZEB7_KEEP_PRINTOUT")) std::system(("cp " + pdf + " " + keep).c_str());
}
