// The helpers other tests lean on: a wait that gives up at its deadline, a folder
// that really goes, a program's output and exit status kept apart.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "Programs.h"
#include "SimDrive.h"
#include "TempDir.h"
#include "WaitFor.h"

using namespace zeb7::test;

TEST(WaitFor, HoldsOnceAnotherThreadMakesItTrueAndGivesUpAtTheDeadline) {
  std::atomic<bool> flag{false};
  std::thread setter([&] { flag = true; });
  EXPECT_TRUE(WaitFor([&] { return flag.load(); }, 10s));
  setter.join();

  const auto t0 = std::chrono::steady_clock::now();
  int polls = 0;
  EXPECT_FALSE(WaitFor([&] { return ++polls < 0; }, 50ms));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 50ms);
  EXPECT_GT(polls, 1) << "polled repeatedly, not once";
}

TEST(TempDir, IsRemovedWithItsContents) {
  std::filesystem::path kept;
  {
    TempDir dir("zeb7support");
    kept = dir.Path();
    const std::string f = dir.Write("b.txt", std::string("x\0y", 3));
    EXPECT_EQ(ReadFile(f), std::string("x\0y", 3));
    std::filesystem::create_directories(dir.Path() / "sub");
    dir.Write("sub/c", "c");
  }
  EXPECT_FALSE(std::filesystem::exists(kept));
}

TEST(Programs, OutputStreamsAndExitStatusAreKeptApart) {
  ProgramResult r = RunProgram("sh", "-c 'echo out; echo err >&2; exit 3'");
  EXPECT_EQ(r.rc, 3);
  EXPECT_EQ(r.out, "out\n");
  EXPECT_EQ(r.err, "err\n");
}

TEST(SimDrive, InProcessDriveLogsAsJsonLines) {
  TempDir dir("zeb7support");
  zeb7::sim::SimOptions opt;
  opt.logPath = dir.File("log");
  {
    auto server = StartSimServer(opt);
    EXPECT_FALSE(server->devicePath().empty());
    EXPECT_EQ(server->control(R"({"op":"set-value","target":0,"index":0,"value":5})"), "");
  }
  auto lines = ReadJsonLines(opt.logPath);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().value("dir", ""), "control");
}
