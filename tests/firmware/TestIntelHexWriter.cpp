#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "FirmwareTestUtil.h"
#include "firmware/DownloadImage.h"
#include "firmware/IntelHexWriter.h"

namespace zeb7 {
namespace {

using Strings = std::vector<std::string>;

TPacket Block(std::uint32_t address, std::uint8_t first = 0, bool initialized = true) {
  TPacket p;
  p.iAddr = static_cast<std::int32_t>(address);
  p.Initialized = initialized;
  for (int i = 0; i < 64; ++i) p.baData[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(first + i);
  return p;
}

TPacket Erased(std::uint32_t address) {
  TPacket p = Block(address);
  p.baData.fill(0xFF);
  return p;
}

Strings Records(const std::string& text) {
  Strings out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto eol = text.find("\r\n", pos);
    EXPECT_NE(eol, std::string::npos) << "every line ends in CR LF";
    if (eol == std::string::npos) break;
    out.push_back(text.substr(pos, eol - pos));
    pos = eol + 2;
  }
  return out;
}

struct Written {
  Strings records;
  Strings log;
};

Written Write(const std::vector<TPacket>& blocks) {
  std::ostringstream out;
  test::Messages m;
  EXPECT_TRUE(WriteIntelHex(out, blocks, m.Sink()));
  return {Records(out.str()), m.lines};
}

TEST(IntelHexWriter, ExtendedAddressRecord) {
  EXPECT_EQ(ExtendedLinearAddressRecord(0x10000), ":020000040001F9");
  EXPECT_EQ(ExtendedLinearAddressRecord(0x08001234), ":020000040800F2");
  EXPECT_EQ(ExtendedLinearAddressRecord(0), ":020000040000FA");
}

TEST(IntelHexWriter, CrossingASegmentWritesTheNextExtendedAddress) {
  const auto w = Write({Block(0xFFC0, 0x00), Block(0x10000, 0x40)});
  ASSERT_EQ(w.records.size(), 11u);
  EXPECT_EQ(w.records[0], ":020000040000FA");
  EXPECT_EQ(w.records[1], ":10FFC000000102030405060708090A0B0C0D0E0FB9");
  EXPECT_EQ(w.records[4], ":10FFF000303132333435363738393A3B3C3D3E3F89");
  EXPECT_EQ(w.records[5], ":020000040001F9");
  EXPECT_EQ(w.records[6], ":10000000404142434445464748494A4B4C4D4E4F78");
  EXPECT_EQ(w.records[10], ":00000001FF");
  EXPECT_EQ(w.log, (Strings{"Offset: 0xFFC0)", "128 bytes written", "End Address: 0x10040)"}));
}

TEST(IntelHexWriter, ErasedLinesAreLeftOutExceptTheLast) {
  auto w = Write({Erased(0x1000), Erased(0x1040)});
  EXPECT_EQ(w.records, (Strings{":020000040000FA", ":10107000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF80", ":00000001FF"}));
  TPacket mixed = Erased(0x1000);
  mixed.baData[20] = 0x00;
  w = Write({mixed});
  EXPECT_EQ(w.records, (Strings{":020000040000FA", ":10101000FFFFFFFF00FFFFFFFFFFFFFFFFFFFFFFDF",
                                ":10103000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFC0", ":00000001FF"}));
}

TEST(IntelHexWriter, GapAndMissingBlockEndTheData) {
  auto w = Write({Block(0x1000), Block(0x1080)});
  ASSERT_EQ(w.records.size(), 6u);
  EXPECT_EQ(w.records[4], ":10103000303132333435363738393A3B3C3D3E3F38");  // the line still held is written
  EXPECT_EQ(w.records[5], ":00000001FF");
  EXPECT_EQ(w.log, (Strings{"Offset: 0x1000)", "Address Error!", "0x1080 <> 0x1040", "64 bytes written",
                            "End Address: 0x1040)"}));

  w = Write({Block(0x1000), Block(0x1040, 0, false), Block(0x1080)});
  EXPECT_EQ(w.records.size(), 6u);
  EXPECT_EQ(w.log, (Strings{"Offset: 0x1000)", "Uninitialized data!", "64 bytes written", "End Address: 0x1040)"}));

  w = Write({Block(0x1000, 0, false)});
  EXPECT_EQ(w.records, (Strings{":020000040000FA", ":00100000F0" /* empty line at the base */, ":00000001FF"}));
  w = Write({});
  EXPECT_EQ(w.records, (Strings{":020000040000FA", ":0000000000", ":00000001FF"}));
}

// Reads Intel HEX text back into an address -> byte map.
std::map<std::uint32_t, std::uint8_t> ReadBack(const std::string& text) {
  test::TempDir dir;
  TDownloadImage image;
  test::Messages m;
  EXPECT_TRUE(image.LoadHexFile(dir.Write("back.hex", text), m.Sink())) << testing::PrintToString(m.lines);
  std::map<std::uint32_t, std::uint8_t> bytes;
  for (const auto& b : image.DataList())
    for (unsigned i = 0; i < b.bLength; ++i) bytes[b.uAddress + i] = b.baData[i];
  return bytes;
}

TEST(IntelHexWriter, BlocksNotAlignedTo16NeverWrapInsideASegment) {
  const auto w = Write({Block(0xFFF8, 0), Block(0x10038, 64)});
  EXPECT_EQ(w.records[1], ":08FFF8000001020304050607E5");
  EXPECT_EQ(w.records[2], ":020000040001F9");
  EXPECT_EQ(w.records[3], ":1000000008090A0B0C0D0E0F1011121314151617F8");
  std::ostringstream out;
  ASSERT_TRUE(WriteIntelHex(out, std::vector<TPacket>{Block(0xFFF8, 0), Block(0x10038, 64)}, {}));
  const auto bytes = ReadBack(out.str());
  ASSERT_EQ(bytes.size(), 128u);
  for (std::uint32_t i = 0; i < 128; ++i) EXPECT_EQ(bytes.at(0xFFF8 + i), i) << i;
}

TEST(IntelHexWriter, FileIsReplacedWholeOrNotAtAll) {
  test::TempDir dir;
  test::Messages m;
  const auto name = dir.Write("out.hex", "old contents");
  ASSERT_TRUE(WriteIntelHexFile(name, std::vector<TPacket>{Block(0x20000)}, m.Sink()));
  std::ifstream in(name, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto records = Records(text);
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0], ":020000040002F8");
  const auto bytes = ReadBack(text);
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_EQ(bytes.begin()->first, 0x20000u);
  EXPECT_FALSE(std::filesystem::exists(name + ".part"));

  // A target that cannot be replaced (a directory with contents) or created.
  m.lines.clear();
  const auto blocker = dir.File("blocker");
  std::filesystem::create_directory(blocker);
  dir.Write("blocker/keep", "x");
  EXPECT_FALSE(WriteIntelHexFile(blocker, std::vector<TPacket>{Block(0)}, m.Sink()));
  EXPECT_EQ(m.lines, (Strings{"Offset: 0x0)", "Error writing file"}));
  EXPECT_TRUE(std::filesystem::is_directory(blocker));
  EXPECT_FALSE(std::filesystem::exists(blocker + ".part"));
  m.lines.clear();
  EXPECT_FALSE(WriteIntelHexFile(dir.File("no/such/dir.hex"), std::vector<TPacket>{Block(0)}, m.Sink()));
  EXPECT_EQ(m.lines, (Strings{"Offset: 0x0)", "Error writing file"}));
}

}  // namespace
}  // namespace zeb7
