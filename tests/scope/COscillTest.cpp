#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "scope/COscill.h"

using namespace zeb7;

namespace {
TYRange ScaleOf(std::vector<std::vector<double>> curves) {
  std::vector<std::span<const double>> spans(curves.begin(), curves.end());
  return AutoScale(spans);
}
}  // namespace

TEST(ChartScale, AutoScaleWidensTheSmallerSide) {
  auto check = [](std::vector<std::vector<double>> c, double lo, double hi) {
    const TYRange r = ScaleOf(std::move(c));
    EXPECT_DOUBLE_EQ(r.dMin, lo);
    EXPECT_DOUBLE_EQ(r.dMax, hi);
  };
  check({{-10, 5, 100}}, -20, 100);
  check({{-100, 10}}, -100, 20);
  check({{0, 100}}, 0, 100);
  check({{0, 0, 0}}, -1, 1);
  check({{}, {}}, -1, 1);
  check({{-50, -10}}, -50, 0);            // the range always includes 0
  check({{}, {-10}, {}, {100}}, -20, 100);  // every curve counts, absent ones are skipped
  check({{-10, 0}}, -10, 0);              // a zero side is not widened
  check({{-30, 10}}, -30, 10);            // already wider than a fifth
}

TEST(ChartScale, TickStepUsesTheRoundedLogConstant) {
  double lo = 0, hi = 100;
  auto step = TickStep(lo, hi, 7);
  ASSERT_TRUE(step);
  EXPECT_NEAR(*step, 10, 1e-9);
  step = TickStep(lo, hi, 3);
  ASSERT_TRUE(step);
  EXPECT_NEAR(*step, 20, 1e-9);
  // ln(10) / 2.302585093 is just below 1, so the fractional part is just
  // below 1 as well and picks the multiplier 5.
  step = TickStep(lo, hi, 10);
  ASSERT_TRUE(step);
  EXPECT_NEAR(*step, 5, 1e-9);
  EXPECT_NEAR(OsciLog10(10), 0.9999999999974, 1e-12);

  step = TickStep(lo, hi, 16);  // 6.25: c = 0.796 -> 5
  ASSERT_TRUE(step);
  EXPECT_NEAR(*step, 5, 1e-9);
  double a = -0.3, b = 0.3;
  step = TickStep(a, b, 6);  // 0.1: b is just above -1, c tiny -> 1 x 0.1
  ASSERT_TRUE(step);
  EXPECT_NEAR(*step, 0.1, 1e-12);
}

TEST(ChartScale, TickStepOfANarrowRangeOrNoTicks) {
  double lo = 5, hi = 5.00001;
  auto step = TickStep(lo, hi, 4);
  EXPECT_EQ(lo, -1);
  EXPECT_EQ(hi, 1);
  ASSERT_TRUE(step);
  EXPECT_NEAR(*step, 0.4, 1e-9);  // 2 / 4 = 0.5: c = 0.699 -> 4 x 0.1

  lo = 0, hi = 100;
  EXPECT_FALSE(TickStep(lo, hi, 0));
  EXPECT_FALSE(TickStep(lo, hi, -3));
  EXPECT_EQ(YTickCount(300, 0), 0);
  EXPECT_EQ(YTickCount(300, 11), (300 - 33) / 22);
  EXPECT_EQ(XTickCount(600, 11), 10);
  double n1 = std::nan(""), n2 = 1;
  EXPECT_FALSE(TickStep(n1, n2, 5));
}

TEST(ChartScale, TickLabelsOfTheText) {
  const struct {
    double v;
    const char* s;
  } cases[] = {{0, "0.0"},      {0.05, ".050"},  {0.1, "0.10"},    {5, "5.00"},      {50, "50.0"},
               {500, "500"},    {5000, "5000"},  {50000, "5.0E4"}, {0.005, "5.0E-3"}, {-500, "-500"},
               {-0.01, "-.010"}, {1234.5, "1235"}, {99999, "1.0E5"}, {1e-11, "1.0E-11"}, {1e-12, "0.0"},
               {-5e-13, "0.0"}, {999.4, "999"},  {0.999, "1.00"}};
  for (const auto& c : cases) EXPECT_EQ(TickLabel(c.v), c.s) << c.v;
  EXPECT_EQ(TickLabel(std::numeric_limits<double>::infinity()), "INF");  // log error -> r = 1
}

TEST(ChartScale, FormatFloatRoundsHalvesAwayFromZero) {
  EXPECT_EQ(FormatFloat("0.0", 0.25), "0.3");
  EXPECT_EQ(FormatFloat("0.0", -0.25), "-0.3");
  EXPECT_EQ(FormatFloat("0.00", 0.125), "0.13");
  EXPECT_EQ(FormatFloat("0.0", 0.15), "0.2");  // decimal view, not the binary 0.1499...
  EXPECT_EQ(FormatFloat("00", 2.5), "03");
  EXPECT_EQ(FormatFloat("#00", 9.5), "10");
  EXPECT_EQ(FormatFloat("0.0E-0", 0.00096), "9.6E-4");
  EXPECT_EQ(FormatFloat("0.0E-0", -123456), "-1.2E5");
  EXPECT_EQ(FormatFloat("0.0E+00", 123456), "1.2E+05");
  EXPECT_EQ(FormatFloat(".000", 0.0004), ".000");
  EXPECT_EQ(FormatFloat(".000", -0.0004), ".000");  // no sign on a zero
}

TEST(ChartScale, PixelMapping) {
  // The nearest integer is taken before the margin is added; halves go to even.
  EXPECT_EQ(XToPixel(0.5, 0, 1, 11), 11);
  EXPECT_EQ(XToPixel(1.5, 0, 1, 11), 13);
  EXPECT_EQ(XToPixel(300, 256, 2.5, 66), 66 + 110);
  EXPECT_EQ(YToPixel(0, -20, 2, 400), 360);
  EXPECT_EQ(YToPixel(100, -20, 2, 400), 160);
  EXPECT_EQ(SampleToPixel(3, 0.5, 66), 68);  // 1.5 -> 2
  EXPECT_EQ(SampleToPixel(255, 2.0, 66), 576);
  EXPECT_FALSE(XToPixel(1e300, 0, 1e10, 0));
  EXPECT_FALSE(YToPixel(std::nan(""), 0, 1, 0));
  EXPECT_FALSE(ScaleFactor(500, 0));
  EXPECT_DOUBLE_EQ(*ScaleFactor(500, 250), 2.0);

  const TChartMargins m = ScreenMargins(-11);  // font heights may come negative
  EXPECT_EQ(m.iLeft, 66);
  EXPECT_EQ(m.iTop, 22);
  EXPECT_EQ(PageMargins(40).iTop, 400);
  EXPECT_EQ(YLabelColumn(-5, 5), 0);
  EXPECT_EQ(YLabelColumn(64, 320), 64);
}

TEST(ChartScale, GridIndicesAndModuloLabels) {
  auto k = TickIndexRange(-20, 100, 20);
  ASSERT_TRUE(k);
  EXPECT_EQ(k->first, -1);
  EXPECT_EQ(k->second, 5);
  EXPECT_FALSE(TickIndexRange(0, 1, 0));
  EXPECT_FALSE(TickIndexRange(0, 1e300, 1e-300));

  EXPECT_DOUBLE_EQ(XLabelValue(300, 50, 256), 44);
  EXPECT_DOUBLE_EQ(XLabelValue(300, 50, 0), 300);       // no modulus
  EXPECT_DOUBLE_EQ(XLabelValue(300, 3e6, 256), 300);    // step too coarse for it
}

TEST(ChartScale, CircularStartIndex) {
  EXPECT_EQ(CircularStartIndex(256, 64, 0, 256), 64);  // a quarter of the range
  EXPECT_EQ(CircularStartIndex(256, 0, 0, 256), 0);
  EXPECT_EQ(CircularStartIndex(256, 256 + 64, 0, 256), 64);
  EXPECT_EQ(CircularStartIndex(256, 32, 0, -256), 224);  // negative fraction plus 1
  // A fraction just below zero plus 1 rounds to 1.0; the index must still be a sample.
  EXPECT_EQ(CircularStartIndex(256, 1e-300, 0, -256), 255);
  EXPECT_FALSE(CircularStartIndex(256, 64, 10, 10));
  EXPECT_EQ(CircularStartIndex(0, 64, 0, 256), 0);

  // The drawn order wraps from the last sample to the first.
  const int32_t s = *CircularStartIndex(256, 64, 0, 256);
  EXPECT_EQ((s + 255) % 256, 63);
}
