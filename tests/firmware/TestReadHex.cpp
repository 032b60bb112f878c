#include <gtest/gtest.h>

#include "FirmwareTestUtil.h"

namespace zeb7 {
namespace {

using test::Bytes;
using test::IntelData;
using test::ReadAll;
using test::S3Data;
using test::TempDir;
using Strings = std::vector<std::string>;

const std::string kEnd = ":00000001FF";

std::string Lines(const Strings& lines, const char* eol = "\n") {
  std::string s;
  for (const auto& l : lines) s += l + eol;
  return s;
}

std::vector<std::uint8_t> Data(const THexPacket& p) { return {p.baData.begin(), p.baData.begin() + p.bLength}; }

TEST(ReadHexIntel, ExtendedLinearAddressAndCrLfLines) {
  TempDir dir;
  // CR LF line ends must not make every record fail the length rule.
  const auto f = dir.Write("a.hex", Lines({":020000040001F9", IntelData(0x1234, Bytes(16)), kEnd}, "\r\n"));
  const auto r = ReadAll(f);
  ASSERT_EQ(r.last, hrEndOfData);
  ASSERT_EQ(r.packets.size(), 1u);
  EXPECT_EQ(r.packets[0].uAddress, 0x11234u);
  EXPECT_EQ(Data(r.packets[0]), Bytes(16));
  EXPECT_TRUE(r.messages.empty());
}

TEST(ReadHexIntel, ExtendedSegmentAddressCountsParagraphs) {
  TempDir dir;
  const auto f = dir.Write("a.hex", Lines({":020000021200EA", IntelData(0x0010, {0xAA, 0xBB}), kEnd}));
  const auto r = ReadAll(f);
  ASSERT_EQ(r.last, hrEndOfData);
  ASSERT_EQ(r.packets.size(), 1u);
  EXPECT_EQ(r.packets[0].uAddress, 0x12010u);
}

TEST(ReadHexIntel, PacketsFillTo240AndCarryAnOddByte) {
  TempDir dir;
  {
    const auto f = dir.Write("even.hex", Lines({IntelData(0x0000, Bytes(100)), IntelData(0x0064, Bytes(100, 100)),
                                                IntelData(0x00C8, Bytes(41, 200)), kEnd}));
    const auto r = ReadAll(f);
    ASSERT_EQ(r.last, hrEndOfData);
    ASSERT_EQ(r.packets.size(), 2u);
    EXPECT_EQ(r.packets[0].bLength, 200);
    EXPECT_EQ(r.packets[1].uAddress, 200u);
    EXPECT_EQ(Data(r.packets[1]), Bytes(41, 200));
  }
  {
    const auto f = dir.Write("odd.hex", Lines({IntelData(0x0000, Bytes(101)), IntelData(0x0065, Bytes(100, 101)),
                                               IntelData(0x00C9, Bytes(41, 201)), kEnd}));
    const auto r = ReadAll(f);
    ASSERT_EQ(r.last, hrEndOfData);
    ASSERT_EQ(r.packets.size(), 2u);
    EXPECT_EQ(r.packets[0].bLength, 200);  // the 201st byte moved to the next packet
    EXPECT_EQ(Data(r.packets[0]), Bytes(200));
    EXPECT_EQ(r.packets[1].uAddress, 200u);
    EXPECT_EQ(Data(r.packets[1]), Bytes(42, 200));
  }
}

TEST(ReadHexIntel, GapsSplitPacketsAndTheEndRecordFollowsTheLastPacket) {
  TempDir dir;
  const auto f = dir.Write("gap.hex", Lines({IntelData(0x0000, Bytes(4)), IntelData(0x0005, Bytes(3, 9)),
                                             ":0000000301", ":0000000500", kEnd}));
  const auto r = ReadAll(f);
  ASSERT_EQ(r.last, hrEndOfData);
  ASSERT_EQ(r.packets.size(), 2u);
  EXPECT_EQ(r.packets[0].bLength, 4);
  EXPECT_EQ(r.packets[1].uAddress, 5u);
  EXPECT_EQ(Data(r.packets[1]), Bytes(3, 9));
}

TEST(ReadHexIntel, LowerCaseDigitsAndBlankLinesAreAccepted) {
  TempDir dir;
  std::string rec = IntelData(0xABCD, {0xDE, 0xAD});
  for (char& c : rec) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto f = dir.Write("lc.hex", Lines({rec, "", "\r", kEnd}));
  const auto r = ReadAll(f);
  ASSERT_EQ(r.last, hrEndOfData);
  ASSERT_EQ(r.packets.size(), 1u);
  EXPECT_EQ(r.packets[0].uAddress, 0xABCDu);
  EXPECT_EQ(Data(r.packets[0]), (std::vector<std::uint8_t>{0xDE, 0xAD}));
}

struct BrokenCase {
  const char* name;
  Strings lines;
  THexResult result;
  std::string message;
};

TEST(ReadHexIntel, BrokenFilesGiveTheirMessageAndResult) {
  const std::string good = IntelData(0x0000, Bytes(8));
  std::string badSum = IntelData(0x0008, Bytes(8));
  badSum.back() = badSum.back() == '0' ? '1' : '0';
  std::string badByte = IntelData(0x0008, Bytes(8));
  badByte[11] = 'G';
  const std::vector<BrokenCase> cases = {
      {"missing end record", {good, IntelData(8, Bytes(8))}, hrEndRecordMissing, "End record is missing!"},
      {"lower-case end record", {good, ":00000001ff"}, hrFormatError, "Line 1: Wrong record type!"},
      {"end record with a blank", {good, ":00000001FF "}, hrFormatError, "Line 1: Wrong record type!"},
      {"bad checksum", {good, badSum, kEnd}, hrChecksumError, "Line 1: Wrong checksum!"},
      {"bad data byte", {good, badByte, kEnd}, hrFormatError, "Line 1: Wrong data byte!"},
      {"bad extended checksum", {":020000040001F8", good, kEnd}, hrChecksumError, "Line 0: Wrong checksum!"},
      {"short extended record", {":02000004", kEnd}, hrFormatError, "Line 0: Wrong Header!"},
      {"garbage line", {good, "", "hello", kEnd}, hrFormatError, "Line 2: Wrong Header!"},
      {"record type 6", {":0000000600", kEnd}, hrFormatError, "Line 0: Wrong record type!"},
      {"123-byte record", {IntelData(0, Bytes(123)), kEnd}, hrFormatError,
       "Line 0: Length declaration 123 does not match actual length!"},
      {"record shorter than declared", {good.substr(0, good.size() - 2), kEnd}, hrFormatError,
       "Line 0: Length declaration 8 does not match actual length!"},
      {"declared length 241", {":F1000000" + std::string(2 * 241 + 2, '0'), kEnd}, hrFormatError,
       "Line 0: Invalid length declaration 241!"},
      {"negative length", {":-10000000", kEnd}, hrFormatError, "Line 0: Invalid length declaration -1!"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = ReadAll(dir.Write("broken.hex", Lines(c.lines)));
    EXPECT_EQ(r.last, c.result);
    EXPECT_EQ(r.messages, Strings{c.message});
  }
}

TEST(ReadHexIntel, AFailedReadDropsTheGatheredBytesAndClosesTheFile) {
  TempDir dir;
  const auto f = dir.Write("a.hex", Lines({IntelData(0, Bytes(16)), IntelData(16, Bytes(16))}));
  THexReader reader;
  test::Messages m;
  ASSERT_TRUE(reader.OpenHexFile(f, m.Sink()));
  THexPacket p;
  EXPECT_EQ(reader.ReadHexPacket(p, m.Sink()), hrEndRecordMissing);
  EXPECT_EQ(p.bLength, 0);
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.ReadHexPacket(p, m.Sink()), hrNotOpen);
  EXPECT_EQ(m.lines, Strings{"End record is missing!"});
}

TEST(ReadHexIntel, ReopeningResetsAddressAndLineCounter) {
  TempDir dir;
  const auto first = dir.Write("a.hex", Lines({":020000040001F9", "", "", IntelData(0, {1}), kEnd}));
  const auto second = dir.Write("b.hex", Lines({IntelData(0x10, {1}), IntelData(0x20, {2}), "bad"}));
  THexReader reader;
  test::Messages m;
  THexPacket p;
  ASSERT_TRUE(reader.OpenHexFile(first, m.Sink()));
  ASSERT_EQ(reader.ReadHexPacket(p, m.Sink()), hrPacket);
  EXPECT_EQ(p.uAddress, 0x10000u);
  for (int round = 0; round < 2; ++round) {  // opened again before the end, then after a failure
    ASSERT_TRUE(reader.OpenHexFile(second, m.Sink()));
    ASSERT_EQ(reader.ReadHexPacket(p, m.Sink()), hrPacket);
    EXPECT_EQ(p.uAddress, 0x10u);
    EXPECT_EQ(reader.ReadHexPacket(p, m.Sink()), hrFormatError);
  }
  EXPECT_EQ(m.lines, (Strings{"Line 2: Wrong Header!", "Line 2: Wrong Header!"}));
}

TEST(ReadHexOpen, FirstLineDecidesTheFormat) {
  TempDir dir;
  THexReader reader;
  for (const auto& [content, message] : std::vector<std::pair<std::string, std::string>>{
           {"garbage\n:00000001FF\n", "Invalid file format!"},
           {"", "Invalid file format!"},
           {"\n:00000001FF\n", "Invalid file format!"},
           {S3Data(0, {1}) + "\nS70500000000FA\n", "Invalid file format!"},
           {"S1130000000102030405060708090A0B0C0D0E0F74\n", "Invalid file format!"}}) {
    SCOPED_TRACE(content);
    test::Messages m;
    EXPECT_FALSE(reader.OpenHexFile(dir.Write("x.hex", content), m.Sink()));
    EXPECT_EQ(m.lines, Strings{message});
    THexPacket p;
    EXPECT_EQ(reader.ReadHexPacket(p, m.Sink()), hrNotOpen);
  }
  test::Messages m;
  EXPECT_FALSE(reader.OpenHexFile(dir.File(""), m.Sink()));  // the directory itself
  EXPECT_EQ(m.lines, Strings{"Error reading file " + dir.File("") + "!"});
  m.lines.clear();
  EXPECT_TRUE(reader.OpenHexFile(dir.File("missing.hex"), m.Sink()));
  THexPacket p;
  EXPECT_EQ(reader.ReadHexPacket(p, m.Sink()), hrNotOpen);
  EXPECT_TRUE(m.lines.empty());
}

TEST(ReadHexIntel, OverlongLineIsCutAfterTheCarriageReturnIsRemoved) {
  TempDir dir;
  // 122 data bytes give exactly 255 characters; with CR LF the line must still fit.
  const auto f = dir.Write("a.hex", Lines({IntelData(0, Bytes(122)), kEnd}, "\r\n"));
  const auto r = ReadAll(f);
  ASSERT_EQ(r.last, hrEndOfData);
  ASSERT_EQ(r.packets.size(), 1u);
  EXPECT_EQ(Data(r.packets[0]), Bytes(122));
}

TEST(ReadHexSRecord, DataRecordsMergeWithoutCarriedByte) {
  TempDir dir;
  const auto f = dir.Write(
      "a.s3", Lines({"S00600004844521B", S3Data(0x0800FFF0, Bytes(101)), S3Data(0x08010055, Bytes(100, 101)),
                     S3Data(0x080100B9, Bytes(41, 201)), S3Data(0x08020000, {7}), "S70508000000F2"}, "\r\n"));
  const auto r = ReadAll(f);
  ASSERT_EQ(r.last, hrEndOfData);
  ASSERT_EQ(r.packets.size(), 3u);
  EXPECT_EQ(r.packets[0].uAddress, 0x0800FFF0u);
  EXPECT_EQ(Data(r.packets[0]), Bytes(201));
  EXPECT_EQ(r.packets[1].uAddress, 0x0800FFF0u + 201);
  EXPECT_EQ(Data(r.packets[1]), Bytes(41, 201));
  EXPECT_EQ(r.packets[2].uAddress, 0x08020000u);
}

TEST(ReadHexSRecord, BrokenFilesGiveTheirMessageAndResult) {
  const std::string s0 = "S00600004844521B";
  const std::string good = S3Data(0x1000, Bytes(8));
  std::string badSum = S3Data(0x1008, Bytes(8));
  badSum.back() = badSum.back() == '0' ? '1' : '0';
  const std::vector<BrokenCase> cases = {
      {"S1 after S0", {s0, "S1130000000102030405060708090A0B0C0D0E0F74", "S9030000FC"}, hrFormatError,
       "Line 1: Wrong record type S1!"},
      {"S9 end", {s0, good, "S9030000FC"}, hrFormatError, "Line 2: Wrong record type S9!"},
      {"second S0", {s0, good, s0}, hrFormatError, "Line 2: Wrong record type S0!"},
      {"missing S7", {s0, good}, hrEndRecordMissing, "End record missing!"},
      {"bad checksum", {s0, good, "", badSum, "S70500000000FA"}, hrChecksumError, "Line 3: Wrong checksum!"},
      {"lower-case s", {s0, "s3" + good.substr(2)}, hrFormatError, "Line 1: Wrong header!"},
      {"record too long for the line", {s0, S3Data(0, Bytes(126)), "S70500000000FA"}, hrFormatError,
       "Line 1: Length declaration 131 does not match actual length!"},
      {"count below the address", {s0, "S30400001000EB", "S70500000000FA"}, hrFormatError,
       "Line 1: Invalid length declaration 4!"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = ReadAll(dir.Write("broken.s3", Lines(c.lines)));
    EXPECT_EQ(r.last, c.result);
    EXPECT_EQ(r.messages, Strings{c.message});
  }
}

}  // namespace
}  // namespace zeb7
