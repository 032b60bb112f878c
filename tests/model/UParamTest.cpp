#include <gtest/gtest.h>

#include "ModelTestSupport.h"

namespace zeb7 {
namespace {

using test::DescriptorAnswer;
using test::FakeDisplay;
using test::ValueAnswer;

class ParamTest : public ::testing::Test {
 protected:
  // A parameter with a complete descriptor (checksum 0x55) and a display window.
  TParameter& Complete(int index, int target, FakeDisplay* win = nullptr) {
    TParameter& p = m.ParameterList.GetParameter(index, target);
    m.ParameterList.HandleTelegram(DescriptorAnswer(kCmdGetFirmwareName, target, index, 0x55, 1, 0, "SPEED"));
    m.ParameterList.HandleTelegram(DescriptorAnswer(kCmdGetControl, target, index, 0x55, 1, 0, "NUMERIC"));
    m.ParameterList.HandleTelegram(DescriptorAnswer(kCmdGetCaption, target, index, 0x55, 1, 0, "Speed"));
    m.ParameterList.HandleTelegram(DescriptorAnswer(kCmdGetProperties, target, index, 0x55, 1, 0, "5|2"));
    if (win) p.AddDisplay(win);
    return p;
  }
  TTelegram Next() {
    TTelegram t;
    EXPECT_TRUE(m.ParameterList.MakeTelegram(t));
    return t;
  }
  TDriveModel m;
};

TEST_F(ParamTest, CycleAsksVersionsThenStatusThenParameters) {
  for (int t = 0; t < 10; ++t) m.TargetInfo[t].fNotPresent = t >= 2;
  m.ParameterList.GetParameter(0, 0);
  std::vector<std::pair<int, int>> seen;
  for (int i = 0; i < 100 && seen.size() < 6; ++i) {
    TTelegram t;
    if (m.ParameterList.MakeTelegram(t)) seen.emplace_back(t.bCommand, t.bTarget);
  }
  // the sixth request shows that the cycle wrapped (a signed comparison with the count)
  std::vector<std::pair<int, int>> want = {{3, 0}, {3, 1}, {4, 0}, {4, 1}, {12, 0}, {3, 0}};
  EXPECT_EQ(seen, want);
}

TEST_F(ParamTest, AbsentTargetSeenBeforeIsProbedOnceWithoutRetry) {
  for (auto& ti : m.TargetInfo) ti.fNotPresent = true;
  m.TargetInfo[1].fVersionSeen = true;
  std::vector<TTelegram> probes;
  for (int i = 0; i < 100; ++i) {
    TTelegram t;
    if (m.ParameterList.MakeTelegram(t)) probes.push_back(t);
  }
  ASSERT_FALSE(probes.empty());
  for (const auto& t : probes) {
    EXPECT_EQ(t.bCommand, 3);
    EXPECT_EQ(t.bTarget, 1);
    EXPECT_EQ(t.iRetry, 0);
  }
  // one probe per tenth cycle: TargetToCheck moves on at every wrap
  EXPECT_LE(probes.size(), 100u / 21u / 10u + 1u);
}

TEST_F(ParamTest, DescriptorIsReadFieldByFieldThenValuesOnlyWhileDisplayed) {
  for (auto& ti : m.TargetInfo) ti.fNotPresent = true;
  TParameter& p = m.ParameterList.GetParameter(7, 2);
  std::vector<int> cmds;
  // the next parameter request, answered the way the drive would
  auto answerNext = [&] {
    for (int i = 0; i < 1000; ++i) {
      TTelegram t;
      if (!m.ParameterList.MakeTelegram(t) || t.bCommand < 10) continue;
      EXPECT_EQ(t.bTarget, 2);
      EXPECT_EQ(t.bLength, 3);
      EXPECT_EQ(t.baData[0], 7);
      static const char* texts[] = {"FW_NAME", "numeric", "Caption", "1|2"};
      if (t.bCommand >= 12)
        m.ParameterList.HandleTelegram(DescriptorAnswer(t.bCommand, 2, 7, 0x99, 3, -2, texts[t.bCommand - 12]));
      if (t.bCommand == kCmdGetValue) m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 2, 7, 0x99, 5));
      return static_cast<int>(t.bCommand);
    }
    return -1;
  };
  for (int i = 0; i < 6; ++i) cmds.push_back(answerNext());
  EXPECT_EQ(cmds.back(), -1) << "an undisplayed, verified parameter is not polled";
  cmds.pop_back();
  EXPECT_EQ(cmds, (std::vector<int>{12, 13, 14, 15, 10}));
  EXPECT_EQ(p.ParamState(), ParamStateAllOK);
  EXPECT_EQ(p.P.iTypeNr, -2);
  EXPECT_EQ(p.P.iGroupNr, 3);
  FakeDisplay win;
  p.AddDisplay(&win);
  EXPECT_EQ(answerNext(), 10);
  p.fUseGetParamValue2 = true;
  EXPECT_EQ(answerNext(), 11);
}

TEST_F(ParamTest, UserClassFollowsLetterCaseAndKindIsUpperCased) {
  struct Case {
    const char* text;
    int cls;
  } cases[] = {{"Numeric", 1}, {"numeric", 2}, {"NUMERIC", 0}, {"nUMERIC", 0}, {"Th", 0}};
  int index = 0;
  for (const auto& c : cases) {
    TParameter& p = m.ParameterList.GetParameter(index, 0);
    m.ParameterList.HandleTelegram(DescriptorAnswer(kCmdGetControl, 0, index, 1, 0, 0, c.text));
    if (std::string(c.text).size() < 3) {
      EXPECT_EQ(p.ParamState() & ControlOK, 0) << c.text;
      EXPECT_EQ(p.P.iGroupNr, -1) << "a short text changes nothing, not even the group";
    } else {
      EXPECT_EQ(p.P.iUserClass, c.cls) << c.text;
      EXPECT_EQ(p.P.sControl, "NUMERIC") << c.text;
    }
    ++index;
  }
}

TEST_F(ParamTest, FourthChecksumMismatchInARowRereadsDescriptor) {
  FakeDisplay win;
  TParameter& p = Complete(1, 0, &win);
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 1, 0x55, 3));
  ASSERT_EQ(p.ParamState(), ParamStateAllOK);
  for (int i = 0; i < 3; ++i) m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 1, 0x56, 9));
  EXPECT_EQ(p.ParamState(), ParamStateAllOK);
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 1, 0x55, 4));  // a match resets the count
  for (int i = 0; i < 3; ++i) m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 1, 0x56, 9));
  EXPECT_EQ(p.ParamState(), ParamStateAllOK);
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 1, 0x56, 9));
  EXPECT_EQ(p.ParamState(), 0);
  EXPECT_EQ(win.values, (std::vector<int64_t>{3, 4}));
}

TEST_F(ParamTest, WideAndSignExtendedValuesReachWindowsAndBrokenWindowsAreSkipped) {
  FakeDisplay broken, win;
  broken.throwOnValue = true;
  TParameter& p = Complete(2, 0, &broken);
  p.AddDisplay(&win);
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 2, 0x55, 0x123456789ALL, 12));
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 2, 0x55, 0x00000000FFFFFFFELL, 8));
  EXPECT_EQ(win.values, (std::vector<int64_t>{0x123456789ALL, -2}));
  EXPECT_EQ(p.iValue, -2);
  // a value answer too short to carry a value shows nothing
  TTelegram shortAnswer = ValueAnswer(kCmdGetValue, 0, 2, 0x55, 77, 6);
  m.ParameterList.HandleTelegram(shortAnswer);
  EXPECT_EQ(win.values.size(), 2u);
}

TEST_F(ParamTest, WriteTogglesValueCommandSoStaleReadsAreNotShown) {
  test::FakeLink link;
  m.ExchVars.SetLink(&link);
  FakeDisplay win;
  TParameter& p = Complete(3, 1, &win);
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 1, 3, 0x55, 1));
  win.local = p.Descriptor();
  win.rawToSend = -5;
  m.ExchVars.SendeNeuenWert(&win);
  auto sent = link.Take();
  ASSERT_TRUE(sent);
  EXPECT_EQ(sent->bCommand, 20);
  EXPECT_TRUE(sent->fCritical);
  EXPECT_EQ(sent->bLength, 12);
  EXPECT_EQ(sent->baData[2], 0x55);
  EXPECT_EQ(sent->baData[11], 0xFF);  // -5 as 64 bits
  EXPECT_TRUE(p.fUseGetParamValue2);
  win.values.clear();
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 1, 3, 0x55, 1));   // read sent before the write
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdSetValue, 1, 3, 0x55, -5));  // echo of the write
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue2, 1, 3, 0x55, -5));
  EXPECT_EQ(win.values, (std::vector<int64_t>{-5, -5}));
}

TEST_F(ParamTest, StaleWindowChecksumRequestsVerificationAndSendsNothing) {
  test::FakeLink link;
  m.ExchVars.SetLink(&link);
  FakeDisplay win;
  TParameter& p = Complete(4, 0, &win);
  m.ParameterList.HandleTelegram(ValueAnswer(kCmdGetValue, 0, 4, 0x55, 1));
  win.local = p.Descriptor();
  win.local.wChecksum = 0x54;
  m.ExchVars.SendeNeuenWert(&win);
  EXPECT_TRUE(link.posted.empty());
  EXPECT_EQ(p.ParamState(), 0);
}

TEST_F(ParamTest, BackOffOfTenRefusalsSkipsTwentyOneTimes) {
  for (auto& ti : m.TargetInfo) ti.fNotPresent = true;
  TParameter& p = m.ParameterList.GetParameter(0, 0);
  for (int i = 0; i < 10; ++i) m.ParameterList.HandleTelegram(test::Refusal(kCmdGetValue, 0, 0));
  EXPECT_EQ(p.iNakCounter, 500);
  int skipped = 0;
  TTelegram t;
  while (!m.ParameterList.MakeTelegram(t)) ++skipped;
  // with one parameter a call looks at two positions: count the parameter's turns
  EXPECT_EQ(p.iNakCounter, 479);
  EXPECT_EQ(t.bCommand, 12);
  m.ParameterList.HandleTelegram(test::Refusal(kCmdGetValue, 0, 0, ttAck));
  EXPECT_EQ(p.iAckCounter, 200);
  EXPECT_GT(skipped, 0);
}

TEST_F(ParamTest, FirmwareNameChangeDropsOtherWindowsAndChangedDescriptorUpdatesTheRest) {
  FakeDisplay same, other;
  same.local.sFirmwareName = "SPEED";
  other.local.sFirmwareName = "TORQUE";
  TParameter& p = m.ParameterList.GetParameter(5, 0);
  p.AddDisplay(&same);
  p.AddDisplay(&other);
  Complete(5, 0);
  EXPECT_EQ(other.state, dwsNotVerified);
  EXPECT_EQ(p.MyDisplayWins, TDisplayList{&same});
  EXPECT_EQ(same.updates, 1);
  EXPECT_EQ(same.local.wChecksum, 0x55);
  EXPECT_EQ(p.P.wChecksum, 0x55);
}

TEST_F(ParamTest, IndexIsReadUnsignedAndGroupNameLookupCreatesNothing) {
  m.ParameterList.HandleTelegram(test::Refusal(kCmdGetValue, 1, 0xFFFF, ttAck));
  ASSERT_NE(m.ParameterList.Find(65535, 1), nullptr);
  EXPECT_EQ(m.ParameterList.Find(65535, 1)->Key(), 1 * 65536 + 65535);
  EXPECT_EQ(m.ParameterList.Find(-1 & 0xFFFF, 0), nullptr);

  TParameter& p = m.ParameterList.GetParameter(0, 3);
  EXPECT_EQ(p.sGroupName(), "");
  EXPECT_EQ(m.Strings.GroupNameLists[3]->Count(), 0);
  m.Strings.GroupNameLists[3]->SetControllerString(2, "Motor");
  p.P.iGroupNr = 2;
  EXPECT_EQ(p.sGroupName(), "Motor");
}

TEST_F(ParamTest, LookupsByNameReturnTheLastMatchInKeyOrder) {
  for (int i : {4, 9}) {
    TParameter& p = m.ParameterList.GetParameter(i, 0);
    p.P.sFirmwareName = "X";
    p.P.iGroupNr = 1;
  }
  TDispParam d;
  TDisplayList* list = m.ParameterList.DispGetParamByName("X", 0, 1, d);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(d.iMyIndex, 9);
  EXPECT_EQ(m.ParameterList.GetParameterByName("X", 0)->P.iMyIndex, 4);
  EXPECT_EQ(m.ParameterList.DispGetParamByName("X", 1, 1, d), nullptr);
  EXPECT_EQ(m.ParameterList.DispGetParamByIndex(3, 0, d), nullptr);
  EXPECT_EQ(m.ParameterList.Count(), 2);
}

}  // namespace
}  // namespace zeb7
