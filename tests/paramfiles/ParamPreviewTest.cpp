// Preview rows: value formats, group paths, ordering, drive comparison, exports.
#include <gtest/gtest.h>

#include "ParamTestModel.h"
#include "paramfiles/ParamFile.h"
#include "paramfiles/ParamPreview.h"

using namespace zeb7;
using zeb7::test::ModelBuilder;

TEST(PreviewFormats, CheckLedListAndBitList) {
  EXPECT_EQ(CheckFormat("Motor on", "1"), "Motor on = YES");
  EXPECT_EQ(CheckFormat("Motor on", "7"), "Motor on = YES");
  EXPECT_EQ(CheckFormat("Motor on", "0"), "Motor on = NO");
  EXPECT_EQ(CheckFormat("Motor on", "x"), "Unknown (x)");
  EXPECT_EQ(LedFormat("G|Ready", "0"), "Ready = NO");
  EXPECT_EQ(ListFormat("A|B|C", "1", 0), "B");
  EXPECT_EQ(ListFormat("A|B|C", "3", 0), "Unknown (3)");
  EXPECT_EQ(ListFormat("A|B|C", "-1", 0), "???");
  EXPECT_EQ(ListFormat("A|B|C", "zz", 0), "Unknown (999)");
  EXPECT_EQ(ListFormat("G|Off|On", "1", 1), "On");
  EXPECT_EQ(ListFormat("G|Off|On", "2", 1), "Unknown (2)");
  EXPECT_EQ(BitListFormat("C|Run|Err", "1"), " Run=ON | Err=off");
  EXPECT_EQ(BitListFormat("C|Run|Err", "4"), "Unknown (1)");
  EXPECT_EQ(BitListFormat("C|Run|Err", "3"), " Run=ON | Err=ON");
}

TEST(PreviewFormats, NumericAndHexadecimal) {
  EXPECT_EQ(NumericFormat("5|2|0.01|V", "1234", 0), "+12.34  V");
  EXPECT_EQ(NumericFormat("5|2|0.01|V", "5", 0), "+0.05  V");
  EXPECT_EQ(NumericFormat("5|2|0.01|V", "0", 0), "0.00  V");
  EXPECT_EQ(NumericFormat("5|2|1|V", "1234", 0), "+1234.00  V");
  EXPECT_EQ(NumericFormat("-3", "-12", 0), "-12");
  EXPECT_EQ(NumericFormat("3", "-12", 0), "+12");
  EXPECT_EQ(NumericFormat("3", "5000", 0), "+999");
  EXPECT_EQ(NumericFormat("-5|2|0.01|V", "-1234", 0), "-12.34  V");
  EXPECT_EQ(NumericFormat("4x", "65535", 0), "FFFF  HEX");
  EXPECT_EQ(NumericFormat("4x", "65536", 0), "0000  HEX");
  EXPECT_EQ(NumericFormat("8x|0|1|mask", "-1", 0), "FFFFFFFF  HEX  mask");
  // Single precision: the bits of 1.5f (0x3FC00000) times the factor 2.
  EXPECT_EQ(NumericFormat("-5|1|2|", std::to_string(0x3FC00000), -1), "+3.0");
  EXPECT_EQ(NumericFormat("5|2", "1.5", 0), std::nullopt);  // needs an integer
  std::string mp = "P";
  EXPECT_EQ(FormatValue("LEDARRAY", "C|A", "1", 0, &mp), " A=ON");
  EXPECT_EQ(mp, "M");
  EXPECT_EQ(FormatValue("WIN", "", "1", 0), "");
}

TEST(PreviewGroups, PathsThroughParentsAcrossTargetsAndLoopsEnd) {
  ModelBuilder b;
  b.Target(0).Target(1);
  b.Group(0, 0, "CUR", "Current", "UP").Group(0, 1, "UP", "Upper");
  b.Group(0, 2, "SPD", "Speed", "MID").Group(0, 3, "MID", "Middle");  // MID has no parent on target 0 ...
  b.Group(1, 0, "MID", "Middle 1", "UP");                             // ... but on target 1
  b.Group(0, 4, "LOOP", "Loop", "LOOP");
  EXPECT_EQ(GroupPath(b.m.Strings, 0, "cur"), "Upper -> Current");
  EXPECT_EQ(GroupPath(b.m.Strings, 0, "SPD"), "Upper -> Middle -> Speed");
  EXPECT_EQ(GroupPath(b.m.Strings, 0, "unknown"), "unknown");
  const std::string loop = GroupPath(b.m.Strings, 0, "LOOP");  // ends after eleven steps
  EXPECT_EQ(loop.size(), 12 * 4 + 11 * 4u);
}

TEST(ParamPreview, RowsSortedFoundAndComparedWithTheDrive) {
  ModelBuilder b;
  b.Target(0);
  b.Group(0, 0, "MOT", "Motor");
  b.Param(0, 0, "MPOLES", "THUMB", 0, 4, "Pole pairs", "2|0|1|");
  b.Param(0, 1, "BRAKE", "CHECK", 0, 0, "Brake", "Release");
  const std::vector<std::string> lines = {
      "[Parameters]", "0 MOT MPOLES 4",
      "[Parameters_Extended]",
      "0 \"MOT\" MPOLES 6 THUMB \"Pole pairs\" \"2|0|1|\" 0",
      "0 \"MOT\" BRAKE 0 CHECK \"Brake\" \"Release\" 0",
      "0 \"MOT\" TEMP 250 NUMERIC \"\" \"5|1|0.1|C\" 0",
      "0 \"MOT\" BRAKE2 0 CHECK \"Brake\" \"Release\" 0",  // same M/P, group, caption: one row
      "1 \"X\" short",                                      // fewer than eight fields
  };
  TParamPreview pv;
  ASSERT_TRUE(pv.Display(lines, "f.kvtp", &b.m)) << pv.Error();
  ASSERT_EQ(pv.Rows().size(), 3u);
  EXPECT_EQ(pv.Log().front(), "Loading File f.kvtp...");
  EXPECT_EQ(pv.Log().back(), "Done");
  const auto& r = pv.Rows();
  EXPECT_EQ(r[0].Caption, "Brake");  // "P" rows first, then by caption
  EXPECT_EQ(r[0].Value, "Release = NO");
  EXPECT_FALSE(r[0].Differs);
  EXPECT_EQ(r[1].Caption, "Pole pairs");
  EXPECT_EQ(r[1].Found, "YES");
  EXPECT_EQ(r[1].Group, "Motor");
  EXPECT_EQ(r[1].Value, "+6");
  EXPECT_EQ(r[1].DriveValue, "+4");
  EXPECT_TRUE(r[1].Differs);
  EXPECT_EQ(r[2].MP, "M");
  EXPECT_EQ(r[2].Found, "NO");
  EXPECT_EQ(r[2].Caption, "[TEMP]");
  EXPECT_EQ(r[2].Value, "+25.0  C");
  EXPECT_EQ(CsvLine(r[1]), "\"YES\";\"P\";\"Motor\";\"Pole pairs\";\"->  +6\"");
  EXPECT_EQ(CsvLine(HeaderRow()), "\"Found\";\"M/P\";\"Group\";\"Caption\";\"->  Value\"");
  EXPECT_EQ(TxtLine(r[1]), "YES     P Motor       " + std::string(30, ' ') + "Pole pairs -> +6");
  const std::string csv = BuildCsv(r);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")), CsvLine(HeaderRow()));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
}

TEST(ParamPreview, OldFormatUsesTheDriveDescriptorAndStopsAtABadValue) {
  ModelBuilder b;
  b.Target(0);
  b.Group(0, 0, "MOT", "Motor");
  b.Param(0, 0, "MODE", "RADIO", 0, 1, "Mode", "A|B|C");
  TParamPreview pv;
  ASSERT_TRUE(pv.Display({"[Parameters]", "0 MOT MODE 2", "0 MODE 1", "0 MOT GONE 3"}, "old", &b.m));
  EXPECT_TRUE(pv.OldFormat());
  EXPECT_EQ(pv.NotFound(), 1);
  ASSERT_EQ(pv.Rows().size(), 2u);  // the name-only line gives the same row as the first
  EXPECT_EQ(pv.Rows()[0].Value, "[3]");  // "[GONE]" sorts before "Mode"
  EXPECT_EQ(pv.Rows()[1].Value, "C");
  EXPECT_FALSE(pv.Display({"[Parameters]", "0 MOT MODE 2", "0 MOT GONE x"}, "bad", &b.m));
  EXPECT_EQ(pv.Rows().size(), 1u);  // the rows before stay
  EXPECT_NE(pv.Error().find("x"), std::string::npos);
  // Neither section: an empty grid, the two log lines.
  ASSERT_TRUE(pv.Display({"garbage", "\x01\x02"}, "none", nullptr));
  EXPECT_TRUE(pv.Rows().empty());
  EXPECT_EQ(pv.Log().size(), 2u);
}
