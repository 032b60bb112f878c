// The parameter file: exact bytes written, the [Parameters] reader and the
// matching with the database, SplitFields.
#include <gtest/gtest.h>

#include "ParamTestModel.h"
#include "TempDir.h"
#include "paramfiles/ParamFile.h"

using namespace zeb7;
using zeb7::test::ModelBuilder;

namespace {

void TwoTargets(ModelBuilder& b) {
  b.Target(0).Target(1);
  b.Group(0, 0, "Motor").Group(0, 1, "Speed Loop").Group(1, 0, "IO");
  b.Plate(0, 0, "ZEB7 drive").Plate(0, 3, "Unit A");
  b.Param(0, 0, "MPOLES", "THUMB", 0, 4, "Pole pairs", "2|0|1|");
  b.Param(0, 1, "MTEMP", "NUMERIC", 0, -5, "Motor temperature", "5|1|0.1|\xB0" "C");
  b.Param(0, 2, "KPN", "Radio", 1, 2, "Gain \xE4", "A|B|C", 0, 0x0042);
  b.Param(1, 0, "POS64", "THUMB", 0, int64_t(0x100000005LL), "Position", "12", 0, 7);
  b.Param(1, 1, "NEG", "CHECK", 0, -1, "Brake", "Release brake", -1, 8);
}

}  // namespace

TEST(ParamFileWriter, WritesTypePlatesBothSectionsWithCrLfAndWindows1252) {
  ModelBuilder b;
  TwoTargets(b);
  const std::string file = BuildParameterFile(b.m);
  EXPECT_EQ(file,
            "[TypePlate 0]\r\n"
            "L0 : \"ZEB7 drive\"\r\n"
            "L3 : \"Unit A\"\r\n"
            "[TypePlate 1]\r\n"
            "[Parameters]\r\n"
            "0 Motor MPOLES 4\r\n"
            "0 Speed Loop KPN 2\r\n"
            "1 IO POS64 4294967301\r\n"
            "1 IO NEG -1\r\n"
            "[Parameters_Extended]\r\n"
            "0 \"Motor\" MPOLES 4 THUMB \"Pole pairs\" \"2|0|1|\" 0\r\n"
            "0 \"Motor\" MTEMP -5 NUMERIC \"Motor temperature\" \"5|1|0.1|\xB0" "C\" 0\r\n"
            "0 \"Speed Loop\" KPN 2 RADIO \"Gain \xE4\" \"A|B|C\" 0\r\n"
            "1 \"IO\" POS64 4294967301 THUMB \"Position\" \"12\" 0\r\n"
            "1 \"IO\" NEG -1 CHECK \"Brake\" \"Release brake\" -1\r\n"
            "\r\n");
}

TEST(ParamFileWriter, EmptyDatabaseAndValueForms) {
  ModelBuilder b;
  b.Target(2);
  EXPECT_EQ(BuildParameterFile(b.m), "[TypePlate 2]\r\n[Parameters]\r\n[Parameters_Extended]\r\n\r\n");
  // Values that fit in 32 bits keep their signed form; wider ones are whole.
  EXPECT_EQ(FileValueText(-2147483648LL), "-2147483648");
  EXPECT_EQ(FileValueText(2147483647LL), "2147483647");
  EXPECT_EQ(FileValueText(2147483648LL), "2147483648");
  EXPECT_EQ(FileValueText(-2147483649LL), "-2147483649");
}

TEST(ParamFileWriter, WritesAtomicallyAndReportsAnUnwritableFolder) {
  ModelBuilder b;
  TwoTargets(b);
  zeb7::test::TempDir dir("paramfile");
  std::string error;
  const std::string path = dir.File("drive.kvtp");
  ASSERT_TRUE(WriteParameterFile(b.m, path, error)) << error;
  EXPECT_EQ(zeb7::test::ReadFile(path), BuildParameterFile(b.m));
  EXPECT_FALSE(WriteParameterFile(b.m, dir.File("missing/drive.kvtp"), error));
  EXPECT_NE(error.find("missing/drive.kvtp"), std::string::npos) << error;
}

TEST(ParamFileWriter, OnlyACompleteDatabaseIsSaved) {
  ModelBuilder b;
  TwoTargets(b);
  EXPECT_FALSE(DatabaseComplete(b.m));  // never synchronised
  // The flags are set by a finished update; fake one.
  b.m.ProjectState.SearchParams();
  b.m.ProjectState.BeginDatabaseUpdate();
  b.m.ProjectState.EndDatabaseUpdate();
  ASSERT_TRUE(b.m.ProjectState.fAllParametersRead());
  EXPECT_TRUE(DatabaseComplete(b.m));
  b.m.ParameterList.Find(1, 0)->State = ParamStateAllOK & ~ChecksumOK;  // value never read
  EXPECT_FALSE(DatabaseComplete(b.m));
  b.m.ParameterList.Find(1, 0)->State = ParamStateAllOK;
  b.m.TargetInfo[1].ParamCount = 3;  // the drive has more than the database knows
  EXPECT_FALSE(DatabaseComplete(b.m));
}

TEST(ParamFileReader, OurFileReadsBackIdentically) {
  ModelBuilder b;
  TwoTargets(b);
  const std::vector<std::string> lines = SplitFileLines(BuildParameterFile(b.m));
  EXPECT_EQ(lines.back(), "");  // the empty last line
  std::vector<TParamLine> values;
  std::string error;
  ASSERT_TRUE(ReadParametersSection(lines, values, error)) << error;
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[1].Group, "Speed Loop");
  EXPECT_EQ(values[1].Name, "KPN");
  EXPECT_EQ(values[2].Value, 4294967301LL);
  EXPECT_EQ(values[3].Value, -1);
  const TParamMatch match = MatchParameters(values, b.m.ParameterList);
  EXPECT_EQ(match.Obsolete, 0);
  ASSERT_EQ(match.Settings.size(), 4u);
  for (const auto& s : match.Settings) EXPECT_EQ(s.Value, b.m.ParameterList.Find(s.Key)->i64Value) << s.Label;
  // The extended lines split into their eight fields, umlauts as Latin-1.
  std::vector<std::string> f;
  EXPECT_EQ(SplitFields(lines[12], 8, f), 8);
  EXPECT_EQ(f[1], "Speed Loop");
  EXPECT_EQ(f[5], "Gain \xE4");
}

TEST(ParamFileReader, WindowsFileWithUmlautsAndLongGroupNames) {
  ModelBuilder b;
  b.Target(0);
  const std::string longGroup = "Drehzahlregler \xFC" "ber alles und noch viel mehr Text";  // Latin-1
  b.Group(0, 0, longGroup).Group(0, 1, "Gr\xF6\xDF" "e");
  b.Param(0, 0, "KP", "THUMB", 0, 1);
  b.Param(0, 1, "KI", "THUMB", 1, 2);
  b.Param(0, 2, "KD", "THUMB", 1, 3, "", "", 0, 0);  // no descriptor checksum: obsolete
  const std::string file =
      "[TypePlate 0]\r\nL0 : \"x\"\r\n[Parameters]\r\n"
      "0 Drehzahlregler \xFC" "ber alles und noch viel mehr Text KP 10\r\n"
      "0 Gr\xF6\xDF" "e KD 30\r\n"
      "0 Gr\xF6\xDF" "e KI 20\r\n"
      "0 Gr\xF6\xDF" "e KI 21\r\n"   // second line of a parameter: dropped
      "0 Gone Group NAME 5\r\n"
      "7 NOTARGET 1\r\n"
      "x y z w\r\n"                 // no target: ignored
      "0 short\r\n"                 // too few words: ignored
      "[Parameters_Extended]\r\n0 \"a\" b 1 THUMB \"c\" \"d\" 0\r\n\r\n";
  std::vector<TParamLine> values;
  std::string error;
  ASSERT_TRUE(ReadParametersSection(SplitFileLines(file), values, error)) << error;
  ASSERT_EQ(values.size(), 6u);
  EXPECT_EQ(values[0].Group, longGroup);
  EXPECT_FALSE(values[5].HasGroup);
  const TParamMatch match = MatchParameters(values, b.m.ParameterList);
  ASSERT_EQ(match.Settings.size(), 2u);
  EXPECT_EQ(match.Settings[0].Value, 10);  // key order, not line order
  EXPECT_EQ(match.Settings[1].Value, 20);
  EXPECT_EQ(match.Obsolete, 3);
  EXPECT_EQ(match.ObsoleteMessages[0], "Parameter Gr\xF6\xDF" "e/KD could not be updated (obsolete)");
  EXPECT_EQ(match.ObsoleteMessages[1], "Parameter Gone Group/NAME could not be updated (obsolete)");
  EXPECT_EQ(match.ObsoleteMessages[2], "Parameter NOTARGET could not be updated (obsolete)");
}

TEST(ParamFileReader, NonIntegerValueFailsTheWholeRead) {
  std::vector<TParamLine> values;
  std::string error;
  EXPECT_FALSE(ReadParametersSection({"[Parameters]", "0 G A 1", "0 G B 1.5", "0 G C 3"}, values, error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_NE(error.find("1.5"), std::string::npos) << error;
  EXPECT_FALSE(ReadParametersSection({"[Parameters]", "0 G A 99999999999999999999"}, values, error));
  // No [Parameters] line: nothing read, no error; the section ends at the next "[".
  EXPECT_TRUE(ReadParametersSection({"0 G A 1", "[Other]"}, values, error));
  EXPECT_TRUE(values.empty());
  EXPECT_TRUE(ReadParametersSection({"[Parameters]", "[Next]", "0 G A 1"}, values, error));
  EXPECT_TRUE(values.empty());
  EXPECT_TRUE(ReadParametersSection({}, values, error));
}

TEST(SplitFields, QuotedPlainOpenAndCountLimit) {
  std::vector<std::string> f;
  EXPECT_EQ(SplitFields("0 \"two words\" NAME 5 THUMB \"\" \"a|b\" -1", 8, f), 8);
  EXPECT_EQ(f[1], "two words");
  EXPECT_EQ(f[5], "");
  EXPECT_EQ(f[7], "-1");
  EXPECT_EQ(SplitFields("a b c", 8, f), 3);            // last field open at the end
  EXPECT_EQ(SplitFields("a \"open quote", 8, f), 2);
  EXPECT_EQ(f[1], "open quote");
  EXPECT_EQ(SplitFields("1 2 3 4 5 6 7 8 9 10 11 12", 8, f), 9);  // stops after more than 8
  EXPECT_EQ(SplitFields("", 8, f), 0);
  EXPECT_EQ(SplitFields("   ", 8, f), 0);
  EXPECT_EQ(SplitFields("\"a\"\"b\"", 8, f), 2);        // no escape: two quoted fields
}

TEST(ParamFileLines, LineEndsAndByteOrderMark) {
  EXPECT_EQ(SplitFileLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitFileLines(""), std::vector<std::string>{});
  EXPECT_EQ(SplitFileLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  // With a byte order mark the text is UTF-8.
  EXPECT_EQ(SplitFileLines("\xEF\xBB\xBF\xC3\xA4\r\n"), std::vector<std::string>{"\xE4"});
  EXPECT_EQ(SplitFileLines("\x80"), std::vector<std::string>{"?"});  // the euro sign has no Latin-1 form
}

TEST(ParamFileTypePlate, DifferencesFromTheConnectedDrive) {
  ModelBuilder b;
  TwoTargets(b);
  EXPECT_TRUE(TypePlateDifferences(SplitFileLines(BuildParameterFile(b.m)), b.m).empty());
  const auto d = TypePlateDifferences(
      {"[TypePlate 0]", "L0 : \"ZEB7 drive\"", "L3 : \"Unit B\"", "[TypePlate 4]", "[Parameters]"}, b.m);
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0], "target 0 L3: file \"Unit B\", drive \"Unit A\"");
  EXPECT_EQ(d[1], "target 4 is not present on the drive");
}
