#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/UParamGrp.h"

namespace zeb7 {
namespace {

using test::Answer;

TTelegram StringAnswer(int cmd, int target, int index, uint16_t checksum, const std::string* text) {
  TTelegram t = Answer(cmd, target, 4);
  tdata::SetWord(t, 0, static_cast<uint32_t>(index));
  tdata::SetWord(t, 2, checksum);
  if (text) {
    tdata::SetText(t, 4, *text, 255);
    t.bLength = static_cast<uint8_t>(5 + text->size());
  }
  return t;
}

TEST(ControllerString, ChecksumAddsLatin1CodeUnitsAndWraps) {
  EXPECT_EQ(test::StringChecksum(0, ""), 4369);
  EXPECT_EQ(test::StringChecksum(43690, ""), 4369);
  // "Ä" is one code unit 0xC4, not the two bytes of its UTF-8 form
  EXPECT_EQ(test::StringChecksum(1, "\xC4"), (1 + 0xC4) % 43690 + 4369);
  // the sum wraps at 16 bits before the modulo
  EXPECT_EQ(test::StringChecksum(0xFFFF, "\x02"), (1 % 43690) + 4369);
}

class StringListTest : public ::testing::Test {
 protected:
  TModelContext ctx;
};

TEST_F(StringListTest, EmptyListAsksNothingAndCountsAsVerified) {
  TControllerStringList list(30, 0, 0, false, ctx);
  TTelegram t;
  EXPECT_FALSE(list.MakeTelegram(t));
  EXPECT_EQ(list.Verified(), 100);
}

TEST_F(StringListTest, RequestAllStringsTrimsAndMarksUnverified) {
  TControllerStringList list(30, 0, 0, false, ctx);
  for (int i = 0; i < 6; ++i) {
    list.SetControllerString(i, "s" + std::to_string(i));
    list.GetControllerString(i).ControllerStringState = 0;
    list.GetControllerString(i).wChecksum = 1;
  }
  list.RequestAllStrings(3);
  ASSERT_EQ(list.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    const TControllerString* s = list.At(i);
    EXPECT_EQ(s->iMyIndex, i);
    EXPECT_EQ(s->ControllerStringState, VerifyChecksum | VerifyCaption);
    EXPECT_EQ(s->wChecksum, s->CalcChecksum());
  }
}

TEST_F(StringListTest, NegativeAnswerCompletesOnlyListsThatAcceptIt) {
  TControllerStringList descr(38, 0, 0, true, ctx);
  TControllerStringList names(30, 0, 0, false, ctx);
  descr.RequestAllStrings(1);
  names.RequestAllStrings(1);
  descr.HandleTelegram(test::Refusal(kCmdGroupDescription, 0, 0));
  names.HandleTelegram(test::Refusal(kCmdGroupName, 0, 0));
  EXPECT_EQ(descr.Verified(), 100);
  EXPECT_EQ(names.Verified(), 0);
}

TEST_F(StringListTest, ChecksumWithoutTextKeepsAskingForText) {
  TControllerStringList list(30, 0, 0, false, ctx);
  list.RequestAllStrings(1);
  const uint16_t cs = list.At(0)->wChecksum;
  list.HandleTelegram(StringAnswer(kCmdGroupName, 0, 0, cs, nullptr));
  TTelegram req;
  ASSERT_TRUE(list.MakeTelegram(req));
  EXPECT_EQ(req.baData[2], 0);  // mode 0: checksum and text
  const std::string text = "Motor";
  list.HandleTelegram(StringAnswer(kCmdGroupName, 0, 0, test::StringChecksum(0, text), &text));
  EXPECT_EQ(list.GetString(0), "Motor");
  EXPECT_EQ(list.Verified(), 100);
}

TEST_F(StringListTest, TypePlateChangeBroadcastsOnceAndUnchangedStringsStayQuiet) {
  std::vector<std::pair<int, int64_t>> got;
  ctx.Broadcaster.Subscribe([&](int m, int64_t l) { got.emplace_back(m, l); });
  TControllerStringList plate(kCmdTypePlate, WM_TYPEPLATE_CHANGED, 2, false, ctx);
  const std::string line = "Serial 42";
  plate.RequestAllStrings(1);
  plate.HandleTelegram(StringAnswer(kCmdTypePlate, 2, 0, test::StringChecksum(0, line), &line));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], std::make_pair(WM_TYPEPLATE_CHANGED, int64_t{1}));

  TControllerStringList quiet(kCmdTypePlate, WM_TYPEPLATE_CHANGED, 3, false, ctx);
  quiet.SetControllerString(0, "");
  quiet.HandleTelegram(StringAnswer(kCmdTypePlate, 3, 0, test::StringChecksum(0, ""), nullptr));
  const std::string empty;
  quiet.HandleTelegram(StringAnswer(kCmdTypePlate, 3, 0, test::StringChecksum(0, ""), &empty));
  EXPECT_EQ(got.size(), 1u);
}

TEST_F(StringListTest, BackOffSkipsAndOtherTargetsAreNotTaken) {
  TControllerStringList list(30, 0, 4, false, ctx);
  list.RequestAllStrings(1);
  EXPECT_FALSE(list.HandleTelegram(test::Refusal(kCmdGroupName, 5, 0)));
  EXPECT_FALSE(list.HandleTelegram(test::Refusal(kCmdDriveMode, 4, 0)));
  for (int i = 0; i < 10; ++i) list.HandleTelegram(test::Refusal(kCmdGroupName, 4, 0));
  EXPECT_EQ(list.At(0)->iNakCounter, 500);
  TTelegram t;
  for (int i = 0; i < 100 && !list.MakeTelegram(t); ++i) {
  }
  // skipped while the counter was 500 down to 480: asked again at 479
  EXPECT_EQ(list.At(0)->iNakCounter, 479);
  EXPECT_EQ(t.bTarget, 4);
  EXPECT_EQ(t.bCommand, 30);
  // an index of 65535 stays 65535 and never becomes -1
  list.HandleTelegram(test::Refusal(kCmdGroupName, 4, 0xFFFF, ttAck));
  EXPECT_NE(list.Find(65535), nullptr);
  EXPECT_EQ(list.Find(-1), nullptr);
}

TEST_F(StringListTest, GetStringNeverCreates) {
  TControllerStringList list(30, 0, 0, false, ctx);
  EXPECT_EQ(list.GetString(-1), "");
  EXPECT_EQ(list.GetString(7), "");
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace zeb7
