// examine and monitor --capture of zeb7ctl as processes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "Programs.h"
#include "TempDir.h"

using namespace zeb7::test;

TEST(ExamineVerb, RowsWithTheDriveValueAndBothExports) {
  TempDir dir("examine");
  ProgramResult save = RunCtl("--simulate save-params " + dir.File("d.kvtp"));
  ASSERT_EQ(save.rc, 0) << save.err;
  // One value changed in the file: that row differs from the drive.
  std::string text = ReadFile(dir.File("d.kvtp"));
  const std::string from = "0 \"Motor\" MPOLES 4 ", to = "0 \"Motor\" MPOLES 9 ";
  ASSERT_NE(text.find(from), std::string::npos);
  text.replace(text.find(from), from.size(), to);
  const std::string file = dir.Write("e.kvtp", text);
  ProgramResult r = RunCtl("--simulate examine " + file + " --csv " + dir.File("o.csv") + " --txt " + dir.File("o.txt"));
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("Pole pairs -> +9  | +4  *"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Done"), std::string::npos);
  const std::string csv = ReadFile(dir.File("o.csv"));
  EXPECT_EQ(csv.rfind("\"Found\";\"M/P\";\"Group\";\"Caption\";\"->  Value\"\r\n", 0), 0u) << csv;
  EXPECT_NE(csv.find("\"YES\";\"P\";"), std::string::npos);
  EXPECT_NE(ReadFile(dir.File("o.txt")).find("Found M/P Group"), std::string::npos);
  // Without a drive nothing is found; a bad value is a usage error.
  ProgramResult offline = RunCtl("examine " + file + " --format json");
  ASSERT_EQ(offline.rc, 0) << offline.err;
  const auto rows = nlohmann::json::parse(offline.out);
  ASSERT_FALSE(rows.empty());
  for (const auto& row : rows) EXPECT_FALSE(row["found"].get<bool>());
  const std::string bad = dir.Write("bad.kvtp", "[Parameters_Extended]\r\n0 \"G\" A 1.5 THUMB \"c\" \"5\" 0\r\n");
  EXPECT_EQ(RunCtl("examine " + bad).rc, 2);
  EXPECT_EQ(RunCtl("examine " + dir.File("none.kvtp")).rc, 2);
}

TEST(MonitorVerb, CaptureWritesOneJsonObjectPerFrame) {
  TempDir dir("capture");
  ProgramResult r = RunCtl("--simulate monitor --count 20 --capture " + dir.File("c.jsonl"));
  ASSERT_EQ(r.rc, 0) << r.err;
  const auto lines = ReadJsonLines(dir.File("c.jsonl"));
  ASSERT_GE(lines.size(), 40u);  // twenty requests and their answers
  int tx = 0, rx = 0;
  for (const auto& j : lines) {
    ASSERT_TRUE(j.is_object());
    for (const char* k : {"t", "dir", "kind", "ident", "cmd", "target", "len", "data", "wire"})
      EXPECT_TRUE(j.contains(k)) << k;
    const std::string wire = j["wire"];
    EXPECT_EQ(wire.size() % 2, 0u);
    EXPECT_GE(wire.size(), 2 * (j["len"].get<size_t>() + 4));
    (j["dir"] == "tx" ? tx : rx)++;
  }
  EXPECT_EQ(tx, 20);
  EXPECT_GE(rx, 20);
}
