// save-params and load-params of zeb7ctl as a user runs them, against a virtual
// drive in this process whose own state is the reference: save, change the
// drive, load, and every THUMB/CHECK/RADIO value on the drive equals the file.
#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "Programs.h"
#include "SimDrive.h"
#include "TempDir.h"
#include "link/TextCodec.h"
#include "paramfiles/ParamFile.h"

using namespace zeb7;
using namespace zeb7::test;

namespace {

bool Written(const sim::SimParameter& p) {
  const std::string k = AsciiUpper(p.sControl);
  return k == "THUMB" || k == "CHECK" || k == "RADIO";
}

// (target, firmware name) -> value, as the drive holds it.
std::map<std::pair<int, std::string>, int64_t> DriveValues(sim::SimServer& s) {
  std::lock_guard lock(s.drive().mutex());
  std::map<std::pair<int, std::string>, int64_t> out;
  const auto& d = s.drive().description();
  for (int t = 0; t < 10; ++t)
    for (const auto& p : d.targets[size_t(t)].parameters)
      if (d.targets[size_t(t)].present && Written(p)) out[{t, p.sFirmwareName}] = p.value;
  return out;
}

// Every written parameter moved to another allowed value.
void ChangeEveryValue(sim::SimServer& s) {
  std::lock_guard lock(s.drive().mutex());
  for (auto& t : s.drive().description().targets)
    for (auto& p : t.parameters) {
      if (!Written(p)) continue;
      const int64_t lo = p.minValue.value_or(0), hi = p.maxValue.value_or(lo + 1);
      p.value = p.value == lo ? hi : lo;
    }
}

std::map<std::pair<int, std::string>, int64_t> FileValues(const std::string& path) {
  std::vector<std::string> lines;
  std::vector<TParamLine> values;
  std::string error;
  EXPECT_TRUE(ReadFileLines(path, lines, error)) << error;
  EXPECT_TRUE(ReadParametersSection(lines, values, error)) << error;
  std::map<std::pair<int, std::string>, int64_t> out;
  for (const auto& v : values) out[{v.Target, v.Name}] = v.Value;
  return out;
}

void RoundTrip(sim::SimOptions options) {
  auto server = StartSimServer(options);
  TempDir dir("paramroundtrip");
  const std::string file = dir.File("drive.kvtp");
  const std::string port = "--port " + server->devicePath();
  const auto before = DriveValues(*server);
  ProgramResult save = RunCtl(port + " save-params " + file, 180);
  ASSERT_EQ(save.rc, 0) << save.err;
  const auto saved = FileValues(file);
  EXPECT_EQ(saved, before);

  ChangeEveryValue(*server);
  ASSERT_NE(DriveValues(*server), saved);
  ProgramResult load = RunCtl(port + " load-params " + file, 180);
  ASSERT_EQ(load.rc, 0) << load.out << load.err;
  EXPECT_NE(load.out.find("Loading File " + file + "..."), std::string::npos) << load.out;
  EXPECT_NE(load.out.find("Parameter Download Done\nwritten=" + std::to_string(saved.size()) +
                          " limited=0 refused=0 lost=0 obsolete=0\n"),
            std::string::npos)
      << load.out;
  EXPECT_EQ(DriveValues(*server), saved);
}

}  // namespace

TEST(ParamRoundTrip, SaveChangeLoadRestoresEveryValue) { RoundTrip({}); }

TEST(ParamRoundTrip, SurvivesDroppedAndCorruptAnswers) {
  sim::SimOptions o;
  o.faults.drop = 0.05;
  o.faults.corrupt = 0.05;
  o.faults.seed = 7;
  RoundTrip(o);
}

TEST(ParamRoundTrip, ObsoleteLinesAndLimitedValuesAreReported) {
  auto server = StartSimServer();
  TempDir dir("paramload");
  const std::string file = dir.Write("f.kvtp",
                                     "[Parameters]\r\n"
                                     "0 Motor MPOLES 1000\r\n"  // clamped by the drive to 64
                                     "0 Motor GONE 5\r\n"
                                     "0 Motor MNMAX 1234\r\n"
                                     "[Parameters_Extended]\r\n");
  ProgramResult r = RunCtl("--port " + server->devicePath() + " load-params " + file, 120);
  EXPECT_EQ(r.rc, 0) << r.out << r.err;  // limited values are confirmed by the drive
  EXPECT_NE(r.out.find("Parameter Motor/GONE could not be updated (obsolete)\n1 Parameters were obsolete\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("written=1 limited=1 refused=0 lost=0 obsolete=1"), std::string::npos) << r.out;
  const auto v = DriveValues(*server);
  EXPECT_EQ(v.at({0, "MPOLES"}), 64);
  EXPECT_EQ(v.at({0, "MNMAX"}), 1234);
}

TEST(ParamRoundTrip, NonIntegerValueWritesNothing) {
  auto server = StartSimServer();
  const auto before = DriveValues(*server);
  TempDir dir("paramload");
  const std::string file = dir.Write("f.kvtp", "[Parameters]\r\n0 Motor MNMAX 1234\r\n0 Motor MPOLES 4.5\r\n");
  ProgramResult r = RunCtl("--port " + server->devicePath() + " load-params " + file, 60);
  EXPECT_EQ(r.rc, 2);
  EXPECT_NE(r.err.find("\"4.5\" is not an integer value"), std::string::npos) << r.err;
  EXPECT_EQ(DriveValues(*server), before);
  EXPECT_EQ(RunCtl("--port " + server->devicePath() + " load-params " + dir.File("missing.kvtp")).rc, 2);
  EXPECT_EQ(RunCtl("load-params " + file).rc, 2);  // no drive given
}

TEST(ParamRoundTrip, RefusedWritesFailTheLoad) {
  auto server = StartSimServer();
  {
    std::lock_guard lock(server->drive().mutex());
    server->drive().setHandler(20, [](sim::VirtualDrive&, const TTelegram&, TTelegram& ans) { ans.ttType = ttNak; });
  }
  TempDir dir("paramload");
  const std::string file = dir.Write("f.kvtp", "[Parameters]\r\n0 Motor MNMAX 1234\r\n0 Motor MPOLES 4\r\n");
  ProgramResult r = RunCtl("--port " + server->devicePath() + " load-params " + file, 120);
  EXPECT_EQ(r.rc, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Parameter Motor/MNMAX was refused by the drive"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("written=0 limited=0 refused=2 lost=0 obsolete=0"), std::string::npos) << r.out;
}

TEST(ParamRoundTrip, ADriveThatStaysEnabledGetsNoValues) {
  auto server = StartSimServer();
  int writes = 0;
  {
    std::lock_guard lock(server->drive().mutex());
    auto& d = server->drive();
    d.description().status.bStatus2 |= 0x01;  // enabled
    // Drive commands are acknowledged but the drive stays enabled.
    d.setHandler(21, [](sim::VirtualDrive&, const TTelegram&, TTelegram& ans) { ans.ttType = ttAck; });
    d.setHandler(20, [&writes](sim::VirtualDrive&, const TTelegram&, TTelegram& ans) {
      ++writes;
      ans.ttType = ttNak;
    });
  }
  TempDir dir("paramload");
  const std::string file = dir.Write("f.kvtp", "[Parameters]\r\n0 Motor MNMAX 1234\r\n");
  ProgramResult r = RunCtl("--port " + server->devicePath() + " load-params " + file, 120);
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("did not report itself disabled"), std::string::npos) << r.err;
  std::lock_guard lock(server->drive().mutex());
  EXPECT_EQ(writes, 0);
}
