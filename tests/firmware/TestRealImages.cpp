// Images produced by the system compiler and objcopy, read back byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "FirmwareTestUtil.h"
#include "firmware/DownloadImage.h"
#include "firmware/IntelHexWriter.h"

namespace zeb7 {
namespace {

using ByteMap = std::map<std::uint32_t, std::uint8_t>;

constexpr std::size_t kBlobSize = 70000;  // larger than a segment, so every placement crosses 64 KiB

std::uint8_t BlobByte(std::size_t i) { return static_cast<std::uint8_t>((i * 2654435761u) >> 13); }

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    ::pclose(p);
  }
  return out;
}

std::vector<std::uint8_t> Slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ByteMap Load(const std::string& file, TDownloadImage& image) {
  test::Messages m;
  EXPECT_TRUE(image.LoadHexFile(file, m.Sink())) << testing::PrintToString(m.lines);
  ByteMap bytes;
  for (const auto& b : image.DataList())
    for (unsigned i = 0; i < b.bLength; ++i) bytes[b.uAddress + i] = b.baData[i];
  EXPECT_EQ(bytes.size(), image.ByteCount()) << "no address may be delivered twice";
  return bytes;
}

class RealImages : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (Shell("command -v cc") != 0 || Shell("command -v objcopy") != 0 || Shell("command -v nm") != 0) return;
    dir_ = new test::TempDir;
    std::ostringstream src;
    src << "const unsigned char blob[" << kBlobSize << "] = {";
    for (std::size_t i = 0; i < kBlobSize; ++i) src << int(BlobByte(i)) << (i % 32 == 31 ? ",\n" : ",");
    src << "};\nint counter = 42;\n"
           "int sum(int n) { int s = counter; for (int i = 0; i < n; ++i) s += blob[i]; return s; }\n"
           "int main(int argc, char** argv) { (void)argv; return sum(argc); }\n";
    const auto c = dir_->Write("prog.c", src.str());
    program_ = dir_->File("prog");
    if (Shell("cc -O1 -o " + program_ + " " + c) != 0) return;
    blobAddress_ = std::stoul(Capture("nm " + program_ + " | grep ' blob$'").substr(0, 16), nullptr, 16);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (blobAddress_ == 0) GTEST_SKIP() << "no C compiler, objcopy or nm on this machine";
  }

  // Converts the program's loadable data, moved by `offset`, with objcopy and checks the reader's
  // view of it against objcopy's own binary output. Returns the bytes read.
  static ByteMap CheckImage(const std::string& format, std::uint32_t offset) {
    const std::string sections = " -j .text -j .rodata -j .data --change-addresses " + std::to_string(offset) + " ";
    const std::string image = dir_->File("image." + std::to_string(offset) + (format == "ihex" ? ".hex" : ".s3"));
    const std::string how = format == "ihex" ? "-O ihex" : "-O srec --srec-forceS3";
    EXPECT_EQ(Shell("objcopy " + how + sections + program_ + " " + image), 0);
    // Two gap fills tell gaps (which differ) from real bytes (which agree).
    const auto bin0 = dir_->File("gap00.bin"), binF = dir_->File("gapff.bin");
    EXPECT_EQ(Shell("objcopy -O binary --gap-fill 0x00" + sections + program_ + " " + bin0), 0);
    EXPECT_EQ(Shell("objcopy -O binary --gap-fill 0xFF" + sections + program_ + " " + binF), 0);
    const auto zeros = Slurp(bin0), ones = Slurp(binF);
    EXPECT_EQ(zeros.size(), ones.size());

    TDownloadImage loaded;
    ByteMap bytes = Load(image, loaded);
    EXPECT_EQ(loaded.uUpperProgAddr() - loaded.uLowerProgAddr(), zeros.size());
    std::size_t mismatches = 0, present = 0;
    for (std::size_t i = 0; i < zeros.size() && mismatches < 10; ++i) {
      const auto it = bytes.find(loaded.uLowerProgAddr() + static_cast<std::uint32_t>(i));
      if (zeros[i] == ones[i]) {
        ++present;
        if (it == bytes.end() || it->second != zeros[i]) {
          ++mismatches;
          ADD_FAILURE() << "byte at offset " << i;
        }
      } else if (it != bytes.end()) {
        ++mismatches;
        ADD_FAILURE() << "gap byte delivered at offset " << i;
      }
    }
    EXPECT_EQ(present, bytes.size());
    // Independent of objcopy's binary: the array sits at its linked address plus the offset.
    for (std::size_t i = 0; i < kBlobSize; i += 997) {
      const auto it = bytes.find(static_cast<std::uint32_t>(blobAddress_ + offset + i));
      EXPECT_TRUE(it != bytes.end() && it->second == BlobByte(i)) << "array byte " << i;
    }
    return bytes;
  }

  // Writes the bytes as 64-byte flash blocks (0xFF where nothing was), reads that file again.
  static void CheckRoundTrip(const ByteMap& bytes) {
    const std::uint32_t first = bytes.begin()->first & ~63u;
    const std::uint32_t end = (bytes.rbegin()->first + 64) & ~63u;
    std::vector<TPacket> blocks;
    for (std::uint32_t a = first; a != end; a += 64) {
      TPacket p;
      p.iAddr = static_cast<std::int32_t>(a);
      p.Initialized = true;
      for (std::uint32_t i = 0; i < 64; ++i) {
        const auto it = bytes.find(a + i);
        p.baData[i] = it == bytes.end() ? 0xFF : it->second;
      }
      blocks.push_back(p);
    }
    const auto file = dir_->File("back.hex");
    test::Messages m;
    ASSERT_TRUE(WriteIntelHexFile(file, blocks, m.Sink()));
    EXPECT_EQ(m.lines.back(), "End Address: 0x" + [&] {
      char t[16];
      std::snprintf(t, sizeof t, "%X)", end);
      return std::string(t);
    }());
    TDownloadImage again;
    const ByteMap back = Load(file, again);
    ASSERT_FALSE(back.empty());
    EXPECT_GE(back.begin()->first, first);
    EXPECT_LT(back.rbegin()->first, end);
    std::size_t mismatches = 0;
    for (std::uint32_t a = first; a != end && mismatches < 10; ++a) {
      const auto o = bytes.find(a), b = back.find(a);
      const int want = o == bytes.end() ? 0xFF : o->second, got = b == back.end() ? 0xFF : b->second;
      if (want != got) {
        ++mismatches;
        ADD_FAILURE() << std::hex << "address 0x" << a << ": 0x" << want << " became 0x" << got;
      }
    }
  }

  static inline test::TempDir* dir_ = nullptr;
  static inline std::string program_;
  static inline unsigned long blobAddress_ = 0;
};

TEST_F(RealImages, IntelHexAboveFlashBase) {
  const auto bytes = CheckImage("ihex", 0x08000000);
  EXPECT_GE(bytes.begin()->first, 0x08000000u);
  CheckRoundTrip(bytes);
}

TEST_F(RealImages, IntelHexWithSegmentRecordsAcrossSegments) {
  const auto bytes = CheckImage("ihex", 0x0003F800);
  EXPECT_LT(bytes.begin()->first, 0x50000u);
  EXPECT_GT(bytes.rbegin()->first, 0x50000u);
  CheckRoundTrip(bytes);
}

TEST_F(RealImages, S3RecordsAboveFlashBase) {
  const auto image = dir_->File("probe.s3");
  ASSERT_EQ(Shell("objcopy -O srec --srec-forceS3 -j .text " + program_ + " " + image), 0);
  EXPECT_EQ(Capture("grep -c '^S[12]' " + image), "0\n");  // really S3 only
  CheckRoundTrip(CheckImage("srec", 0x08000000));
}

TEST_F(RealImages, S3RecordsAcrossSegments) {
  CheckRoundTrip(CheckImage("srec", 0x0801F7F3));  // odd start as well
}

}  // namespace
}  // namespace zeb7
