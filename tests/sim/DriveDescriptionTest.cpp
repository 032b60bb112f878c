#include "DriveDescription.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <set>

using namespace zeb7::sim;
using nlohmann::json;

namespace {

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

std::string errorOf(const std::string& text) {
  try {
    driveFromJson(json::parse(text));
  } catch (const DriveDescriptionError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(DriveDescription, DefaultDriveCoversEveryControlKindGroupsAndTypePlate) {
  DriveDescription d = defaultDrive();
  int present = 0;
  for (const auto& t : d.targets) present += t.present;
  EXPECT_EQ(present, 2);
  std::set<std::string> kinds;
  const SimTarget& t0 = d.targets[0];
  for (const auto& p : t0.parameters) {
    kinds.insert(upper(p.sControl));
    EXPECT_GE(p.sFirmwareName.size(), 3u) << "the PC ignores texts shorter than 3 characters";
    EXPECT_GE(p.sCaption.size(), 3u);
    EXPECT_LT(p.bGroup, t0.groups.size());
  }
  EXPECT_EQ(kinds, (std::set<std::string>{"NUMERIC", "THUMB", "CHECK", "RADIO", "LEDARRAY", "LEDRADIO", "LED"}));
  EXPECT_GE(t0.parameters.size() + d.targets[1].parameters.size(), 36u);
  int withParent = 0;
  for (const auto& g : t0.groups) {
    EXPECT_FALSE(g.description.empty());
    withParent += !g.parent.empty();
  }
  EXPECT_GT(withParent, 0);
  EXPECT_FALSE(t0.typePlate.empty());
  EXPECT_FALSE(d.targets[1].typePlate.empty());
}

TEST(DriveDescription, JsonRoundTripKeepsEveryChecksum) {
  DriveDescription a = defaultDrive();
  DriveDescription b = driveFromJson(json::parse(driveToJson(a).dump()));
  for (int t = 0; t < 10; ++t) {
    EXPECT_EQ(a.targets[t].present, b.targets[t].present);
    ASSERT_EQ(a.targets[t].parameters.size(), b.targets[t].parameters.size());
    EXPECT_EQ(a.targets[t].globalChecksum(), b.targets[t].globalChecksum());
    for (size_t i = 0; i < a.targets[t].parameters.size(); ++i) {
      EXPECT_EQ(a.targets[t].parameters[i].value, b.targets[t].parameters[i].value);
      EXPECT_EQ(a.targets[t].parameters[i].checksum(int(i)), b.targets[t].parameters[i].checksum(int(i)));
    }
  }
  EXPECT_EQ(a.status.messages.size(), b.status.messages.size());
}

TEST(DriveDescription, ChecksumsFollowDescriptorAndGroupChanges) {
  SimTarget t = defaultDrive().targets[0];
  const uint32_t g0 = t.globalChecksum();
  const uint16_t c0 = t.parameters[3].checksum(3);
  EXPECT_NE(c0, t.parameters[3].checksum(4)) << "the index is part of the descriptor";
  t.parameters[3].sCaption += "x";
  EXPECT_NE(t.parameters[3].checksum(3), c0);
  EXPECT_NE(t.globalChecksum(), g0);
  t = defaultDrive().targets[0];
  t.parameters[3].value = 12345;  // values are not part of the database
  EXPECT_EQ(t.globalChecksum(), g0);
  t.groups[2].parent = "I/O";
  EXPECT_NE(t.globalChecksum(), g0);
  t.fixedGlobalChecksum = 77;
  EXPECT_EQ(t.globalChecksum(), 77u);
}

TEST(DriveDescription, JsonValuesAndDefaults) {
  DriveDescription d = driveFromJson(json::parse(R"({
    "targets": [ {"target": 2, "version": "0x0A1B2C0D", "paramVersion": 9,
                  "groups": ["Top", {"name": "Sub", "parent": "Top"}],
                  "groupDescriptions": false,
                  "parameters": [ {"name": "FLT", "control": "NUMERIC", "caption": "Float", "type": -1, "value": 1.5},
                                  {"name": "BIG", "control": "NUMERIC", "caption": "Big", "wide": true, "value": "0x123456789"},
                                  {"name": "NRW", "control": "NUMERIC", "caption": "Narrow", "value": 4294967295} ] },
                 {"target": 4, "present": false, "absent": "silent"} ],
    "status": {"messages": ["one", {"number": 10, "text": "ten"}, "eleven"]} })"));
  EXPECT_FALSE(d.targets[0].present) << "unlisted targets are absent";
  const SimTarget& t = d.targets[2];
  EXPECT_TRUE(t.present);
  EXPECT_EQ(t.version, 0x0A1B2C0Du);
  EXPECT_EQ(t.paramVersion, 9);
  EXPECT_FALSE(t.hasGroupDescriptions);
  EXPECT_TRUE(t.hasGroupParents);
  EXPECT_EQ(t.groups[1].parent, "Top");
  EXPECT_EQ(t.parameters[0].value, 0x3FC00000) << "bit pattern of 1.5f";
  EXPECT_EQ(t.parameters[1].value, 0x123456789LL);
  EXPECT_EQ(t.parameters[2].value, -1) << "a 32-bit parameter keeps 32 bits";
  EXPECT_EQ(d.targets[4].absentMode, AbsentMode::Silent);
  ASSERT_EQ(d.status.messages.size(), 3u);
  EXPECT_EQ(d.status.messages[0].number, 1);
  EXPECT_EQ(d.status.messages[2].number, 11);
}

TEST(DriveDescription, BadDescriptionsNameTheEntry) {
  EXPECT_NE(errorOf("[]").find("object"), std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": 3})").find("targets"), std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": [{"target": 10}]})").find("targets[0].target"), std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": [{"target": 1}, {"target": 1}]})").find("twice"), std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": [{"parameters": [{"group": 300}]}]})").find("parameters[0].group"),
            std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": [{"parameters": [{"value": 2.5}]}]})").find("negative type"),
            std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": [{"parameters": [{"caption": 5}]}]})").find("caption"), std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": [{"absent": "maybe"}]})").find("absent"), std::string::npos);
  EXPECT_NE(errorOf(R"({"targets": [{"absent": 3}]})"), "") << "a wrong JSON type is a description error too";
  EXPECT_NE(errorOf(R"({"targets": [{"version": "12abc"}]})").find("integer"), std::string::npos);
}

TEST(DriveDescription, FilesReportPathAndSyntax) {
  try {
    loadDriveFile("/nonexistent/drive.json");
    FAIL();
  } catch (const DriveDescriptionError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/drive.json"), std::string::npos);
  }
  const std::string path = testing::TempDir() + "/bad-drive.json";
  std::ofstream(path) << "{\"targets\": [ }";
  try {
    loadDriveFile(path);
    FAIL();
  } catch (const DriveDescriptionError& e) {
    EXPECT_NE(std::string(e.what()).find("not valid JSON"), std::string::npos);
  }
  std::remove(path.c_str());
}

TEST(DriveDescription, GeneratedDriveSizesAndValidity) {
  DriveDescription d = generatedDrive(600, 50);
  ASSERT_EQ(d.targets[0].parameters.size(), 600u);
  ASSERT_EQ(d.targets[1].parameters.size(), 50u);
  std::set<std::string> names;
  for (int t = 0; t < 2; ++t)
    for (const auto& p : d.targets[t].parameters) {
      EXPECT_TRUE(names.insert(p.sFirmwareName).second) << p.sFirmwareName;
      EXPECT_LT(p.bGroup, d.targets[t].groups.size());
      // the PC ignores descriptor texts under three characters: such a parameter never verifies
      for (const std::string* text : {&p.sFirmwareName, &p.sControl, &p.sCaption, &p.sControlProperties})
        EXPECT_GE(text->size(), 3u) << p.sFirmwareName;
    }
  EXPECT_EQ(generatedDrive(5, -1).targets[1].parameters.size(), defaultDrive().targets[1].parameters.size());
  EXPECT_EQ(generatedDrive(5, -1).targets[0].parameters.size(), 5u);
  EXPECT_NE(generatedDrive(600, 50).targets[0].globalChecksum(), defaultDrive().targets[0].globalChecksum());
}
