#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ModelTestSupport.h"

namespace zeb7 {
namespace {

using test::FakeDrive;
using test::FakeLink;
using test::Pump;

class ExchVarsTest : public ::testing::Test {
 protected:
  ExchVarsTest() { m.ExchVars.SetLink(&link); }
  TDriveModel m;
  FakeLink link;
};

TEST_F(ExchVarsTest, IdlePostsOneTelegramOnlyWhileFewerThanFiveAreQueued) {
  link.queueSize = 5;
  EXPECT_FALSE(m.ExchVars.Idle());
  link.queueSize = 4;
  EXPECT_TRUE(m.ExchVars.Idle());
  EXPECT_EQ(link.posted.size(), 1u);
  link.opened = false;
  link.queueSize = 0;
  EXPECT_FALSE(m.ExchVars.Idle());
}

TEST_F(ExchVarsTest, DispatcherDeclinesHighTargetsAndRoutesByCommand) {
  EXPECT_FALSE(m.ExchVars.Dispatch(test::Answer(kCmdStatus, 10, 6)));
  EXPECT_TRUE(m.ExchVars.Dispatch(test::Answer(kCmdStatus, 0, 6)));
  EXPECT_TRUE(m.ExchVars.Dispatch(test::Answer(kCmdRuntimeError, 3, 0)));
  EXPECT_FALSE(m.ExchVars.Dispatch(test::Answer(test::kUnknownCommand, 0, 0)));
  m.Strings.TypePlateLists[2]->RequestAllStrings(1);
  TTelegram plate = test::Answer(kCmdTypePlate, 2, 4);
  EXPECT_TRUE(m.ExchVars.Dispatch(plate));
  EXPECT_EQ(m.Strings.TypePlateLists[2]->At(0)->ControllerStringState, VerifyCaption);
}

TEST_F(ExchVarsTest, DriveCommandGoesToPresentTargetsWithOneSequenceNumber) {
  m.TargetInfo[3].fNotPresent = true;
  m.TargetInfo[7].fNotPresent = true;
  m.ExchVars.SendCommand(3);
  ASSERT_EQ(link.posted.size(), 8u);
  for (const auto& t : link.posted) {
    EXPECT_EQ(t->bCommand, 21);
    EXPECT_EQ(t->bLength, 4);
    EXPECT_EQ(t->iRetry, 5);
    EXPECT_EQ(t->baData[0], 3);
    EXPECT_EQ(t->baData[2], 2);  // the first number sent is 2
    EXPECT_NE(t->bTarget, 3);
    EXPECT_NE(t->bTarget, 7);
  }
  link.opened = false;
  for (int i = 0; i < 65532; ++i) m.ExchVars.SendCommand(2);
  EXPECT_EQ(m.ExchVars.CommandSequence(), 65534);
  m.ExchVars.SendCommand(2);
  EXPECT_EQ(m.ExchVars.CommandSequence(), 1);
  EXPECT_EQ(link.posted.size(), 8u) << "a closed port sends nothing";
}

TEST_F(ExchVarsTest, StringsAreCutAtOneHundredCharacters) {
  m.ExchVars.SendString(kCmdWriteTypePlate, 1, 4, 0x1234, std::string(150, 'a'));
  ASSERT_EQ(link.posted.size(), 1u);
  const TTelegram& t = *link.posted.front();
  EXPECT_EQ(t.bLength, 105);
  EXPECT_EQ(t.baData[103], 'a');
  EXPECT_EQ(t.baData[104], 0);
  EXPECT_EQ(t.baData[2], 0x34);
  m.ExchVars.SendString(kCmdWriteTypePlate, 1, 4, 0, "");
  EXPECT_EQ(link.posted.back()->bLength, 5);
}

TEST_F(ExchVarsTest, TypePlateEditIsSentAndReadBack) {
  auto& plate = *m.Strings.TypePlateLists[1];
  plate.SetControllerString(2, "Old");
  plate.At(0)->ControllerStringState = 0;
  const uint16_t old = plate.At(0)->wChecksum;
  m.ExchVars.WriteTypePlateLine(1, 2, "New \xC4");
  ASSERT_EQ(link.posted.size(), 1u);
  const TTelegram& t = *link.posted.front();
  EXPECT_EQ(t.bCommand, 33);
  EXPECT_EQ(t.bTarget, 1);
  EXPECT_EQ(t.baData[0], 2);
  EXPECT_EQ(t.baData[2] | (t.baData[3] << 8), old);
  EXPECT_EQ(t.baData[8], 0xC4) << "Latin-1 goes out unchanged";
  EXPECT_EQ(t.bLength, 5 + 5);
  EXPECT_EQ(plate.At(0)->ControllerStringState, VerifyChecksum | VerifyCaption);
}

TEST_F(ExchVarsTest, ValueWriteWithClosedPortReturnsQueueLength) {
  link.queueSize = 2;
  link.opened = false;
  EXPECT_EQ(m.ExchVars.SendMonitorData(1, 0, 0x55, 7, false, 5), 2);
  EXPECT_TRUE(link.posted.empty());
  link.opened = true;
  EXPECT_EQ(m.ExchVars.SendMonitorData(1, 0, 0x55, 7, false, 5), 3);
}

TEST_F(ExchVarsTest, GroupNameOfAnUndescribedParameterNeverReachesTheDrive) {
  // A table or a parameter file reads every group name during the sync.
  m.ParameterList.GetParameter(0, 0);
  EXPECT_EQ(m.ParameterList.Find(0, 0)->sGroupName(), "");
  for (int i = 0; i < 50; ++i) {
    m.ExchVars.Idle();
    while (auto t = link.Take()) EXPECT_NE(t->bCommand, 30) << "string 65535 requested";
  }
}

TEST_F(ExchVarsTest, SynchronisesTwoTargetsToDoneAndFollowsAChecksumChange) {
  FakeDrive drive;
  drive.AddTarget(0, 60, 4);
  drive.AddTarget(1, 5, 2);
  std::vector<int64_t> refreshes;
  m.Context.Broadcaster.Subscribe([&](int msg, int64_t l) {
    if (msg == WM_REFRESH_DISPLAYS) refreshes.push_back(l);
  });
  // after a port change; target 0's unknown checksum turns it into a full read
  m.ProjectState.Reset();
  m.ProjectState.Restart();
  auto done = [&] { return m.ProjectState.ProjState() == statDone && !m.ProjectState.fUpdateInProgress(); };
  Pump(m, link, drive, done);
  ASSERT_TRUE(done());
  EXPECT_EQ(refreshes, (std::vector<int64_t>{0, 2}));
  EXPECT_EQ(m.ParameterList.Count(), 65);
  for (int pos = 0; pos < m.ParameterList.Count(); ++pos) {
    TParameter* p = m.ParameterList.At(pos);
    const auto& want = drive.targets[p->P.iMyTarget].params[static_cast<size_t>(p->P.iMyIndex)];
    EXPECT_EQ(p->P.sFirmwareName, want.name);
    EXPECT_EQ(p->P.sControl, "NUMERIC");
    EXPECT_EQ(p->P.iUserClass, 1);
    EXPECT_EQ(p->P.iTypeNr, want.type);
    EXPECT_EQ(p->sGroupName(), "Group" + std::to_string(want.group % 4 == want.group ? want.group : 0));
    EXPECT_EQ(p->ParamState(), ParamStateAllOK);
  }
  EXPECT_EQ(m.Strings.TypePlateLists[1]->GetString(1), "Serial 123");
  EXPECT_EQ(m.Strings.GroupParentLists[0]->GetString(2), "Group0");
  for (int t = 2; t < 10; ++t) EXPECT_TRUE(m.TargetInfo[t].fNotPresent) << t;

  // target 1 changes a caption and its global checksum: read again, no reset
  drive.targets[1].params[3].caption = "Renamed";
  drive.targets[1].params[3].checksum = 0x999;
  drive.targets[1].info.checksum = 0x1001;
  Pump(m, link, drive, [&] { return m.ProjectState.ProjState() != statDone; }, 2000);
  Pump(m, link, drive, done);
  ASSERT_TRUE(done());
  EXPECT_EQ(m.ParameterList.Find(3, 1)->P.sCaption, "Renamed");
  EXPECT_EQ(m.ParameterList.Find(3, 1)->P.wChecksum, 0x999);
  EXPECT_EQ(m.TargetInfo[1].Checksum, 0x1001u);
  EXPECT_EQ(m.ParameterList.Count(), 65);

  // target 0 changes: the whole database is cleared and read again
  drive.targets[0].params.pop_back();
  drive.Sync(0);
  drive.targets[0].info.checksum = 0x2000;
  refreshes.clear();
  Pump(m, link, drive, [&] { return m.ProjectState.ProjState() != statDone; }, 2000);
  Pump(m, link, drive, done);
  ASSERT_TRUE(done());
  EXPECT_EQ(m.ParameterList.Count(), 64);
  EXPECT_EQ(refreshes, (std::vector<int64_t>{0, 2}));
  EXPECT_EQ(m.TargetInfo[0].Checksum, 0x2000u);
}

TEST_F(ExchVarsTest, DrivesThatOnlyAcknowledgeOrOnlyRefuseEndWithNothingPresent) {
  for (TTelegramType kind : {ttAck, ttNak}) {
    TDriveModel model;
    FakeLink l;
    model.ExchVars.SetLink(&l);
    model.ProjectState.Reset();
    model.ProjectState.Restart();
    model.ProjectState.SearchParams();
    for (int round = 0; round < 2000; ++round) {
      model.ExchVars.Idle();
      while (auto req = l.Take()) {
        TTelegram ans = *req;
        ans.ttType = kind;
        if (!(kind == ttNak && model.ProjectState.HandleNakTelegram(ans))) model.ExchVars.Dispatch(ans);
      }
    }
    for (int t = 0; t < 10; ++t) EXPECT_TRUE(model.TargetInfo[t].fNotPresent) << t << " kind " << kind;
    EXPECT_EQ(model.ProjectState.ProjState(), statDone);
    EXPECT_EQ(model.ParameterList.Count(), 0);
    // acknowledged versions keep being probed; refused targets are left alone
    EXPECT_EQ(model.TargetInfo[4].fVersionSeen.load(), kind == ttAck);
  }
}

TEST_F(ExchVarsTest, ProducerAndMainThreadChangesDoNotRace) {
  FakeDrive drive;
  drive.AddTarget(0, 40, 3);
  std::atomic<bool> stop{false};
  // the worker's side: idle polls posting into a locked queue
  struct LockedLink : ITelegramLink {
    bool Opened() const override { return true; }
    int GetSendQueueSize() const override {
      std::lock_guard l(mu);
      return static_cast<int>(q.size());
    }
    void PostTelegram(std::unique_ptr<TTelegram> t) override {
      std::lock_guard l(mu);
      q.push_back(std::move(t));
    }
    std::unique_ptr<TTelegram> Take() {
      std::lock_guard l(mu);
      if (q.empty()) return nullptr;
      auto t = std::move(q.front());
      q.pop_front();
      return t;
    }
    mutable std::mutex mu;
    std::deque<std::unique_ptr<TTelegram>> q;
  } shared;
  m.ExchVars.SetLink(&shared);
  std::thread worker([&] {
    while (!stop) m.ExchVars.Idle();
  });
  // the main thread: answers, resets and re-reads while the worker polls
  int answered = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (answered < 1200 && std::chrono::steady_clock::now() < until) {
    auto req = shared.Take();
    if (!req) {
      std::this_thread::yield();
      continue;
    }
    TTelegram ans = drive.Answer(*req);
    if (!(ans.ttType == ttNak && m.ProjectState.HandleNakTelegram(ans))) m.ExchVars.Dispatch(ans);
    ++answered;
    if (answered % 400 == 0) {
      m.ProjectState.Reset();
      m.ProjectState.Restart();
    }
    if (answered % 150 == 0) m.Strings.GroupNameLists[0]->RequestAllStrings(3);
    if (answered % 90 == 0) m.ParameterList.GetParameter(answered, 0).P.sGroupName.clear();
  }
  stop = true;
  worker.join();
  EXPECT_GE(answered, 1200);
}

TEST(Broadcaster, AFailingSubscriberDoesNotStopTheOthers) {
  TBroadcaster b;
  std::vector<int> got;
  b.Subscribe([&](int m, int64_t) { got.push_back(m); });
  b.Subscribe([](int, int64_t) { throw std::runtime_error("window gone"); });
  int id = b.Subscribe([&](int m, int64_t l) { got.push_back(m + static_cast<int>(l)); });
  b.Broadcast(WM_REFRESH_DISPLAYS, 2);
  EXPECT_EQ(got, (std::vector<int>{WM_REFRESH_DISPLAYS, WM_REFRESH_DISPLAYS + 2}));
  b.Unsubscribe(id);
  b.Broadcast(WM_TYPEPLATE_CHANGED, 1);
  EXPECT_EQ(got.back(), WM_TYPEPLATE_CHANGED);
  EXPECT_EQ(got.size(), 3u);
}

}  // namespace
}  // namespace zeb7
