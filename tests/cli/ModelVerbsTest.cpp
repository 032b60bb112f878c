// info, dump, get, set and command of zeb7ctl against the built-in virtual drive.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>

#include "Programs.h"
#include "TempDir.h"

namespace {

using zeb7::test::ReadFile;
using Result = zeb7::test::ProgramResult;

Result run(const std::string& args) { return zeb7::test::RunCtl(args); }

zeb7::test::TempDir& tempDir() {
  static zeb7::test::TempDir dir("zeb7ctl-verbs");
  return dir;
}

// The built-in drive description, changed by `edit`, in a file.
template <class Edit>
std::string driveFile(const std::string& name, Edit edit) {
  const std::string path = tempDir().File(name + ".json");
  EXPECT_EQ(std::system((zeb7::test::SimProgram() + " --dump-drive >" + path).c_str()), 0);
  nlohmann::json d = nlohmann::json::parse(ReadFile(path));
  edit(d);
  std::ofstream(path) << d.dump();
  return path;
}

}  // namespace

TEST(ModelVerbs, InfoShowsBothTargetsWithTypePlateAndStatus) {
  Result r = run("--simulate info");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("target 0: firmware ZEB1-234567"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("target 1: firmware"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("target 2:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("L1 : \"Serial number 0042-1977\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("drive status: disabled"), std::string::npos) << r.out;
}

TEST(ModelVerbs, DumpListsEveryDescriptorInEachFormat) {
  Result json = run("--simulate dump --format json");
  ASSERT_EQ(json.rc, 0) << json.err;
  auto rows = nlohmann::json::parse(json.out);
  ASSERT_EQ(rows.size(), 46u);
  for (const auto& row : rows) {
    EXPECT_FALSE(row["firmwareName"].get<std::string>().empty());
    EXPECT_EQ(row["key"].get<int>(), row["target"].get<int>() * 65536 + row["index"].get<int>());
  }
  EXPECT_EQ(rows[8]["firmwareName"], "MKT");
  EXPECT_DOUBLE_EQ(rows[8]["value"].get<double>(), 0.85);
  Result csv = run("--simulate dump --format csv");
  ASSERT_EQ(csv.rc, 0) << csv.err;
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 47);
  EXPECT_EQ(run("--simulate dump --format xml").rc, 2);
}

TEST(ModelVerbs, SetWritesThroughTheDriveAndReportsItsAnswer) {
  Result r = run("--simulate set MKT 1.25");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "1.25\n");
  r = run("--simulate set MAINSV 99999999999");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "4800\n") << "the drive limits the value and answers what is in force";
  r = run("--simulate get FANSPEED --target 1");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "62.5\n");
}

TEST(ModelVerbs, BadNamesValuesAndCommandsAreRefusedWithTheRightCode) {
  EXPECT_EQ(run("--simulate get NOPE").rc, 1);
  EXPECT_EQ(run("--simulate set MAINSV abc").rc, 2);
  EXPECT_EQ(run("--simulate command param-set 16").rc, 2);
  EXPECT_EQ(run("--simulate command fly").rc, 2);
  EXPECT_EQ(run("info").rc, 2);
  Result r = run("--port /nonexistent/tty info");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("/nonexistent/tty"), std::string::npos) << r.err;
}

TEST(ModelVerbs, CommandReachesEveryPresentTarget) {
  Result r = run("--simulate command param-version 7");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("command 1802"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("to 2 target(s): acknowledged 2"), std::string::npos) << r.out;
}

TEST(ModelVerbs, SilentAndRefusingDrivesEndWithinBoundedTime) {
  // targets 2..9 do not answer at all: they are left out after a short wait
  const std::string silent = driveFile("silent", [](nlohmann::json& d) {
    for (int t = 2; t < 10; ++t) d["targets"].push_back({{"target", t}, {"present", false}, {"absent", "silent"}});
  });
  Result r = run("--simulate " + silent + " info");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("target 1: firmware"), std::string::npos) << r.out;
  EXPECT_LT(r.seconds, 30);
  // nothing present: a clear message and exit 1
  const std::string none = driveFile("none", [](nlohmann::json& d) {
    for (auto& t : d["targets"]) t["present"] = false;
  });
  r = run("--simulate " + none + " dump");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("reports no target"), std::string::npos) << r.err;
  // nothing answers at all
  const std::string mute = driveFile("mute", [](nlohmann::json& d) {
    for (auto& t : d["targets"]) {
      t["present"] = false;
      t["absent"] = "silent";
    }
  });
  r = run("--simulate " + mute + " info");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("does not answer"), std::string::npos) << r.err;
  EXPECT_LT(r.seconds, 30);
}
