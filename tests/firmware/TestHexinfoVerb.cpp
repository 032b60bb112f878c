// zeb7ctl hexinfo, run as a process: output lines, messages on standard error, exit codes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>

#include "FirmwareTestUtil.h"

namespace zeb7 {
namespace {

using test::Bytes;
using test::IntelData;

struct Result {
  int exitCode = -1;
  std::string out, err;
};

std::string Slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Result Hexinfo(const test::TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout"), err = dir.File("stderr");
  const int status = std::system((std::string(ZEB7_BINARY_DIR) + "/cli/zeb7ctl hexinfo " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

TEST(HexinfoVerb, SummaryAndPacketList) {
  test::TempDir dir;
  const auto f = dir.Write("fw.hex", ":020000040800F2\n" + IntelData(0x0010, Bytes(3, 0xA0)) + "\n" +
                                         IntelData(0x0100, Bytes(70)) + "\n:00000001FF\n");
  auto r = Hexinfo(dir, f);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "packets=2 bytes=73 blocks=3 lower=0x8000010 upper=0x8000146\n");
  EXPECT_EQ(r.err, "");
  r = Hexinfo(dir, "--packets " + f);
  EXPECT_EQ(r.exitCode, 0);
  std::string data;
  for (int i = 0; i < 70; ++i) {
    char t[3];
    std::snprintf(t, sizeof t, "%02X", i);
    data += t;
  }
  EXPECT_EQ(r.out, "0x8000010 3 A0A1A2\n0x8000100 70 " + data +
                       "\npackets=2 bytes=73 blocks=3 lower=0x8000010 upper=0x8000146\n");
}

TEST(HexinfoVerb, ReadErrorsGoToStandardErrorWithExitCode1) {
  test::TempDir dir;
  const auto bad = dir.Write("bad.hex", IntelData(0, Bytes(4)) + "\n:0400040001020304F0\n:00000001FF\n");
  auto r = Hexinfo(dir, bad);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Line 1: Wrong checksum!\nError reading Hex file " + bad + "!\n");

  r = Hexinfo(dir, dir.File("none.s19"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "File " + dir.File("none.s19") + " not found!\n");

  r = Hexinfo(dir, "");
  EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace zeb7
