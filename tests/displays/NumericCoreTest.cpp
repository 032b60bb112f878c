// Cell texts of every number format, raw value conversion and the thumb wheel.
#include <gtest/gtest.h>

#include <limits>
#include <memory>

#include "displays/DisplayMath.h"
#include "displays/NumericCore.h"

namespace zeb7 {
namespace {

std::unique_ptr<TNumericDisplayCore> Numeric(const std::string& props, int32_t typeNr = 0) {
  auto n = std::make_unique<TNumericDisplayCore>();
  n->LocalParam.iTypeNr = typeNr;
  n->SetControlProperties(props);
  return n;
}

TEST(NumericProps, DigitsSignFormatFactorAndUnit) {
  TNumericProps p = ParseNumericProps("-4|2|0.01|A");
  EXPECT_TRUE(p.Signed);
  EXPECT_EQ(p.Format, 2);
  EXPECT_EQ(p.Digits, 6);
  EXPECT_DOUBLE_EQ(p.Factor, 0.01);
  EXPECT_EQ(p.Unit, "A");
  p = ParseNumericProps("4x");
  EXPECT_FALSE(p.Signed);
  EXPECT_EQ(p.Format, kFormatHex);
  EXPECT_EQ(p.Digits, 4);
  EXPECT_EQ(ParseNumericProps("6f|3").Format, kFormatFloat);
  EXPECT_EQ(ParseNumericProps("6f|3").Digits, 6);  // decimals ignored for "f"
  EXPECT_EQ(ParseNumericProps("5|11").Format, 0);
  EXPECT_EQ(ParseNumericProps("").Digits, 5);
  EXPECT_EQ(ParseNumericProps("-2147483648").Digits, 1000);  // |INT32_MIN| without overflow, clamped later
}

TEST(NumericCells, UnsignedShowsTheAbsoluteValueAndClampsToNines) {
  auto np = Numeric("5|0|1|rpm");
  TNumericDisplayCore& n = *np;
  n.SetRawValue(-12);
  EXPECT_EQ(n.ShownText(), "   12");
  EXPECT_FALSE(n.Cells()[5].Visible);
  EXPECT_EQ(n.UnitText(), "rpm");
  n.SetRawValue(123456);
  EXPECT_EQ(n.ShownText(), "99999");
  EXPECT_EQ(n.StoredRawValue(), 99999);  // the raw value follows what is shown
}

TEST(NumericCells, FixedPointWithSignKeepsTheSignAtZero) {
  auto np = Numeric("-5|2|0.01|V");
  TNumericDisplayCore& n = *np;
  ASSERT_EQ(n.Digits(), 7);
  n.SetRawValue(1234);
  EXPECT_EQ(n.ShownText(), "+   12.34");
  EXPECT_DOUBLE_EQ(static_cast<double>(n.Value()), 12.34);
  n.SetRawValue(-5);
  EXPECT_EQ(n.ShownText(), "-    0.05");
  EXPECT_EQ(n.GetRawValue(), -5);
  n.SetRawValue(0);
  EXPECT_EQ(n.ShownText(), "-    0.00");
  // The point takes 5 px left of cell 1; the other cells are 12 px apart.
  EXPECT_EQ(n.Cells()[0].Left - n.Cells()[1].Left, 12);
  EXPECT_EQ(n.Cells()[1].Left - n.Cells()[2].Left, 17);
  EXPECT_EQ(n.Cells()[1].Left - n.DotLeft(), 5);
}

TEST(NumericCells, DigitCountIsRaisedToTheFormatsMinimumAndLoweredToTwelve) {
  auto np = Numeric("-2|2");
  TNumericDisplayCore& n = *np;
  n.SetDigits(1);
  EXPECT_EQ(n.Digits(), 4);
  n.SetDigits(20);
  EXPECT_EQ(n.Digits(), 12);
  EXPECT_EQ(n.Cells().size(), 13u);
  n.SetRawValue(999999999999LL);
  EXPECT_EQ(n.ShownText(), "+9999999999.99");
}

TEST(NumericCells, HexadecimalShowsTheLowNibblesAndADollar) {
  auto np = Numeric("4x");
  TNumericDisplayCore& n = *np;
  n.SetRawValue(0x1A2F);
  EXPECT_EQ(n.ShownText(), "1A2F");
  EXPECT_EQ(n.Cells()[4].Text, '$');
  EXPECT_EQ(n.UnitText(), "HEX");
  n.SetRawValue(0x12345);
  EXPECT_EQ(n.ShownText(), "2345");
  n.SetRawValue(-1);
  EXPECT_EQ(n.ShownText(), "FFFF");
}

TEST(NumericCells, FloatingPointClampsToNinesAndShowsTheValuesSign) {
  auto np = Numeric("-4f", -1);
  TNumericDisplayCore& n = *np;
  n.SetRawValue(SingleToRaw(-123456.7f));
  EXPECT_EQ(n.ShownText(), "-9999");
  n.SetRawValue(SingleToRaw(12.5f));
  EXPECT_EQ(n.ShownText(), "+  12");  // rounded half to even
  EXPECT_EQ(n.GetRawValue(), SingleToRaw(12.5f));
  n.SetRawValue(SingleToRaw(1e30f));
  EXPECT_EQ(n.ShownText(), "+9999");
}

TEST(RawValue, FactorConvertsBothWaysAndTheSameValueRepaintsOnce) {
  TDisplayCore base;  // the plain base: raw value kept, value derived
  base.SetUmrechnungsfaktor(0.1);
  int before = base.RefreshCount();
  base.SetRawValue(1234);
  base.SetRawValue(1234);
  EXPECT_EQ(base.RefreshCount(), before + 1);
  EXPECT_NEAR(static_cast<double>(base.Value()), 123.4, 1e-12);
  base.SetValue(12.36L);
  EXPECT_EQ(base.StoredRawValue(), 124);
  EXPECT_EQ(base.Value(), 12.36L);  // what was entered, until the drive answers
  EXPECT_EQ(base.FactorThousandths(), 100);
  // Single precision: the value is the float of the low 32 bits times the factor.
  TDisplayCore f;
  f.LocalParam.iTypeNr = -1;
  f.SetRawValue(SingleToRaw(-2.5f));
  EXPECT_EQ(f.Value(), -2.5L);
  EXPECT_EQ(f.GetRawValue(), static_cast<int64_t>(static_cast<int32_t>(0xC0200000u)));
}

TEST(RawValue, NumericDisplayDerivesTheRawValueFromTheValue) {
  auto np = Numeric("-4|1|0.1|V");
  TNumericDisplayCore& n = *np;
  n.SetRawValue(2300);
  EXPECT_EQ(n.ShownText(), "+ 230.0");
  EXPECT_EQ(n.GetRawValue(), 2300);
  n.SetUmrechnungsfaktor(0.5);  // an input display keeps its value
  EXPECT_EQ(n.GetRawValue(), 460);
  EXPECT_EQ(n.ShownText(), "+ 230.0");
}

TEST(ThumbWheel, ClicksWithDecimalsSendTheExactRawValue) {
  TThumbWheelCore t;
  t.SetControlProperties("5|2|0.01");
  t.SetRawValue(1234);
  ASSERT_EQ(t.ShownText(), "   12.34");
  EXPECT_TRUE(t.Click(1));
  EXPECT_EQ(t.GetRawValue(), 1235);
  EXPECT_EQ(t.StoredRawValue(), 1235);
  EXPECT_EQ(t.ShownText(), "   12.35");
  EXPECT_TRUE(t.Click(3));
  EXPECT_EQ(t.GetRawValue(), 1335);
  EXPECT_TRUE(t.Click(-5));
  EXPECT_EQ(t.GetRawValue(), 0);  // below zero stops at zero
}

TEST(ThumbWheel, UnsignedClampsAtAllNinesAndZero) {
  TThumbWheelCore t;
  t.SetControlProperties("3");
  t.SetRawValue(999);
  EXPECT_TRUE(t.Click(1));  // still sent
  EXPECT_EQ(t.GetRawValue(), 999);
  t.SetRawValue(0);
  EXPECT_TRUE(t.Click(-2));
  EXPECT_EQ(t.GetRawValue(), 0);
  EXPECT_FALSE(t.Click(9));  // no such button
}

TEST(ThumbWheel, SignButtonTogglesAndHexMasksTheCarry) {
  TThumbWheelCore t;
  t.SetControlProperties("-3");
  t.SetRawValue(42);
  EXPECT_TRUE(t.Click(0));
  EXPECT_EQ(t.GetRawValue(), -42);
  EXPECT_EQ(t.ShownText(), "- 42");
  TThumbWheelCore h;
  h.SetControlProperties("2x");
  h.SetRawValue(0xFF);
  EXPECT_TRUE(h.Click(1));
  EXPECT_EQ(h.GetRawValue(), 0);
  EXPECT_TRUE(h.Click(-2));
  EXPECT_EQ(h.GetRawValue(), 0);
  EXPECT_TRUE(h.Click(2));
  EXPECT_EQ(h.GetRawValue(), 0x10);
  // Buttons: "+" above and "-" below each cell, tags +-(i + 1), the sign's 0.
  ASSERT_EQ(t.Buttons().size(), 8u);
  EXPECT_EQ(t.Buttons()[0].Tag, 1);
  EXPECT_EQ(t.Buttons()[1].Tag, -1);
  EXPECT_EQ(t.Buttons()[7].Tag, 0);
  EXPECT_EQ(t.Buttons()[0].Left, t.Cells()[0].Left - 1);
}

TEST(ThumbWheel, FloatingPointClickKeepsTheValuesSign) {
  TThumbWheelCore t;
  t.LocalParam.iTypeNr = -1;
  t.SetControlProperties("-4f");
  t.SetRawValue(SingleToRaw(-12.0f));
  EXPECT_TRUE(t.Click(1));
  EXPECT_EQ(t.GetRawValue(), SingleToRaw(-13.0f));
  t.SetRawValue(SingleToRaw(-99999.0f));
  EXPECT_TRUE(t.Click(1));
  EXPECT_EQ(t.GetRawValue(), SingleToRaw(-9999.0f));
}

TEST(ThumbWheel, ExtremeValuesDoNotOverflow) {
  TThumbWheelCore t;
  t.SetControlProperties("-12");
  t.SetValue(-1e300L);
  EXPECT_TRUE(t.Click(12));
  EXPECT_EQ(t.GetRawValue(), -999999999999LL);
  TThumbWheelCore h;
  h.SetControlProperties("12x");
  h.SetRawValue(std::numeric_limits<int64_t>::max());
  EXPECT_TRUE(h.Click(12));
  EXPECT_EQ(h.GetRawValue(), 0xFFFFFFFFFFFFLL);
}

}  // namespace
}  // namespace zeb7
