#include <gtest/gtest.h>

#include "firmware/ChkInput.h"
#include "firmware/Psscanf.h"

namespace zeb7 {
namespace {

TEST(ScanFormatted, HeaderFieldsOfAnIntelRecord) {
  std::int32_t length = -1, address = -1;
  EXPECT_EQ(ScanFormatted(":10abcd", ":%2X%4X", {&length, &address}), 2);
  EXPECT_EQ(length, 16);
  EXPECT_EQ(address, 43981);
}

TEST(ScanFormatted, WidthCountsLeadingBlanksAndSign) {
  std::int32_t a = 0, b = 0;
  EXPECT_EQ(ScanFormatted(" 123", "%2d%d", {&a, &b}), 2);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 23);
  EXPECT_EQ(ScanFormatted("-12", "%2d%d", {&a, &b}), 2);
  EXPECT_EQ(a, -1);
  EXPECT_EQ(b, 2);
  // A sign alone uses the whole width: no digit, the field fails.
  EXPECT_EQ(ScanFormatted("-F", "%1X", {&a}), 0);
  EXPECT_EQ(ScanFormatted("-F", "%2X", {&a}), 1);
  EXPECT_EQ(a, -15);
}

TEST(ScanFormatted, HexFieldTakesNoPrefixAndWraps) {
  std::int32_t a = 0;
  std::string rest;
  EXPECT_EQ(ScanFormatted("0x1F", "%x%s", {&a, &rest}), 2);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(rest, "x1F");
  EXPECT_EQ(ScanFormatted("FFFFFFFF", "%X", {&a}), 1);
  EXPECT_EQ(a, -1);
  EXPECT_EQ(ScanFormatted("123456789", "%x", {&a}), 1);
  EXPECT_EQ(a, 0x23456789);
}

TEST(ScanFormatted, LiteralsSkipAnyRunAndNeverFail) {
  std::int32_t a = 0, b = 0;
  EXPECT_EQ(ScanFormatted("::;;7", ":;%d", {&a}), 1);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(ScanFormatted("7", ":%d", {&a}), 1);  // zero colons are fine too
  EXPECT_EQ(ScanFormatted("1,,2", "%d,%d", {&a, &b}), 2);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(ScanFormatted("1;2", "%d,%d", {&a, &b}), 1);  // ";" is left for %d, which fails
}

TEST(ScanFormatted, DecimalOverflowFailsTheField) {
  std::int32_t a = 0, b = 0;
  EXPECT_EQ(ScanFormatted("2147483647 -2147483648", "%d%d", {&a, &b}), 2);
  EXPECT_EQ(a, INT32_MAX);
  EXPECT_EQ(b, INT32_MIN);
  EXPECT_EQ(ScanFormatted("5 2147483648", "%d%d", {&a, &b}), 1);
  EXPECT_EQ(ScanFormatted("99999999999999999999999", "%d", {&a}), 0);
}

TEST(ScanFormatted, FloatUsesTheDotAndStopsAtOtherCharacters) {
  long double f = 0;
  double d = 0;
  std::int32_t i = 0;
  EXPECT_EQ(ScanFormatted("3.25", "%f", {&f}), 1);
  EXPECT_EQ(f, 3.25L);
  EXPECT_EQ(ScanFormatted(" -.5", "%f", {&d}), 1);
  EXPECT_EQ(d, -0.5);
  std::string rest;
  EXPECT_EQ(ScanFormatted("1e5", "%f%s", {&d, &rest}), 2);  // "e" is not part of the number
  EXPECT_EQ(d, 1.0);
  EXPECT_EQ(rest, "e5");
  EXPECT_EQ(ScanFormatted("1.2.3", "%f", {&d}), 0);
  EXPECT_EQ(ScanFormatted("1,5", "%f", {&d}), 1);
  EXPECT_EQ(d, 1.0);
  EXPECT_EQ(ScanFormatted("12.5", "%d", {&i}), 1);  // %d stops at the dot
  EXPECT_EQ(i, 12);
}

TEST(ScanFormatted, StringRunIgnoresWidthButStoresAtMostWidth) {
  std::string s, t;
  std::int32_t n = 0;
  EXPECT_EQ(ScanFormatted("  abcdef 12", "%3s%d", {&s, &n}), 2);
  EXPECT_EQ(s, "abc");
  EXPECT_EQ(n, 12);
  EXPECT_EQ(ScanFormatted("one\ttwo", "%s%s", {&s, &t}), 2);
  EXPECT_EQ(t, "two");
  EXPECT_EQ(ScanFormatted("one   ", "%s%s", {&s, &t}), 1);  // exhausted input fails %s
  const std::string longRun(300, 'q');
  EXPECT_EQ(ScanFormatted(longRun, "%s", {&s}), 1);
  EXPECT_EQ(s.size(), 255u);
}

TEST(ScanFormatted, SuppressionDestinationsAndBadFormats) {
  std::int32_t a = 0;
  std::string s;
  EXPECT_EQ(ScanFormatted("1 2", "%*d%d", {&a}), 1);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(ScanFormatted("1 2 3", "%d%d%d", {&a}), 1);  // stops when the destinations are used up
  EXPECT_EQ(ScanFormatted("12", "%d", {&s}), 0);         // wrong kind of destination is never written
  EXPECT_EQ(ScanFormatted("12", "%q", {&a}), 0);
  EXPECT_EQ(ScanFormatted("12", "%", {&a}), 0);
  EXPECT_EQ(ScanFormatted("12", "%0d", {&a}), 0);
  EXPECT_EQ(ScanFormatted("", "%d", {&a}), 0);
}

TEST(HexToInt, AcceptedForms) {
  EXPECT_EQ(HexToInt("1f"), 31);
  EXPECT_EQ(HexToInt(" \t0x1F\r\n"), 31);
  EXPECT_EQ(HexToInt("+0x10"), 16);
  EXPECT_EQ(HexToInt("-0x10"), -16);
  EXPECT_EQ(HexToInt("10h"), 16);
  EXPECT_EQ(HexToInt("0x"), 0);
  EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
  EXPECT_EQ(HexToInt("100000001"), 1);
}

TEST(HexToInt, RejectedFormsRaiseWithTheirMessages) {
  for (const char* bad : {"", "  ", "h", "x1", "1x2", "0x0x1", "1h2", "12hh", "1+2", "--1", "1 2", "0g"}) {
    SCOPED_TRACE(bad);
    try {
      HexToInt(bad);
      ADD_FAILURE() << "accepted";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid hex number");
    }
    EXPECT_THROW(HexToInt64(bad), EConvertError);
  }
  try {
    HexToInt64("0x1.0");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "invalid hex number");
  }
}

TEST(ChkInput, SixtyFourBitConverters) {
  EXPECT_EQ(HexToInt64("FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(HexToInt64("7FFFFFFFFFFFFFFF"), INT64_MAX);
  EXPECT_EQ(HexToInt64("10000000000000001"), 1);  // wraps silently
  EXPECT_EQ(BinToInt64("1010b"), 10);
  EXPECT_EQ(BinToInt64(" -101 "), -5);
  EXPECT_EQ(BinToInt64("+1"), 1);
  for (const char* bad : {"102", "b", "b1", "1b1", "-", "0x1"}) {
    SCOPED_TRACE(bad);
    try {
      BinToInt64(bad);
      ADD_FAILURE() << "accepted";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "invalid binary number");
    }
  }
}

TEST(ParseNumber, UserTypedNumbers) {
  struct Case {
    const char* text;
    std::int32_t value;
  };
  for (const Case c : {Case{" 0x7F00 ", 32512}, {"12h", 18}, {"1010b", 10}, {"-10", -10}, {"1bh", 27},
                       {"0x1b", 27}, {"101b", 5}, {"+7", 7}, {"0X1B", 27}, {"FFFFFFFFh", -1},
                       {"4294967295", -1}, {"-2147483648", INT32_MIN}, {"0xFFFFFFFFFFFFFFFF", -1},
                       {"00012", 12}}) {
    SCOPED_TRACE(c.text);
    std::int32_t v = 0;
    EXPECT_TRUE(ParseNumber(c.text, v));
    EXPECT_EQ(v, c.value);
  }
}

TEST(ParseNumber, RefusedTextsLeaveTheValue) {
  for (const char* bad : {"0x01.2000", "", "   ", "1.5", "12a", "0b101", "- 5", "1e3", "b",
                          // more than 32 bits would wrap into a harmless-looking address
                          "0x100000000", "0x1000000FF", "4294967296", "-2147483649",
                          "99999999999999999999", "1FFFFFFFFFFFFFFFFh"}) {
    SCOPED_TRACE(bad);
    std::int32_t v = 4711;
    EXPECT_FALSE(ParseNumber(bad, v));
    EXPECT_EQ(v, 4711);
  }
}

}  // namespace
}  // namespace zeb7
