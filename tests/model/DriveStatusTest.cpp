#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/DriveStatus.h"

namespace zeb7 {
namespace {

using test::Answer;

class DriveStatusTest : public ::testing::Test {
 protected:
  DriveStatusTest() : s(targets) { s.SendCommand = [this](uint16_t c) { sent.push_back(c); }; }
  TTelegram Status(uint16_t status, uint16_t latest, int length, uint8_t status2 = 0) {
    TTelegram t = Answer(kCmdStatus, 0, length);
    tdata::SetWord(t, 0, status);
    tdata::SetWord(t, 2, latest);
    t.baData[5] = status2;
    return t;
  }
  // The status message numbers asked over `calls` producer calls.
  std::vector<int> Poll(int calls) {
    std::vector<int> asked;
    for (int i = 0; i < calls; ++i) {
      TTelegram t;
      if (s.MakeTelegram(t)) asked.push_back(t.bCommand == kCmdStatusMessage ? s.wLastStatusMsgRequested.load() : -t.bCommand);
    }
    return asked;
  }
  TTargetInfoArray targets;
  TDriveStatus s;
  std::vector<uint16_t> sent;
};

TEST_F(DriveStatusTest, OnlyTheSevenNewestMessagesAreFetched) {
  s.HandleStatusTelegram(Status(0, 20, 6));
  EXPECT_EQ(Poll(42), (std::vector<int>{14, 15, 16, 17, 18, 19, 20}));
  TTelegram t;
  s.wLastStatusMsgRequested = 9;
  s.HandleStatusTelegram(Status(0, 3, 6));
  s.iStatusPollStep = 0;
  ASSERT_TRUE(s.MakeTelegram(t));
  EXPECT_EQ(s.wLastStatusMsgRequested, 0);
  EXPECT_EQ(t.bLength, 1);
  EXPECT_EQ(t.baData[0], 0);
}

TEST_F(DriveStatusTest, SixCallsAskEachKindAtMostOnce) {
  s.HandleStatusTelegram(Status(0x0300, 50, 6));
  std::vector<int> asked = Poll(6);
  EXPECT_EQ(asked, (std::vector<int>{44, -6, -7}));
  // with nothing new the step advances within the call, so a round takes five calls
  s.wLastStatusMsgRequested = 50;
  s.iStatusPollStep = 0;
  EXPECT_EQ(Poll(5), (std::vector<int>{-6, -7}));
  EXPECT_EQ(Poll(5), (std::vector<int>{-6, -7}));
  s.HandleStatusTelegram(Status(0x0200, 50, 6));
  EXPECT_EQ(Poll(4), (std::vector<int>{-7}));
}

TEST_F(DriveStatusTest, MessagesAreShownOnceAndTheListKeepsThirtyOneLines) {
  TTelegram m = Answer(kCmdStatusMessage, 0, 8);
  tdata::SetWord(m, 0, 12);
  tdata::SetText(m, 2, "Hello", 255);
  s.HandleErrorTelegram(m);
  s.HandleErrorTelegram(m);
  ASSERT_EQ(s.Messages().size(), 1u);
  EXPECT_EQ(s.Messages().front(), "12: Hello");
  for (int i = 0; i < 40; ++i) s.ShowStatusMessage("line " + std::to_string(i));
  EXPECT_EQ(s.Messages().size(), 31u);
  EXPECT_EQ(s.Messages().back(), "line 39");
  EXPECT_EQ(s.Messages().front(), "line 9");
}

TEST_F(DriveStatusTest, RefusedRequestsReadAsTheirOwnContent) {
  // a refused status message request carries its slot and no text
  TTelegram req;
  s.HandleStatusTelegram(Status(0, 11, 6));
  s.wLastStatusMsgRequested = 10;
  s.iStatusPollStep = 0;
  ASSERT_TRUE(s.MakeTelegram(req));
  req.ttType = ttNak;
  s.HandleErrorTelegram(req);
  ASSERT_EQ(s.Messages().size(), 1u);
  EXPECT_EQ(s.Messages().back(), "3: ");
  // a refused status request clears the status and puts every drive button up
  s.HandleStatusTelegram(Status(0, 0, 6, 0x03));
  TTelegram statusReq = Answer(kCmdStatus, 0, 0);
  statusReq.ttType = ttNak;
  s.HandleStatusTelegram(statusReq);
  EXPECT_EQ(s.DownButton(), dbNone);
  EXPECT_EQ(s.wLatestStatusMessage, 0);
}

TEST_F(DriveStatusTest, ErrorTextsFollowTheirStatusBits) {
  TTelegram e = Answer(kCmdControllerError, 0, 47);
  tdata::SetText(e, 0, std::string(60, 'x'), 255);
  s.HandleStatusTelegram(Status(0x0100, 0, 6));
  s.HandleErrorTelegram(e);
  EXPECT_EQ(s.ControllerError(), std::string(47, 'x'));
  s.HandleStatusTelegram(Status(0, 0, 6));
  EXPECT_EQ(s.ControllerError(), std::string(47, 'x')) << "kept until an answer arrives with the bit clear";
  s.HandleErrorTelegram(e);
  EXPECT_EQ(s.ControllerError(), "");
}

TEST_F(DriveStatusTest, DriveButtonsFollowTheStatusBytes) {
  s.HandleStatusTelegram(Status(0, 0, 6, 0x01));
  EXPECT_EQ(s.DownButton(), dbControlByATA);
  EXPECT_FALSE(s.ActionButtonsEnabled());
  s.HandleStatusTelegram(Status(0, 0, 6, 0x03));
  EXPECT_EQ(s.DownButton(), dbEnableDrive);
  s.HandleStatusTelegram(Status(0x0001, 0, 6, 0x00));
  EXPECT_EQ(s.DownButton(), dbDisableDrive);
  EXPECT_EQ(s.DisableCaption(), "Disable Drive");
  EXPECT_TRUE(s.ActionButtonsEnabled());
  s.HandleStatusTelegram(Status(0x0001, 0, 6, 0x04));
  EXPECT_EQ(s.DownButton(), dbNone);
  EXPECT_EQ(s.DisableCaption(), "Reset Drive Error");
  EXPECT_EQ(s.DisableCaptionColour(), kColourRed);
  s.HandleStatusTelegram(Status(0, 0, 5));
  EXPECT_EQ(s.DownButton(), dbNone);
  EXPECT_FALSE(s.ActionButtonsEnabled());
  TTelegram other = Status(0, 0, 6, 0x00);
  other.bTarget = 1;
  s.HandleStatusTelegram(other);
  EXPECT_EQ(s.DownButton(), dbNone) << "only target 0 counts";
}

TEST_F(DriveStatusTest, ParameterSetsTakeActiveSetAndValidMaskAsSent) {
  TTelegram t = Status(0, 0, 11, 0);
  t.baData[11] = 5;
  tdata::SetWord(t, 12, 0x0021);
  s.HandleStatusTelegram(t);
  EXPECT_EQ(s.ParamSetDown(), 5);
  EXPECT_EQ(s.ParamSetColour(0), kColourGreen);
  EXPECT_EQ(s.ParamSetColour(5), kColourGreen);
  EXPECT_EQ(s.ParamSetColour(1), kColourRed);
  s.HandleStatusTelegram(Status(0, 0, 10, 0));
  EXPECT_EQ(s.ParamSetDown(), 0);
  EXPECT_EQ(s.ParamSetColour(5), kColourGreen) << "a short answer keeps the mask";
}

TEST_F(DriveStatusTest, ButtonsSendTheirCommandCodes) {
  s.ClickEnableDrive();
  s.ClickDisableDrive();
  s.ClickControlByATA();
  s.ClickWriteFlash();
  s.ClickParamSet(3);
  s.DeleteParamSetConfirmed();
  EXPECT_EQ(sent, (std::vector<uint16_t>{3, 2, 1, 4, 3 * 256 + 8, 12}));
  sent.clear();
  targets[0].ParamVersion = 17;
  EXPECT_EQ(s.RenameDefault(), "17");
  EXPECT_FALSE(s.RenameParamVersion("256"));
  EXPECT_FALSE(s.RenameParamVersion("abc"));
  EXPECT_FALSE(s.RenameParamVersion("-1"));
  EXPECT_FALSE(s.RenameParamVersion(""));
  EXPECT_TRUE(s.RenameParamVersion(" 255"));
  EXPECT_EQ(sent, (std::vector<uint16_t>{255 * 256 + 10}));
}

}  // namespace
}  // namespace zeb7
