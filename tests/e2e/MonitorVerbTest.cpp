// zeb7ctl monitor as a user runs it.
#include "SimProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

const std::string kCtl = std::string(ZEB7_BINARY_DIR) + "/cli/zeb7ctl";
const std::string kSim = std::string(ZEB7_BINARY_DIR) + "/sim/zeb7-sim";

struct Result {
  int rc = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Result run(const std::string& args) {
  const std::string base = testing::TempDir() + "/zeb7ctl-" + std::to_string(::getpid());
  const std::string cmd = "timeout 60 " + kCtl + " " + args + " >" + base + ".out 2>" + base + ".err";
  Result r;
  int st = std::system(cmd.c_str());
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = slurp(base + ".out");
  r.err = slurp(base + ".err");
  return r;
}

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
  const std::string path = testing::TempDir() + "/monitor-drive.json";
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
  zeb7::sim::SimProcess silent(kSim, {"--drop", "1"});
  r = run("--port " + silent.devicePath() + " monitor --count 2");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("no answer from the drive"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("lost=2"), std::string::npos) << r.err;
}
