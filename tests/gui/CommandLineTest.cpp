#include <gtest/gtest.h>

#include "gui/workspace/CommandLine.h"

using zeb7::gui::ParseCommandLine;

TEST(CommandLine, ProjectPortAndSimulation) {
  auto cl = ParseCommandLine({"plant.kvt", "--port", "/dev/ttyUSB1"});
  EXPECT_EQ(cl.projectFile, "plant.kvt");
  EXPECT_EQ(cl.port, "/dev/ttyUSB1");
  EXPECT_FALSE(cl.simulate);
  EXPECT_TRUE(cl.error.empty());

  cl = ParseCommandLine({"--simulate", "big.JSON", "plant.kvt"});
  EXPECT_TRUE(cl.simulate);
  EXPECT_EQ(cl.simulateDrive, "big.JSON");
  EXPECT_EQ(cl.projectFile, "plant.kvt");

  // Without a .json the next argument is the project, not the drive.
  cl = ParseCommandLine({"--simulate", "plant.kvt"});
  EXPECT_TRUE(cl.simulateDrive.empty());
  EXPECT_EQ(cl.projectFile, "plant.kvt");
  EXPECT_EQ(ParseCommandLine({"--port=/dev/ttyS0"}).port, "/dev/ttyS0");
}

TEST(CommandLine, UsageErrors) {
  EXPECT_FALSE(ParseCommandLine({"--port"}).error.empty());
  EXPECT_FALSE(ParseCommandLine({"--port="}).error.empty());
  EXPECT_FALSE(ParseCommandLine({"--bogus"}).error.empty());
  EXPECT_FALSE(ParseCommandLine({"a.kvt", "b.kvt"}).error.empty());
  EXPECT_FALSE(ParseCommandLine({"--simulate", "--port", "/dev/x"}).error.empty());
  EXPECT_TRUE(ParseCommandLine({"-h"}).help);
}

// The built-in drive is paced like a real line unless a test asks for --fast.
TEST(CommandLine, FastAndVersion) {
  auto cl = ParseCommandLine({"--simulate", "--fast"});
  EXPECT_TRUE(cl.simulate);
  EXPECT_TRUE(cl.fast);
  EXPECT_TRUE(cl.error.empty());
  EXPECT_FALSE(ParseCommandLine({"--simulate"}).fast);
  EXPECT_FALSE(ParseCommandLine({"--fast"}).error.empty());  // nothing to make fast
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
}
