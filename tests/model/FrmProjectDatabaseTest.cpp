#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "ModelTestSupport.h"
#include "workspace/IniFiles.h"

namespace zeb7 {
namespace {

using test::VersionAnswer;
using test::VersionInfo;

class ProjectStateTest : public ::testing::Test {
 protected:
  ProjectStateTest() {
    m.Context.Broadcaster.Subscribe([this](int msg, int64_t l) {
      if (msg == WM_REFRESH_DISPLAYS) refreshes.push_back(l);
    });
  }
  TDriveModel m;
  std::vector<int64_t> refreshes;
};

TEST_F(ProjectStateTest, FifthRefusalInARowDropsTargetAndAVersionAnswerResetsTheCount) {
  auto nak = test::Refusal(kCmdVersion, 9);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(m.ProjectState.HandleNakTelegram(nak));
  EXPECT_FALSE(m.TargetInfo[9].fNotPresent);
  VersionInfo v;
  v.params = 3;
  m.ProjectState.HandleVersionTelegram(VersionAnswer(9, v));
  EXPECT_EQ(m.TargetInfo[9].iNakCount, 0);
  for (int i = 0; i < 4; ++i) m.ProjectState.HandleNakTelegram(nak);
  EXPECT_FALSE(m.TargetInfo[9].fNotPresent);
  m.ProjectState.HandleNakTelegram(test::Refusal(kCmdGetCaption, 9, 2));  // a descriptor refusal counts too
  EXPECT_TRUE(m.TargetInfo[9].fNotPresent);
  EXPECT_FALSE(m.TargetInfo[9].fVersionSeen);
  EXPECT_EQ(m.TargetInfo[9].iNakCount, 1000);
  EXPECT_EQ(m.TargetInfo[9].TargetState, statDone);
  // value and type plate refusals go to the item's own back-off instead
  EXPECT_FALSE(m.ProjectState.HandleNakVersionTelegram(test::Refusal(kCmdGetValue, 0, 1)));
  EXPECT_TRUE(m.ProjectState.HandleNakTelegram(test::Refusal(kCmdGetValue, 0, 1)));
  EXPECT_EQ(m.ParameterList.Find(1, 0)->iNakCounter, 50);
  EXPECT_FALSE(m.ProjectState.HandleNakTelegram(test::Refusal(kCmdVersion, 10)));
}

TEST_F(ProjectStateTest, RefusedVersionRequestIsNotReadAsAVersion) {
  VersionInfo v;
  v.params = 5;
  m.ProjectState.Restart();
  m.ProjectState.HandleVersionTelegram(VersionAnswer(0, v));
  const int before = m.ParameterList.Count();
  ASSERT_GT(before, 0);
  EXPECT_FALSE(m.ProjectState.HandleVersionTelegram(test::Refusal(kCmdVersion, 0)));
  EXPECT_EQ(m.ParameterList.Count(), before);
  EXPECT_FALSE(m.TargetInfo[0].fNotPresent);
}

TEST_F(ProjectStateTest, TargetWithoutParametersIsAbsentButProbedAndRevived) {
  m.ProjectState.Restart();
  VersionInfo v;
  v.params = 0;
  m.ProjectState.HandleVersionTelegram(VersionAnswer(3, v));
  EXPECT_TRUE(m.TargetInfo[3].fNotPresent);
  EXPECT_TRUE(m.TargetInfo[3].fVersionSeen);
  v.params = 12;
  v.checksum = 0x2000;
  m.ProjectState.HandleVersionTelegram(VersionAnswer(3, v));
  EXPECT_FALSE(m.TargetInfo[3].fNotPresent);
  // revived to statVolatileStrings, and that same answer carried it on to the parameters
  EXPECT_EQ(m.TargetInfo[3].TargetState, statComparingParameters);
  EXPECT_NE(m.ParameterList.Find(11, 3), nullptr);
}

TEST_F(ProjectStateTest, ChangedChecksumOnTargetZeroClearsEverythingAndRereads) {
  m.TargetInfo[0].Checksum = 0x11;
  m.TargetInfo[4].TargetState = statDone;
  m.ParameterList.GetParameter(1, 0);
  m.Strings.GroupNameLists[2]->SetControllerString(0, "G");
  VersionInfo v;
  v.checksum = 0x22;
  v.params = 2;
  v.version = 0x0A1B2C0D;
  m.ProjectState.HandleVersionTelegram(VersionAnswer(0, v));
  EXPECT_TRUE(m.ProjectState.fGetAllParameters());
  EXPECT_EQ(m.Strings.GroupNameLists[2]->Count(), 0);
  for (int t = 1; t < 10; ++t) EXPECT_EQ(m.TargetInfo[t].TargetState, statComparingGroups) << t;
  EXPECT_EQ(m.ProjectState.FirmwareLabel(), "ZEBA-1B2CD");
  EXPECT_TRUE(m.TargetInfo[0].fVersionSeen);
  EXPECT_EQ(TFrmProjectState::FirmwareName(0x01234567), "ZEB1-234567");
}

TEST_F(ProjectStateTest, EmptyGroupTablesLetATargetReachParametersInOneAnswer) {
  m.ProjectState.SearchParams();
  m.TargetInfo[5].TargetState = statComparingVersion;
  VersionInfo v;
  v.params = 4;
  m.ProjectState.HandleVersionTelegram(VersionAnswer(5, v));
  EXPECT_EQ(m.TargetInfo[5].TargetState, statComparingParameters);
  EXPECT_EQ(m.ParameterList.Count(), 4);
  EXPECT_EQ(refreshes, (std::vector<int64_t>{0}));
}

TEST_F(ProjectStateTest, ShrunkParameterCountFreesTheSurplus) {
  for (int i = 0; i < 100; ++i) m.ParameterList.GetParameter(i, 1);
  m.ParameterList.GetParameter(0, 2);
  m.ProjectState.SearchParams();
  m.TargetInfo[1].TargetState = statComparingGroupParents;
  VersionInfo v;
  v.params = 90;
  m.ProjectState.HandleVersionTelegram(VersionAnswer(1, v));
  EXPECT_EQ(m.TargetInfo[1].TargetState, statComparingParameters);
  EXPECT_EQ(m.ParameterList.Count(), 91);
  EXPECT_EQ(m.ParameterList.Find(90, 1), nullptr);
  EXPECT_NE(m.ParameterList.Find(0, 2), nullptr);
}

TEST_F(ProjectStateTest, ProgressFollowsTheLeastStateOfPresentTargets) {
  EXPECT_EQ(TFrmProjectState::ProgressOf(statComparingGroups), 42);
  m.ProjectState.SearchParams();
  for (int t = 1; t < 10; ++t) m.TargetInfo[t].fNotPresent = true;
  VersionInfo v;
  v.params = 1;
  v.groups = 2;
  m.ProjectState.HandleVersionTelegram(VersionAnswer(0, v));
  EXPECT_EQ(m.ProjectState.ProjState(), statComparingGroups);
  EXPECT_TRUE(m.ProjectState.ProgressVisible());
  EXPECT_EQ(m.ProjectState.ProgressPercent(), 42);
  ASSERT_FALSE(m.ProjectState.Lines().empty());
  EXPECT_EQ(m.ProjectState.Lines().back(), "TargetState[0] = statComparingGroups");
}

TEST_F(ProjectStateTest, TargetThatNeverFinishesIsGivenUp) {
  m.ProjectState.Restart();
  VersionInfo v;
  v.params = 1;
  v.typePlate = 1;  // never answered: the type plate stays unverified
  for (int i = 0; i < 2000; ++i) m.ProjectState.HandleVersionTelegram(VersionAnswer(6, v));
  EXPECT_FALSE(m.TargetInfo[6].fNotPresent);
  m.ProjectState.HandleVersionTelegram(VersionAnswer(6, v));
  EXPECT_TRUE(m.TargetInfo[6].fNotPresent);
  EXPECT_EQ(m.TargetInfo[6].TargetState, statDone);
  EXPECT_TRUE(m.TargetInfo[6].fVersionSeen) << "still probed";
  // the probe's answer with parameters brings it back
  m.ProjectState.HandleVersionTelegram(VersionAnswer(6, v));
  EXPECT_FALSE(m.TargetInfo[6].fNotPresent);
  EXPECT_EQ(m.TargetInfo[6].TargetState, statComparingVersion);
}

TEST_F(ProjectStateTest, ProjectSectionsRoundTripAndMissingKeysReadZero) {
  namespace fs = std::filesystem;
  const fs::path file = fs::temp_directory_path() / ("zeb7-model-" + std::to_string(::getpid()) + ".kvt");
  fs::remove(file);
  m.TargetInfo[0].Version = 0x80000001u;
  m.TargetInfo[0].DriveModeCount = 1;
  m.TargetInfo[2].GroupCount = 2;
  m.TargetInfo[2].Checksum = 77;
  m.Strings.DriveModeList.SetControllerString(0, "Speed mode");
  m.Strings.GroupNameLists[2]->SetControllerString(0, "Motor");
  m.Strings.GroupNameLists[2]->SetControllerString(1, "Gr\xFC\x62");  // Latin-1 u-umlaut
  m.Strings.GroupParentLists[2]->SetControllerString(1, "Motor");
  {
    TMemIniFile ini(file.string());
    m.ProjectState.WriteToIniFile(ini);
    ini.DeleteKey("Global", "3GroupCount");
    EXPECT_EQ(ini.ReadString("Global", "0Version", ""), "-2147483647");
    EXPECT_TRUE(ini.ReadSection("5Groups").empty());
    ASSERT_TRUE(ini.UpdateFile());
  }
  TDriveModel other;
  TMemIniFile ini(file.string());
  other.ProjectState.ReadFromIniFile(ini);
  EXPECT_EQ(other.TargetInfo[0].Version, 0x80000001u);
  EXPECT_EQ(other.TargetInfo[2].Checksum, 77u);
  EXPECT_EQ(other.TargetInfo[3].GroupCount, 0);
  EXPECT_EQ(other.Strings.DriveModeList.GetString(0), "Speed mode");
  EXPECT_EQ(other.Strings.GroupNameLists[2]->GetString(1), "Gr\xFC\x62");
  EXPECT_EQ(other.Strings.GroupParentLists[2]->GetString(1), "Motor");
  EXPECT_EQ(other.Strings.GroupParentLists[2]->Find(0), nullptr) << "empty values are skipped";
  // read strings wait for the drive's confirmation
  EXPECT_EQ(other.Strings.GroupNameLists[2]->Verified(), 0);
  fs::remove(file);
}

}  // namespace
}  // namespace zeb7
