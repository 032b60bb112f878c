// zeb7ctl flash and read-flash against zeb7-sim: real objcopy images into every
// flash target and back, over a clean and a faulty line, and the failures that
// must never end in success.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <map>
#include <sstream>

#include "FirmwareTestUtil.h"
#include "Programs.h"
#include "SimDrive.h"
#include "TempDir.h"
#include "firmware/DownloadImage.h"

using namespace zeb7;

namespace {

using ByteMap = std::map<uint32_t, uint8_t>;

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

ByteMap Bytes(const std::string& file) {
  TDownloadImage image;
  std::vector<std::string> log;
  EXPECT_TRUE(image.LoadHexFile(file, [&log](const std::string& s) { log.push_back(s); }))
      << testing::PrintToString(log);
  ByteMap m;
  for (const auto& b : image.DataList())
    for (int i = 0; i < b.bLength; ++i) m[b.uAddress + i] = b.baData[i];
  return m;
}

struct Target {
  const char* name;
  uint32_t base;  // of the virtual drive's flash
};
const Target kTargets[] = {{"STR710", 0x000000}, {"DSP", 0x100000}, {"FPGA", 0x200000}};

class FlashVerbs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (Shell("command -v cc") != 0 || Shell("command -v objcopy") != 0) return;
    dir_ = new test::TempDir("zeb7flashverbs");
    std::ostringstream src;
    src << "const unsigned char blob[12000] = {";
    for (int i = 0; i < 12000; ++i) src << ((i * 2654435761u) >> 13 & 0xFF) << ",";
    src << "};\nint counter = 42;\nint main(int c, char** v) { (void)v; return blob[c] + counter; }\n";
    const auto c = dir_->Write("prog.c", src.str());
    if (Shell("cc -O1 -o " + dir_->File("prog") + " " + c) != 0) return;
    ready_ = true;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!ready_) GTEST_SKIP() << "no C compiler or objcopy on this machine";
  }

  // The program's loadable sections as an image placed 4 KiB into the target's flash.
  static std::string Image(const Target& t, bool srecord) {
    const std::string sections = " -j .text -j .rodata -j .data ";
    const std::string probe = dir_->File("probe.hex");
    EXPECT_EQ(Shell("objcopy -O ihex" + sections + dir_->File("prog") + " " + probe), 0);
    const auto bytes = Bytes(probe);
    EXPECT_FALSE(bytes.empty());
    const int64_t offset = int64_t(t.base) + 0x1000 - int64_t(bytes.begin()->first);
    const std::string out = dir_->File(std::string(t.name) + (srecord ? ".s19" : ".hex"));
    const std::string how = srecord ? "-O srec --srec-forceS3" : "-O ihex";
    EXPECT_EQ(Shell("objcopy " + how + sections + "--change-addresses " + std::to_string(offset) + " " +
                    dir_->File("prog") + " " + out),
              0);
    return out;
  }

  // Programs `image` into `t`, reads the range back and compares every byte.
  static void RoundTrip(const std::string& device, const Target& t, const std::string& image) {
    const ByteMap want = Bytes(image);
    ASSERT_FALSE(want.empty());
    const auto flash = test::RunCtl("--port " + device + " flash --target " + t.name + " " + image, 240);
    ASSERT_EQ(flash.rc, 0) << flash.err;
    EXPECT_NE(flash.out.find("verified"), std::string::npos) << flash.out;
    const uint32_t lo = want.begin()->first, hi = want.rbegin()->first + 1;
    const std::string back = dir_->File(std::string("back-") + t.name + ".hex");
    const auto read = test::RunCtl("--port " + device + " read-flash --target " + t.name + " --start 0x" +
                                       [&] {
                                         char b[16];
                                         std::snprintf(b, sizeof b, "%X", lo);
                                         return std::string(b);
                                       }() +
                                       " --size " + std::to_string((hi - lo + 1023) / 1024) + " " + back,
                                   240);
    ASSERT_EQ(read.rc, 0) << read.err;
    const ByteMap got = Bytes(back);
    size_t mismatches = 0;
    for (const auto& [a, v] : want) {
      auto it = got.find(a);
      // Lines of sixteen erased bytes are left out of the file: they read as 0xFF.
      const uint8_t g = it == got.end() ? 0xFF : it->second;
      if (g != v && ++mismatches < 5) ADD_FAILURE() << std::hex << "0x" << a << ": " << int(g) << " <> " << int(v);
    }
    EXPECT_EQ(mismatches, 0u);
  }

  static void Control(const std::string& fifo, const std::string& json) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const std::string line = json + "\n";
    ASSERT_EQ(::write(fd, line.data(), line.size()), ssize_t(line.size()));
    ::close(fd);
  }

  static inline test::TempDir* dir_ = nullptr;
  static inline bool ready_ = false;
};

TEST_F(FlashVerbs, EveryTargetTakesHexAndSRecordImagesByteForByte) {
  test::TempDir dump("zeb7dump");
  ByteMap lastImage;
  {
    test::SimChild sim({"--dump-flash", dump.Path().string()});
    for (const Target& t : kTargets) {
      RoundTrip(sim.devicePath(), t, Image(t, false));
      RoundTrip(sim.devicePath(), t, Image(t, true));
    }
    lastImage = Bytes(Image(kTargets[2], true));
  }
  // The drive's own view of the last target equals the image at the image's addresses.
  const std::string bin = test::ReadFile(dump.File("flash-0x30.bin"));
  ASSERT_EQ(bin.size(), 1024u * 1024);
  for (const auto& [a, v] : lastImage) ASSERT_EQ(uint8_t(bin[a - kTargets[2].base]), v) << a;
}

TEST_F(FlashVerbs, FaultyLineStillProgramsEveryByte) {
  test::SimChild sim({"--drop", "0.05", "--corrupt", "0.05", "--delay", "0.05", "--delay-ms", "300", "--seed", "5"});
  RoundTrip(sim.devicePath(), kTargets[0], Image(kTargets[0], true));
}

TEST_F(FlashVerbs, LostAnswerOrFlashErrorFailsAndLeavesTheDriveInNormalMode) {
  const std::string fifo = dir_->File("control");
  test::SimChild sim({"--control", fifo});
  const std::string image = Image(kTargets[1], false);
  Control(fifo, R"({"op":"flash-silent","after":20,"count":60})");
  auto r = test::RunCtl("--port " + sim.devicePath() + " flash --target DSP " + image, 120);
  EXPECT_EQ(r.rc, 1) << r.err;
  EXPECT_EQ(r.out.find("programmed"), std::string::npos);
  EXPECT_NE(r.err.find("No Response (cmd = 73)!"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("did not return to normal mode"), std::string::npos) << r.err;

  Control(fifo, R"({"op":"flash-silent","after":-1})");
  Control(fifo, R"({"op":"flash-fail","after":30})");
  r = test::RunCtl("--port " + sim.devicePath() + " flash --target DSP " + image, 120);
  EXPECT_EQ(r.rc, 1) << r.err;
  EXPECT_NE(r.err.find("FLASH ERROR -5"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("did not return to normal mode"), std::string::npos) << r.err;

  // An image outside the target's flash: the drive reports the address.
  const std::string outside = dir_->Write(
      "outside.hex", test::IntelData(0, {0x00, 0x90}, 4) + "\r\n" + test::IntelData(0, test::Bytes(32)) + "\r\n:00000001FF\r\n");
  r = test::RunCtl("--port " + sim.devicePath() + " flash --target STR710 --erase all " + outside, 120);
  EXPECT_EQ(r.rc, 1) << r.err;
  EXPECT_NE(r.err.find("FLASH ERROR -1"), std::string::npos) << r.err;

  Control(fifo, R"({"op":"flash-stay-connecting"})");
  r = test::RunCtl("--port " + sim.devicePath() + " flash --target DSP " + image, 120);
  EXPECT_EQ(r.rc, 1) << r.err;
  EXPECT_NE(r.err.find("Timeout!"), std::string::npos) << r.err;
}

TEST_F(FlashVerbs, BrokenImagesAndBadArgumentsTouchNothing) {
  const std::string log = dir_->File("sim.log");
  test::SimChild sim({"--log", log});
  const std::string good = test::IntelData(0, test::Bytes(16));
  std::string broken = good;
  broken[broken.size() - 1] = broken.back() == '0' ? '1' : '0';  // checksum
  const std::string cases[] = {
      dir_->Write("badsum.hex", broken + "\r\n:00000001FF\r\n"),
      dir_->Write("noend.hex", good + "\r\n"),
      dir_->Write("empty.hex", ":00000001FF\r\n"),
      dir_->File("missing.hex"),
  };
  for (const auto& file : cases) {
    const auto r = test::RunCtl("--port " + sim.devicePath() + " flash --target FPGA " + file, 60);
    EXPECT_EQ(r.rc, 2) << file << ": " << r.err;
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_EQ(test::RunCtl("--port " + sim.devicePath() + " flash --target Z80 " + cases[0]).rc, 2);
  EXPECT_EQ(test::RunCtl("--port " + sim.devicePath() + " flash --target DSP --erase 5 " + cases[0]).rc, 2);
  EXPECT_EQ(test::RunCtl("--port " + sim.devicePath() + " read-flash --target DSP --start 0x1000001 --size 1 x.hex").rc, 2);
  EXPECT_EQ(test::RunCtl("--port " + sim.devicePath() + " read-flash --target DSP --start 0 --size 16385 x.hex").rc, 2);
  // Not a single request reached the drive.
  EXPECT_EQ(test::ReadFile(log), "");
}

}  // namespace
