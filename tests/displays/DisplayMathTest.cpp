// Field parser, the one rounding rule, the raster and single-precision raw values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "displays/DisplayKinds.h"
#include "displays/DisplayMath.h"
#include "displays/FocusGeometry.h"

namespace zeb7 {
namespace {

constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();

TEST(ControlProperties, FieldsSkipEmptyOnesAndKeepQuotedBars) {
  EXPECT_EQ(ExtractInteger("5|2|0.1|rpm", 0, 0), 5);
  EXPECT_EQ(ExtractInteger("5|2|0.1|rpm", 1, 0), 2);
  EXPECT_DOUBLE_EQ(ExtractFloat("5|2|0.1|rpm", 2, 0), 0.1);
  EXPECT_EQ(ExtractString("5|2|0.1|rpm", 3, ""), "rpm");
  EXPECT_DOUBLE_EQ(ExtractFloat("5||0.1", 1, 7), 0.1);  // the empty field does not count
  EXPECT_EQ(ExtractString("  a |\r\n b", 0, "?"), "a ");  // leading blanks go, trailing stay
  EXPECT_EQ(ExtractString("  a |\r\n b", 1, "?"), "b");
  EXPECT_EQ(ExtractString("'x|y'|z", 0, "?"), "'x|y'");
  EXPECT_EQ(ExtractString("\"x|y\"|z", 1, "?"), "z");
  EXPECT_EQ(ExtractString("a", 5, "def"), "def");
  EXPECT_EQ(CountFields("a||b|"), 2);
}

TEST(ControlProperties, IntegersStopAtTheFirstOtherCharacterAndFloatsNeedAllOfTheField) {
  EXPECT_EQ(ExtractInteger("12abc", 0, 7), 12);
  EXPECT_EQ(ExtractInteger("abc", 0, 7), 7);
  EXPECT_EQ(ExtractInteger("5", 3, 7), 7);
  EXPECT_EQ(ExtractInteger("+-3", 0, 7), 7);
  EXPECT_EQ(ExtractInteger("-4x", 0, 7), -4);
  EXPECT_EQ(ExtractInteger("99999999999", 0, 7), 7);  // beyond 32 bits
  EXPECT_EQ(ExtractInteger("", 0, 7), 7);
  EXPECT_DOUBLE_EQ(ExtractFloat("1|+2.5 ", 1, 0), 2.5);
  EXPECT_DOUBLE_EQ(ExtractFloat("1|2,5", 1, 9), 9);  // "." is the only separator
  EXPECT_DOUBLE_EQ(ExtractFloat("1|inf", 1, 9), 9);
  EXPECT_DOUBLE_EQ(ExtractFloat("1|1e400", 1, 9), 9);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundI(2.5L), 2);
  EXPECT_EQ(RoundI(3.5L), 4);
  EXPECT_EQ(RoundI(-2.5L), -2);
  EXPECT_EQ(RoundI(-3.5L), -4);
  EXPECT_EQ(RoundI(0.49999L), 0);
  EXPECT_EQ(ExtendedToInt64(-0.5L), 0);
  EXPECT_EQ(ExtendedToInt64(1.5L), 2);
  EXPECT_EQ(RoundC(2.5L), 2.0L);
  EXPECT_EQ(RoundC(-7.5L), -8.0L);
  EXPECT_EQ(ExtendedToInt64(4503599627370497.5L), 4503599627370498);  // beyond double precision
}

TEST(Rounding, OverflowAndNaNAreClampedWithoutUndefinedBehaviour) {
  EXPECT_EQ(ExtendedToInt64(1e30L), kMax64);
  EXPECT_EQ(ExtendedToInt64(-1e30L), kMin64);
  EXPECT_EQ(ExtendedToInt64(9223372036854775808.0L), kMax64);  // 2^63: one past the range
  EXPECT_EQ(ExtendedToInt64(-9223372036854775808.0L), kMin64);  // -2^63 still fits
  EXPECT_EQ(ExtendedToInt64(std::numeric_limits<long double>::infinity()), kMax64);
  EXPECT_EQ(ExtendedToInt64(std::nanl("")), 0);
  EXPECT_EQ(RoundI(1e30L), 2147483647);
  EXPECT_EQ(RoundI(-1e30L), -2147483647);
  EXPECT_EQ(RoundI(std::nanl("")), 0);
  EXPECT_EQ(RoundI(4294967301.0L), 5);  // the low 32 bits of the 64-bit result
  EXPECT_EQ(RoundI(2147483648.0L), -2147483647 - 1);
  EXPECT_EQ(AbsClamped(kMin64), static_cast<uint64_t>(kMax64));
  EXPECT_EQ(AbsClamped(-5), 5u);
}

TEST(Raster, TruncatesTowardZeroAfterTheOptionalRoundUp) {
  EXPECT_EQ(NearestRaster(13, false), 8);
  EXPECT_EQ(NearestRaster(13, true), 16);
  EXPECT_EQ(NearestRaster(-13, false), -8);
  EXPECT_EQ(NearestRaster(-13, true), 0);
  EXPECT_EQ(NearestRaster(16, true), 16);
  EXPECT_EQ(NearestRaster(std::numeric_limits<int32_t>::max(), true), 2147483640);
}

TEST(SinglePrecision, RawValuesCarryTheBitPatternSignExtended) {
  EXPECT_EQ(SingleToRaw(-1.0f), static_cast<int64_t>(0xFFFFFFFFBF800000ULL));
  EXPECT_EQ(SingleToRaw(1.0f), 0x3F800000);
  EXPECT_EQ(RawToSingle(static_cast<int64_t>(0x123456783F800000LL)), 1.0f);  // high bits ignored
  EXPECT_TRUE(std::isinf(ToSingle(1e300L)));
  EXPECT_LT(ToSingle(-1e300L), 0);
  EXPECT_TRUE(std::isnan(ToSingle(std::nanl(""))));
}

TEST(Keywords, ParametersGetSevenClassesAndTheFileKnowsSheetsAndGroupBoxes) {
  EXPECT_EQ(DisplayClassForParameter("numeric"), dcNumeric);
  EXPECT_EQ(DisplayClassForParameter("LEDARRAY"), dcLedArray);
  EXPECT_EQ(DisplayClassForParameter("LED"), dcLed);
  EXPECT_EQ(DisplayClassForParameter("WIN"), dcNone);  // no window is built for it
  EXPECT_EQ(DisplayClassForParameter(""), dcNone);
  EXPECT_EQ(DisplayClassFromControl("WIN"), dcDisplayWin);
  EXPECT_EQ(DisplayClassFromControl("SHEET"), dcSheet);
  EXPECT_EQ(DisplayClassFromControl("numeric"), dcNone);  // the file's keys are exact
  EXPECT_EQ(DisplayClassFromClassName("TTabSheet"), dcSheet);
  EXPECT_EQ(DisplayClassFromClassName("TLedRadioWin"), dcLedRadio);
  EXPECT_EQ(UniqueNameBase(dcNumeric), "NumericDisplayWin");
  EXPECT_STREQ(NewElementCaption(dcThumbWheel), "Thumb Wheel Switch");
  EXPECT_STREQ(LedResourceName(lpGrey), "GRAU24X24");
  // Sheets removed from the middle leave a gap that the next name fills.
  std::set<std::string> sheets = {"ScrollingTabSheet1", "ScrollingTabSheet3"};
  EXPECT_EQ(UniqueComponentName("ScrollingTabSheet", [&](const std::string& n) { return sheets.count(n) > 0; }),
            "ScrollingTabSheet2");
}

TEST(DesignMode, EdgesGrabAndDragsFollowTheRaster) {
  EXPECT_EQ(HitTest(3, 10, 100, 50, false), mvLeft);
  EXPECT_EQ(HitTest(97, 10, 100, 50, false), mvRight);
  EXPECT_EQ(HitTest(50, 2, 100, 50, false), mvTop);
  EXPECT_EQ(HitTest(50, 47, 100, 50, false), mvBottom);
  EXPECT_EQ(HitTest(50, 20, 100, 50, false), mvMove);
  EXPECT_EQ(HitTest(50, 20, 100, 50, true), mvNone);
  EXPECT_EQ(HitTest(150, 20, 100, 50, false), mvNone);

  TFocusDrag d;
  d.SetDesignMode(true);
  TRect r{40, 40, 100, 50};
  d.MouseMove(2, 20, false, r);
  ASSERT_EQ(d.Movement(), mvLeft);
  d.MouseDown(2, 20, r);
  ASSERT_TRUE(d.MouseMove(15, 20, true, r));  // 13 px to the right
  EXPECT_EQ(d.Bounds(), (TRect{48, 40, 92, 50}));
  r = d.Bounds();
  EXPECT_FALSE(d.MouseMove(7, 20, true, r));  // the client origin moved with the edge
  EXPECT_TRUE(d.MouseUp(r));
  // Resizing never goes below the minimum and keeps the opposite edge.
  TRect small = DragBounds(mvLeft, r, r, 200, 0);
  EXPECT_EQ(small.Width, kMinDisplayWidth);
  EXPECT_EQ(small.Left + small.Width, r.Left + r.Width);
  EXPECT_EQ(DragBounds(mvBottom, r, r, 0, -500).Height, kMinDisplayHeight);
  // A press and release without movement is no modification.
  d.MouseDown(50, 20, r);
  EXPECT_FALSE(d.MouseUp(r));
}

}  // namespace
}  // namespace zeb7
