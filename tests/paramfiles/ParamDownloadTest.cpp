// The paced download against a link that only collects what is posted: pacing,
// outcome per value, closed port, enabled drive, parameters freed meanwhile.
#include <gtest/gtest.h>

#include <deque>

#include "ParamTestModel.h"
#include "link/Commands.h"
#include "link/TelegramData.h"
#include "paramfiles/ParamDownload.h"

using namespace zeb7;
using zeb7::test::ModelBuilder;

namespace {

struct CollectingLink : ITelegramLink {
  bool Opened() const override { return opened; }
  int GetSendQueueSize() const override { return static_cast<int>(queue.size()); }
  void PostTelegram(std::unique_ptr<TTelegram> t) override { queue.push_back(std::move(t)); }
  std::unique_ptr<TTelegram> Take() {
    auto t = std::move(queue.front());
    queue.pop_front();
    return t;
  }
  bool opened = true;
  std::deque<std::unique_ptr<TTelegram>> queue;
};

// The drive's answer carrying `value` (the request's own value by default).
TTelegram AnswerTo(const TTelegram& req, std::optional<int64_t> value = std::nullopt) {
  TTelegram a = req;
  a.ttType = ttNormal;
  if (value) tdata::SetInt64(a, 4, *value);
  return a;
}

struct Fixture {
  ModelBuilder b;
  CollectingLink link;
  TParamDownload dl{link, b.m.ParameterList};
  std::vector<std::string> log;

  explicit Fixture(int n) {
    b.Target(0);
    b.Group(0, 0, "G");
    std::vector<TParamSetting> s;
    for (int i = n - 1; i >= 0; --i) {
      b.Param(0, i, "P" + std::to_string(i), "THUMB", 0, 0, "", "", 0, uint16_t(0x100 + i));
      s.push_back({ParamKey(i, 0), 1000 + i, "G/P" + std::to_string(i)});
    }
    dl.OnLog = [this](const std::string& l) { log.push_back(l); };
    dl.Start(s, 2);
  }
};

}  // namespace

TEST(ParamDownload, PacesTheQueueAndWritesInKeyOrder) {
  Fixture f(25);
  f.dl.Pump();
  ASSERT_EQ(f.link.queue.size(), 11u);  // nothing drains: eleven in a row
  for (int i = 0; i < 11; ++i) {
    const TTelegram& t = *f.link.queue[size_t(i)];
    EXPECT_EQ(t.bCommand, kCmdSetValue);
    EXPECT_EQ(t.bLength, 12);
    EXPECT_EQ(tdata::Word(t, 0), uint32_t(i));
    EXPECT_EQ(tdata::Word(t, 2), uint32_t(0x100 + i));
    EXPECT_EQ(tdata::Int64(t, 4), 1000 + i);
  }
  f.dl.Pump();
  EXPECT_EQ(f.link.queue.size(), 11u);  // more than nine wait: the tick does nothing
  // Answers drain the queue and each refills it, never beyond eleven.
  size_t answered = 0;
  while (!f.link.queue.empty()) {
    auto req = f.link.Take();
    f.dl.OnAnswer(AnswerTo(*req));
    ++answered;
    EXPECT_LE(f.link.queue.size(), 11u);
    EXPECT_LE(f.dl.Progress(), 100);
  }
  EXPECT_EQ(answered, 25u);
  EXPECT_TRUE(f.dl.Finished());
  EXPECT_EQ(f.dl.Summary().Line(), "written=25 limited=0 refused=0 lost=0 obsolete=2");
  EXPECT_TRUE(f.dl.Summary().AllConfirmed());
  EXPECT_EQ(f.dl.Progress(), 100);
}

TEST(ParamDownload, CountsEveryOutcomeOncePerParameter) {
  Fixture f(5);
  f.dl.Pump();
  ASSERT_EQ(f.link.queue.size(), 5u);
  auto r0 = f.link.Take(), r1 = f.link.Take(), r2 = f.link.Take(), r3 = f.link.Take(), r4 = f.link.Take();
  EXPECT_FALSE(f.dl.Finished());
  f.dl.OnAnswer(AnswerTo(*r0));
  f.dl.OnAnswer(AnswerTo(*r0));  // a second answer to the same value counts once
  f.dl.OnAnswer(AnswerTo(*r1, 7));
  TTelegram nak = *r2;
  nak.ttType = ttNak;
  f.dl.OnRefused(nak);
  f.dl.OnLost(*r3);
  TTelegram ack = *r4;
  ack.ttType = ttAck;
  ack.bLength = 0;
  f.dl.OnBareAck(ack);
  EXPECT_TRUE(f.dl.Finished());
  EXPECT_EQ(f.dl.Summary().Line(), "written=1 limited=1 refused=1 lost=2 obsolete=2");
  EXPECT_FALSE(f.dl.Summary().AllConfirmed());
  EXPECT_NE(std::find(f.log.begin(), f.log.end(), "Parameter G/P1 was limited to 7 (file: 1001)"), f.log.end());
  EXPECT_NE(std::find(f.log.begin(), f.log.end(), "Parameter G/P2 was refused by the drive"), f.log.end());
  // Someone else's write of the same parameter is not ours.
  TTelegram foreign = AnswerTo(*r0);
  foreign.pOwner = nullptr;
  EXPECT_FALSE(f.dl.OnAnswer(foreign));
}

TEST(ParamDownload, ClosedPortStopsWithAnErrorAndCountsTheRestLost) {
  Fixture f(20);
  f.dl.Pump();
  f.link.queue.clear();  // gone with the port
  f.link.opened = false;
  f.dl.Pump();
  EXPECT_TRUE(f.dl.Finished());
  EXPECT_TRUE(f.dl.Failed());
  EXPECT_NE(f.dl.Error().find("port is closed"), std::string::npos) << f.dl.Error();
  EXPECT_EQ(f.dl.Summary().Lost, 20);
  EXPECT_EQ(f.dl.Summary().Written, 0);
}

TEST(ParamDownload, NothingGoesToAnEnabledDrive) {
  Fixture f(3);
  f.dl.DriveDisabled = [] { return false; };
  f.dl.Pump();
  EXPECT_TRUE(f.link.queue.empty());
  EXPECT_TRUE(f.dl.Failed());
  EXPECT_EQ(f.dl.Summary().Lost, 3);
}

TEST(ParamDownload, ParametersFreedDuringTheDownloadAreNotTouched) {
  Fixture f(15);
  f.dl.Pump();
  ASSERT_EQ(f.link.queue.size(), 11u);
  f.b.m.ParameterList.FreeAll();  // a drive reset empties the database
  while (!f.link.queue.empty()) f.dl.OnAnswer(AnswerTo(*f.link.Take()));
  f.dl.Pump();
  EXPECT_TRUE(f.dl.Finished());
  EXPECT_EQ(f.dl.Summary().Written, 11);
  EXPECT_EQ(f.dl.Summary().Lost, 4);
  EXPECT_TRUE(f.link.queue.empty());
}

TEST(ParamDownload, EmptyListFinishesAtTheFirstTick) {
  ModelBuilder b;
  CollectingLink link;
  TParamDownload dl(link, b.m.ParameterList);
  dl.Start({}, 0);
  EXPECT_FALSE(dl.Finished());
  dl.Pump();
  EXPECT_TRUE(dl.Finished());
  EXPECT_EQ(dl.Progress(), 100);
  EXPECT_EQ(dl.Summary().Line(), "written=0 limited=0 refused=0 lost=0 obsolete=0");
}
