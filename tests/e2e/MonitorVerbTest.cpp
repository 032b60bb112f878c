// zeb7ctl monitor as a user runs it.
#include "Programs.h"
#include "SimDrive.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

using Result = zeb7::test::ProgramResult;

Result run(const std::string& args) { return zeb7::test::RunCtl(args, 60); }

std::vector<std::smatch> matches(const std::string& text, const std::regex& re) {
  std::vector<std::smatch> v;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    v.push_back(*it);
  return v;
}

}  // namespace

TEST(MonitorVerb, SimulatedDriveAnswersTargetsInTurn) {
  Result r = run("--simulate monitor --count 20");
  ASSERT_EQ(r.rc, 0) << r.err;
  const auto sent = matches(r.out, std::regex(R"(TRANSMIT:  Id: +\d+; Target: (\d); Cmd:   3;)"));
  ASSERT_EQ(sent.size(), 20u) << r.out;
  for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(std::stoi(sent[i][1]), int(i % 10));
  // The built-in drive has targets 0 and 1; the others refuse.
  EXPECT_EQ(matches(r.out, std::regex(R"(R: Data;  Id: +\d+; Target: [01]; Cmd:   3;)")).size(), 4u);
  EXPECT_EQ(matches(r.out, std::regex(R"(R: Nak;   Id: +\d+; Target: [2-9]; Cmd:   3)")).size(), 16u);
  EXPECT_NE(r.err.find("requests=20 answered=4"), std::string::npos) << r.err;
}

TEST(MonitorVerb, DriveDescriptionFromFile) {
  zeb7::test::TempDir dir("zeb7-monitor");
  const std::string path = dir.File("monitor-drive.json");
  std::ofstream(path) << R"({"targets": [{"target": 5, "version": "0x0A1B2C0D",
                            "parameters": [{"name": "ONE", "control": "LED", "caption": "One"}]}]})";
  Result r = run("--simulate " + path + " monitor --count 10");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(matches(r.out, std::regex(R"(R: Data;  Id: +\d+; Target: 5; Cmd:   3; Data:  D 2C 1B  A)")).size(), 1u)
      << r.out;
  std::ofstream(path) << "{ broken";
  r = run("--simulate " + path + " monitor --count 1");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("not valid JSON"), std::string::npos) << r.err;
}

TEST(MonitorVerb, ErrorsAndExitCodes) {
  Result r = run("--port /nonexistent/ttyZ monitor --count 1");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("Error opening /nonexistent/ttyZ"), std::string::npos) << r.err;
  r = run("monitor --count 1");
  EXPECT_EQ(r.rc, 2);
  r = run("--simulate monitor --count 0");
  EXPECT_EQ(r.rc, 2);
  r = run("--port /dev/null --simulate monitor");
  EXPECT_EQ(r.rc, 2);

  // A drive that never answers: every request is given up, and that is an error.
  zeb7::test::SimChild silent({"--drop", "1"});
  r = run("--port " + silent.devicePath() + " monitor --count 2");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("no answer from the drive"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("lost=2"), std::string::npos) << r.err;
}
