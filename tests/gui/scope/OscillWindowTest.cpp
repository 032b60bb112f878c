// The chart and the oscillogram window on the offscreen platform: what the
// paint computes, the channel controls, the zoom and the files.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <cmath>
#include <fstream>

#include "TempDir.h"
#include "gui/scope/COscill.h"
#include "gui/scope/FrmOscill.h"

using namespace zeb7;
using namespace zeb7::gui;

namespace {

void PaintNow(TOsci& o) {
  QImage img(o.size(), QImage::Format_RGB32);
  QPainter p(&img);
  o.PaintScreen(p, o.width(), o.height());
}

std::vector<double> Ramp(double lo, double hi, int n = 256) {
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = lo + (hi - lo) * i / (n - 1);
  return v;
}

std::string Slurp(const std::string& f) { return test::ReadFile(f); }

}  // namespace

TEST(OsciChart, AutoScaleAndTicksOfThePaintedChart) {
  TOsci o;
  o.resize(600, 400);
  o.SetXMax(256);
  o.SetCurve(Ramp(-10, 100), 0, false);
  PaintNow(o);
  EXPECT_DOUBLE_EQ(o.dYMin, -20);
  EXPECT_DOUBLE_EQ(o.dYMax, 100);
  // Margins from the 11-pixel font: 66 left, 22 elsewhere.
  EXPECT_EQ(o.iLeftMargin, 66);
  EXPECT_EQ(o.iMaxX, 600 - 22);
  EXPECT_EQ(o.iMaxY, 400 - 22);
  // (400 - 33) / 22 = 16 ticks over 120: 7.5 a tick, so 5; (600 - 22) / 55 = 10 ticks over 256: 20.
  EXPECT_NEAR(o.dYStep, 5, 1e-9);
  EXPECT_NEAR(o.dXStep, 20, 1e-9);
  ASSERT_EQ(o.aLastPolyline[0].size(), 256u);
  EXPECT_EQ(o.aLastPolyline[0].front(), QPoint(66, *YToPixel(-10, -20, o.dYFactor, o.iMaxY)));

  o.SetCurve(Ramp(-100, 10), 0, false);
  PaintNow(o);
  EXPECT_DOUBLE_EQ(o.dYMin, -100);
  EXPECT_DOUBLE_EQ(o.dYMax, 20);
}

TEST(OsciChart, CircularOffsetStartsAtTheQuarterAndWraps) {
  TOsci o;
  o.resize(600, 400);
  o.SetXMax(256);
  o.SetAutoScaling(false);
  o.SetYRange(false, 0, 255);
  o.SetCurve(Ramp(0, 255), 0, false);
  o.SetXCircularOffset(64);
  PaintNow(o);
  const auto& pts = o.aLastPolyline[0];
  ASSERT_EQ(pts.size(), 256u);
  EXPECT_EQ(pts.front().y(), *YToPixel(64, 0, o.dYFactor, o.iMaxY));
  EXPECT_EQ(pts.back().y(), *YToPixel(63, 0, o.dYFactor, o.iMaxY));
  EXPECT_EQ(pts[191].y(), *YToPixel(255, 0, o.dYFactor, o.iMaxY));
  EXPECT_EQ(pts[192].y(), *YToPixel(0, 0, o.dYFactor, o.iMaxY));
}

TEST(OsciChart, AYRangeOfWidthZeroKeepsThePreviousScale) {
  TOsci o;
  o.resize(600, 400);
  o.SetXMax(256);
  o.SetAutoScaling(false);
  o.SetYRange(false, -100, 100);
  o.SetCurve(Ramp(-50, 50), 0, false);
  PaintNow(o);
  const double factor = o.dYFactor;
  const auto before = o.aLastPolyline[0];
  ASSERT_EQ(before.size(), 256u);
  o.SetYRange(false, 0, 0);
  PaintNow(o);
  EXPECT_DOUBLE_EQ(o.dYFactor, factor);
  EXPECT_TRUE(std::isfinite(o.dYFactor));
  EXPECT_EQ(o.aLastPolyline[0], before);
}

class FormOsciTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.ShowMessage = [this](const QString& s) { messages << s; };
    form.resize(900, 560);
  }
  TFormOsci form;
  QStringList messages;
  test::TempDir dir{"zeb7osci"};
};

TEST_F(FormOsciTest, StartUpDataSavesAsTheKnownFileAndAWrongFileChangesNothing) {
  const std::string f = dir.File("start.rcg");
  ASSERT_TRUE(form.SaveTo(QString::fromStdString(f)));
  const std::string bytes = Slurp(f);
  ASSERT_EQ(bytes.size(), 5426u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[5132]), 0xB8);
  EXPECT_EQ(static_cast<uint8_t>(bytes[5133]), 0x22);
  // Sample 1 of channel 1: 1000 + 10.
  EXPECT_EQ(static_cast<uint8_t>(bytes[12 + 512 + 2]) | (static_cast<uint8_t>(bytes[12 + 512 + 3]) << 8), 1010);

  const std::string cut = dir.Write("cut.rcg", bytes.substr(0, 3000));
  std::string damaged = bytes;
  damaged[0] = 0;
  const std::string bad = dir.Write("bad.rcg", damaged);
  const auto samples = form.Data().iaRecorderData;
  form.Chart()->update();
  EXPECT_FALSE(form.LoadFrom(QString::fromStdString(cut)));
  EXPECT_FALSE(form.LoadFrom(QString::fromStdString(bad)));
  EXPECT_FALSE(form.LoadFrom(QString::fromStdString(dir.File("missing.rcg"))));
  EXPECT_EQ(messages.size(), 3);
  EXPECT_EQ(form.Data().iaRecorderData, samples);

  // A good file brings its choices and check boxes along.
  TOscillData d;
  d.iMaxYIndex = 7;  // 1000
  d.aboChecked[4] = false;
  d.iaRecorderData[0][0] = -321;
  std::string err;
  ASSERT_TRUE(SaveOscillogram(dir.File("good.rcg"), d, err)) << err;
  ASSERT_TRUE(form.LoadFrom(QString::fromStdString(dir.File("good.rcg"))));
  EXPECT_EQ(form.ComboBoxMaxY->currentText(), "1000");
  EXPECT_FALSE(form.aCheckBox[4]->isChecked());
  EXPECT_FALSE(form.Chart()->HasCurve(4));
  EXPECT_DOUBLE_EQ(form.Chart()->Curve(0)[0], -321);
  EXPECT_FALSE(form.Chart()->AutoScaling());
}

TEST_F(FormOsciTest, SaveErrorsAreShown) {
  EXPECT_FALSE(form.SaveTo(QString::fromStdString(dir.File("no/such/folder/x.rcg"))));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith("Grafik nicht gespeichert"));
  EXPECT_FALSE(form.ExportCsv(QString::fromStdString(dir.File("no/such/folder/x.csv"))));
  EXPECT_EQ(messages.size(), 2);
}

TEST_F(FormOsciTest, ChannelsStartAsSawtoothAndUncheckingRemovesTheCurve) {
  EXPECT_EQ(form.ComboBoxRecorder->currentIndex(), 0) << "recorder -1 can never be sent";
  ASSERT_TRUE(form.Chart()->HasCurve(3));
  EXPECT_DOUBLE_EQ(form.Chart()->Curve(3)[65], 3000 + 10);
  form.aCheckBox[3]->click();
  EXPECT_FALSE(form.Chart()->HasCurve(3));
  form.aCheckBox[3]->click();
  EXPECT_TRUE(form.Chart()->HasCurve(3));

  const std::string csv = dir.File("shown.csv");
  form.aCheckBox[1]->click();
  ASSERT_TRUE(form.ExportCsv(QString::fromStdString(csv)));
  const std::string text = Slurp(csv);
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "point,Kanal0,Kanal2,Kanal3,Kanal4,Kanal5,Kanal6,Kanal7,Kanal8,Kanal9");
  EXPECT_NE(text.find("\r\n3,30,2030,3030,"), std::string::npos);
}

TEST_F(FormOsciTest, ZoomNeverDividesByAZeroSizeAndAltArrowsScroll) {
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.Chart()->resize(0, 0);
  form.ComboBoxZoomX->setCurrentIndex(1);  // 2 x: from a chart without size
  EXPECT_EQ(form.Chart()->width(), form.ScrollBox1->viewport()->width() * 2);
  form.ComboBoxZoomY->setCurrentIndex(3);  // 10 x
  EXPECT_EQ(form.Chart()->height(), form.ScrollBox1->viewport()->height() * 10);
  QScrollBar* vs = form.ScrollBox1->verticalScrollBar();
  ASSERT_GT(vs->maximum(), 0);
  vs->setValue(0);
  QTest::keyClick(form.ComboBoxZoomY, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(vs->value(), vs->maximum() / 20);
  EXPECT_EQ(form.ComboBoxZoomY->currentIndex(), 3) << "Alt+arrow is consumed, not a combo box step";
  QTest::keyClick(form.ComboBoxZoomY, Qt::Key_Up, Qt::AltModifier);
  EXPECT_EQ(vs->value(), 0);
  form.ComboBoxZoomX->setCurrentIndex(0);
  form.ComboBoxZoomY->setCurrentIndex(0);
  EXPECT_EQ(form.Chart()->size(), form.ScrollBox1->viewport()->size());
}

TEST_F(FormOsciTest, AFixedYRangeSwitchesAutoScalingOff) {
  form.ComboBoxMaxY->setCurrentIndex(5);  // 256
  EXPECT_FALSE(form.Chart()->AutoScaling());
  EXPECT_TRUE(form.ComboBoxMinY->isEnabled());
  EXPECT_DOUBLE_EQ(form.Chart()->dYMin, -256);
  form.ComboBoxMinY->setCurrentIndex(1);  // 0
  EXPECT_DOUBLE_EQ(form.Chart()->dYMin, 0);
  form.ComboBoxMaxY->setCurrentIndex(1);  // 0 .. 0: no scale, but no harm
  form.Chart()->resize(600, 400);
  PaintNow(*form.Chart());
  EXPECT_TRUE(std::isfinite(form.Chart()->dYFactor));
  form.ComboBoxMaxY->setCurrentIndex(0);
  EXPECT_TRUE(form.Chart()->AutoScaling());
  EXPECT_FALSE(form.ComboBoxMinY->isEnabled());
}
