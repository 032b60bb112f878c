// zeb7ctl project: listing a project file, and checking it against the virtual drive.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>

#include "Programs.h"
#include "TempDir.h"

namespace {

using zeb7::test::RunCtl;

// The drive's descriptors by firmware name, as dump reports them.
std::map<std::string, nlohmann::json> DriveParameters() {
  auto r = RunCtl("--simulate dump --format json");
  EXPECT_EQ(r.rc, 0) << r.err;
  std::map<std::string, nlohmann::json> out;
  for (const auto& row : nlohmann::json::parse(r.out))
    if (row["target"] == 0) out[row["firmwareName"].get<std::string>()] = row;
  return out;
}

std::string Section(int i, const std::string& body) {
  return "[Display" + std::to_string(i) + "]\r\n" + body + "\r\n";
}

std::string DisplayOf(const std::string& control, const nlohmann::json& p, const std::string& name,
                      const std::string& parent, int checksum) {
  return "Control=" + control + "\r\nIndex=" + std::to_string(p["index"].get<int>()) + "\r\nFwName=" +
         p["firmwareName"].get<std::string>() + "\r\nChecksum=" + std::to_string(checksum) + "\r\nGroup=" +
         p["group"].get<std::string>() + "\r\nGroupNr=0\r\nTypeNr=" + std::to_string(p["type"].get<int>()) +
         (p["userClass"].get<int>() ? "\r\nUserClass=" + std::to_string(p["userClass"].get<int>()) : "") +
         "\r\nTarget=0\r\nName=" + name + "\r\nParent=" + parent + "\r\nCaption=" + p["caption"].get<std::string>() +
         "\r\nControlProperties=" + p["properties"].get<std::string>();
}

TEST(ProjectVerb, ChecksEachDisplayAgainstTheDrive) {
  auto params = DriveParameters();
  ASSERT_TRUE(params.count("MAINSV") && params.count("PWMFREQ") && params.count("AUTOEN"));
  const auto& mains = params["MAINSV"];
  const auto& pwm = params["PWMFREQ"];
  const auto& autoen = params["AUTOEN"];
  std::string file = "[Displays]\r\nCount=6\r\n\r\n";
  file += Section(0, "Control=SHEET\r\nName=ScrollingTabSheet1\r\nParent=PageControl1\r\nCaption=Page1\r\nPageIndex=0");
  file += Section(1, "Control=WIN\r\nName=DisplayWin1\r\nParent=ScrollingTabSheet1\r\nCaption=Box");
  file += Section(2, DisplayOf("NUMERIC", mains, "NumericDisplayWin1", "DisplayWin1", mains["checksum"].get<int>()));
  // Written before the drive's descriptor changed: stale checksum.
  file += Section(3, DisplayOf("RADIO", pwm, "RadioWin1", "ScrollingTabSheet1", pwm["checksum"].get<int>() ^ 1));
  // The drive shows this parameter as a check box now.
  file += Section(4, DisplayOf("LED", autoen, "DispLedWin1", "ScrollingTabSheet1", autoen["checksum"].get<int>()));
  nlohmann::json gone = mains;
  gone["firmwareName"] = "NOSUCH";
  gone["index"] = 999;
  file += Section(5, DisplayOf("NUMERIC", gone, "NumericDisplayWin2", "ScrollingTabSheet1", 1));
  zeb7::test::TempDir dir("zeb7ctl-project");
  const std::string path = dir.Write("plant.kvt", file);

  auto list = RunCtl("project " + path);
  ASSERT_EQ(list.rc, 0) << list.err;
  EXPECT_NE(list.out.find("sheet ScrollingTabSheet1 \"Page1\" page 0\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("    NumericDisplayWin1 NUMERIC MAINSV target 0"), std::string::npos) << list.out;

  auto r = RunCtl("--simulate project " + path + " --format json");
  EXPECT_EQ(r.rc, 1) << r.err;  // one display is not valid
  auto out = nlohmann::json::parse(r.out);
  std::map<std::string, nlohmann::json> byName;
  for (const auto& d : out["displays"]) byName[d["name"].get<std::string>()] = d;
  EXPECT_FALSE(byName["DisplayWin1"].contains("state"));  // a group box has no parameter
  EXPECT_EQ(byName["NumericDisplayWin1"]["state"], "verified");
  // The drive's raw value 2300 with factor 0.1 and one decimal.
  ASSERT_EQ(mains["value"].get<double>(), 2300.0);
  EXPECT_EQ(byName["NumericDisplayWin1"]["shown"], "+ 230.0 V");
  EXPECT_EQ(byName["RadioWin1"]["state"], "updated");
  EXPECT_EQ(byName["RadioWin1"]["shown"], "(o) 8 kHz");
  EXPECT_EQ(byName["DispLedWin1"]["state"], "updated");
  EXPECT_EQ(byName["DispLedWin1"]["replacedBy"], "CHECK");
  EXPECT_EQ(byName["NumericDisplayWin2"]["state"], "not valid");

  auto text = RunCtl("--simulate project " + path);
  EXPECT_EQ(text.rc, 1);
  EXPECT_NE(text.out.find("NumericDisplayWin1 NUMERIC MAINSV target 0 index 2 \"Mains voltage\" at 0,0 168x23: "
                          "verified = + 230.0 V"),
            std::string::npos)
      << text.out;
}

TEST(ProjectVerb, UnreadableFileIsAUsageErrorAndBadSectionsAreReported) {
  zeb7::test::TempDir dir("zeb7ctl-project");
  auto missing = RunCtl("project " + dir.File("none.kvt"));
  EXPECT_EQ(missing.rc, 2);
  EXPECT_NE(missing.err.find("none.kvt"), std::string::npos) << missing.err;
  const std::string path =
      dir.Write("bad.kvt", "[Displays]\nCount=2000000000\n[Display0]\nControl=BLINK\n[Display1]\nControl=LED\nName=L\n");
  auto r = RunCtl("project " + path + " --format json");
  ASSERT_EQ(r.rc, 0) << r.err;
  auto out = nlohmann::json::parse(r.out);
  EXPECT_EQ(out["sheets"][0]["name"], "LOST_PAGE");
  EXPECT_EQ(out["sheets"][0]["placeholder"], true);
  EXPECT_EQ(out["displays"].size(), 1u);
  EXPECT_NE(r.err.find("Display0: unknown control \"BLINK\", skipped"), std::string::npos) << r.err;
}

}  // namespace
