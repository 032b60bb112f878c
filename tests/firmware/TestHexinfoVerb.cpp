// zeb7ctl hexinfo, run as a process: output lines, messages on standard error, exit codes.
#include <gtest/gtest.h>

#include "FirmwareTestUtil.h"
#include "Programs.h"

namespace zeb7 {
namespace {

using test::Bytes;
using test::IntelData;

test::ProgramResult Hexinfo(const std::string& args) { return test::RunCtl("hexinfo " + args); }

TEST(HexinfoVerb, SummaryAndPacketList) {
  test::TempDir dir;
  const auto f = dir.Write("fw.hex", ":020000040800F2\n" + IntelData(0x0010, Bytes(3, 0xA0)) + "\n" +
                                         IntelData(0x0100, Bytes(70)) + "\n:00000001FF\n");
  auto r = Hexinfo(f);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "packets=2 bytes=73 blocks=3 lower=0x8000010 upper=0x8000146\n");
  EXPECT_EQ(r.err, "");
  r = Hexinfo("--packets " + f);
  EXPECT_EQ(r.rc, 0);
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
  auto r = Hexinfo(bad);
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Line 1: Wrong checksum!\nError reading Hex file " + bad + "!\n");

  r = Hexinfo(dir.File("none.s19"));
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "File " + dir.File("none.s19") + " not found!\n");

  r = Hexinfo("");
  EXPECT_EQ(r.rc, 2);
}

}  // namespace
}  // namespace zeb7
