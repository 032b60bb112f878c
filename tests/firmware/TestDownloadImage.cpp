#include <gtest/gtest.h>

#include "FirmwareTestUtil.h"
#include "firmware/DownloadImage.h"

namespace zeb7 {
namespace {

using test::Bytes;
using test::IntelData;
using test::TempDir;
using Strings = std::vector<std::string>;

TEST(DownloadImage, PacketsAreCutIntoBlocksOfAtMost64Bytes) {
  TempDir dir;
  std::string text;
  // 200 contiguous bytes at 0x2000 arrive as one packet: blocks of 64, 64, 64 and 8.
  for (int i = 0; i < 200; i += 20) text += IntelData(0x2000 + i, Bytes(20, static_cast<std::uint8_t>(i))) + "\n";
  text += IntelData(0x3000, Bytes(3)) + "\n:00000001FF\n";
  TDownloadImage image;
  test::Messages m;
  int packets = 0;
  ASSERT_TRUE(image.LoadHexFile(dir.Write("a.hex", text), m.Sink(), [&](const THexPacket&) { ++packets; }));
  EXPECT_EQ(packets, 2);
  const auto& blocks = image.DataList();
  ASSERT_EQ(blocks.size(), 5u);
  const std::uint32_t addresses[] = {0x2000, 0x2040, 0x2080, 0x20C0, 0x3000};
  const unsigned lengths[] = {64, 64, 64, 8, 3};
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].uAddress, addresses[i]);
    EXPECT_EQ(blocks[i].bLength, lengths[i]);
  }
  EXPECT_EQ(blocks[3].baData[7], 199);
  EXPECT_EQ(image.uLowerProgAddr(), 0x2000u);
  EXPECT_EQ(image.uUpperProgAddr(), 0x3003u);
  EXPECT_EQ(image.ByteCount(), 203u);
  EXPECT_TRUE(m.lines.empty());
}

TEST(DownloadImage, FailuresLogTheReasonAndLeaveNoBlocks) {
  TempDir dir;
  TDownloadImage image;
  test::Messages m;
  const auto good = dir.Write("good.hex", IntelData(0, Bytes(4)) + "\n:00000001FF\n");
  ASSERT_TRUE(image.LoadHexFile(good, m.Sink()));
  ASSERT_EQ(image.DataList().size(), 1u);

  const auto truncated = dir.Write("trunc.hex", IntelData(0, Bytes(4)) + "\n");
  EXPECT_FALSE(image.LoadHexFile(truncated, m.Sink()));
  EXPECT_EQ(m.lines, (Strings{"End record is missing!", "Error reading Hex file " + truncated + "!"}));
  EXPECT_TRUE(image.DataList().empty());
  EXPECT_EQ(image.uLowerProgAddr(), 0x7FFFFFFFu);
  EXPECT_EQ(image.uUpperProgAddr(), 0u);

  m.lines.clear();
  const auto text = dir.Write("notes.txt", "hello\n");
  EXPECT_FALSE(image.LoadHexFile(text, m.Sink()));
  EXPECT_EQ(m.lines, (Strings{"Invalid file format!", "File " + text + " does not contain Hex data!"}));

  m.lines.clear();
  EXPECT_FALSE(image.LoadHexFile(dir.File("none.hex"), m.Sink()));
  EXPECT_EQ(m.lines, Strings{"File " + dir.File("none.hex") + " not found!"});
}

TEST(DownloadImage, EmptyImageAndImagesAboveTwoGigabytes) {
  TempDir dir;
  TDownloadImage image;
  ASSERT_TRUE(image.LoadHexFile(dir.Write("empty.hex", ":00000001FF\n"), {}));
  EXPECT_TRUE(image.DataList().empty());
  EXPECT_EQ(image.uLowerProgAddr(), 0x7FFFFFFFu);
  // The lower bound is the true first address, not the initial 0x7FFFFFFF.
  ASSERT_TRUE(image.LoadHexFile(dir.Write("high.s3", "S00600004844521B\n" + test::S3Data(0x90000000, Bytes(70)) +
                                                          "\nS70500000000FA\n"),
                                {}));
  EXPECT_EQ(image.uLowerProgAddr(), 0x90000000u);
  EXPECT_EQ(image.uUpperProgAddr(), 0x90000046u);
}

TEST(AddrToHex, DotsEveryFourDigits) {
  EXPECT_EQ(AddrToHex(0x12000, 6), "01.2000");
  EXPECT_EQ(AddrToHex(0x0800ABCD, 8), "0800.ABCD");
  EXPECT_EQ(AddrToHex(0xFFFFFFFF, 9), "0.FFFF.FFFF");
  EXPECT_EQ(AddrToHex(0x1234, 3), "234");
  EXPECT_EQ(AddrToHex(0xABC, 4), "0ABC");
  EXPECT_EQ(AddrToHex(0x12345, 5), "1.2345");
  EXPECT_EQ(AddrToHex(5, 0), "");
}

}  // namespace
}  // namespace zeb7
