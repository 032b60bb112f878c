// The worker's protocol rules, driven one cycle at a time on the test thread
// with a fake port and a manual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "FakePort.h"
#include "link/ThrdComm.h"

namespace zeb7 {
namespace {

using test::FakeClock;
using test::FakeLine;
using test::FakePort;
using Bytes = std::vector<uint8_t>;

std::unique_ptr<TTelegram> Tele(uint8_t command, uint8_t target = 0, bool critical = false, int32_t retry = 8,
                                const void* owner = nullptr) {
  auto t = std::make_unique<TTelegram>(owner);
  t->bCommand = command;
  t->bTarget = target;
  t->fCritical = critical;
  t->iRetry = retry;
  return t;
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

struct Harness {
  FakeClock clock;
  TQueueExecutor exec;
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  std::unique_ptr<TCommInterface> comm;
  std::vector<std::string> errors;
  std::vector<std::string> debug;

  explicit Harness(bool open = true) {
    comm = std::make_unique<TCommInterface>(exec, clock, std::make_unique<FakePort>(line, &clock));
    comm->PortTable().SetSystemFolders("/nonexistent", "/dev");
    comm->PortTable().SetEntry(1, "/dev/fake0");
    comm->SetOnErrorMessage([this](const std::string& s) { errors.push_back(s); });
    comm->SetOnDebugMessage([this](const std::string& s) { debug.push_back(s); });
    if (open) {
      EXPECT_TRUE(comm->OpenCom());
    }
  }
  void Cycles(int n) {
    for (int i = 0; i < n; ++i) comm->Thread().RunCycle();
  }
  std::vector<TTelegram> Sent() {
    Bytes bytes = line->TakeTx();
    TTelegramDecoder dec;
    std::vector<TTelegram> out;
    size_t pos = 0;
    for (int guard = 0; guard < 100000; ++guard) {
      pos += dec.Append(bytes.data() + pos, static_cast<int32_t>(bytes.size() - pos));
      TTelegram t;
      TDecodeError r = dec.Decode(t);
      if (r == deOK) out.push_back(t);
      if (r == deMissingChars && pos == bytes.size()) break;
    }
    return out;
  }
  void Answer(TTelegramType type, uint8_t ident, uint8_t command = 0, uint8_t target = 0, Bytes data = {}) {
    TTelegram t;
    t.ttType = type;
    t.bIdent = ident;
    t.bCommand = command;
    t.bTarget = target;
    t.bLength = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), t.baData.begin());
    line->Push(EncodeTelegram(t));
  }
  // Sends, acknowledges and drains one telegram; returns its ident.
  uint8_t RoundTrip(uint8_t command) {
    comm->PostTelegram(Tele(command));
    Cycles(1);
    auto sent = Sent();
    EXPECT_EQ(sent.size(), 1u);
    if (sent.empty()) return 0;
    Answer(ttAck, sent[0].bIdent);
    Cycles(1);
    return sent[0].bIdent;
  }
};

TEST(CommThread, WindowOfThreeUnanswered) {
  Harness h;
  for (uint8_t c = 10; c < 15; ++c) h.comm->PostTelegram(Tele(c));
  EXPECT_EQ(h.comm->GetSendQueueSize(), 5);
  h.Cycles(10);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].bCommand, 10);
  EXPECT_EQ(sent[0].bIdent, 2);  // the first ident after creation
  EXPECT_EQ(sent[2].bIdent, 4);
  EXPECT_EQ(h.comm->HistCount(), 3);
  EXPECT_EQ(h.comm->GetSendQueueSize(), 2);

  h.Answer(ttAck, sent[1].bIdent);
  h.Cycles(5);
  sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bCommand, 13);
  EXPECT_EQ(sent[0].bIdent, 5);
  EXPECT_EQ(h.comm->Good(), 1);
}

TEST(CommThread, CriticalTelegramWaitsAndBlocks) {
  Harness h;
  h.comm->PostTelegram(Tele(1));
  h.comm->PostTelegram(Tele(2, 0, true));
  h.comm->PostTelegram(Tele(3));
  h.Cycles(5);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);  // the critical one waits, and so does the rest
  EXPECT_TRUE(h.comm->Thread().HasPendingTelegram());

  h.Answer(ttAck, sent[0].bIdent);
  h.Cycles(5);
  sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bCommand, 2);  // alone on the line

  h.Answer(ttAck, sent[0].bIdent);
  h.Cycles(5);
  sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bCommand, 3);
}

TEST(CommThread, SixOvertakesAgeATelegramIntoRepetition) {
  Harness h;
  for (uint8_t c = 1; c <= 9; ++c) h.comm->PostTelegram(Tele(c));
  h.Cycles(3);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 3u);  // idents 2, 3, 4 for commands 1, 2, 3
  uint8_t youngest = sent[2].bIdent;

  h.Answer(ttAck, youngest);
  h.Cycles(1);
  ASSERT_NE(h.comm->Thread().HistoryAt(0), nullptr);
  EXPECT_EQ(h.comm->Thread().HistoryAt(0)->iAge, 1);
  EXPECT_EQ(h.comm->Thread().HistoryAt(1)->iAge, 1);

  for (int overtake = 2; overtake <= 6; ++overtake) {
    sent = h.Sent();
    ASSERT_EQ(sent.size(), 1u) << overtake;
    h.Answer(ttAck, sent[0].bIdent);
    h.Cycles(1);
  }
  // Commands 1 and 2 were overtaken six times and went out again, first the
  // oldest, with new idents.
  h.Cycles(3);
  sent = h.Sent();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0].bCommand, 1);
  EXPECT_EQ(sent[1].bCommand, 2);
  EXPECT_EQ(sent[0].bIdent, 10);
  EXPECT_EQ(h.comm->Repeated(), 2);
  EXPECT_EQ(h.comm->Good(), 6);
  EXPECT_EQ(std::count(h.debug.begin(), h.debug.end(), "Repeat Transmission:"), 2);
  EXPECT_EQ(h.line->closes, 0);  // no timeout was needed
}

TEST(CommThread, RetriesUsedUpGoToMissingAcknowledge) {
  int owner = 0;
  for (bool withCallback : {true, false}) {
    Harness h;
    int missing = 0;
    if (withCallback) {
      h.comm->AddMissingAckFunction(TelegramFunction(&missing, [&](std::unique_ptr<TTelegram>& t) {
        ++missing;
        EXPECT_EQ(t->bCommand, 42);
        EXPECT_EQ(t->pOwner, &owner);
        return true;
      }));
    }
    h.comm->PostTelegram(Tele(42, 0, false, 3, &owner));
    int transmissions = 0;
    for (int i = 0; i < 20; ++i) {
      h.Cycles(1);
      transmissions += static_cast<int>(h.Sent().size());
      h.clock.Advance(250);
    }
    EXPECT_EQ(transmissions, 3);
    EXPECT_EQ(h.comm->Bad(), 1);
    EXPECT_EQ(h.comm->Repeated(), 2);
    EXPECT_EQ(h.comm->HistCount(), 0);
    EXPECT_EQ(h.comm->RepeatCount(), 0);
    EXPECT_EQ(h.line->closes, 3);  // every timeout closes and reopens the port
    EXPECT_EQ(missing, withCallback ? 1 : 0);
    EXPECT_EQ(Contains(h.errors, "Transmitting Telegram: No Response"), !withCallback);
  }
}

TEST(CommThread, UnknownIdentCountsBadAndRearmsTimeout) {
  Harness h;
  int received = 0;
  h.comm->AddAckFunction(TelegramFunction(&received, [&](std::unique_ptr<TTelegram>&) { return ++received, true; }));
  h.clock.now = 1001084;
  h.comm->PostTelegram(Tele(5));
  h.Cycles(1);
  ASSERT_EQ(h.Sent().size(), 1u);
  h.clock.Advance(150);  // the debug tick is the tick modulo 10000: 1234
  h.Answer(ttAck, 99);
  h.Cycles(1);
  EXPECT_EQ(h.comm->Bad(), 1);
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(Contains(h.debug, "1234: R: Ack;   Id:  99 UNKNOWN"));
  h.Answer(ttNak, 98);
  h.Answer(ttNormal, 97, 10, 2);
  h.Cycles(2);
  EXPECT_EQ(h.comm->Bad(), 3);
  EXPECT_EQ(h.comm->Nak(), 1);
  EXPECT_TRUE(Contains(h.debug, "R: Data;  Id:  97; Target: 2; Cmd:  10 UNKNOWN"));

  // The unknown answers re-armed the timeout: 150 ms later nothing happened.
  h.clock.Advance(150);
  h.Cycles(1);
  EXPECT_EQ(h.line->closes, 0);
  h.clock.Advance(100);
  h.Cycles(1);
  EXPECT_EQ(h.line->closes, 1);
}

TEST(CommThread, TimeoutIsWrapSafe) {
  Harness h;
  h.clock.now = 0xFFFFFF80u;  // the limit wraps past zero
  h.comm->PostTelegram(Tele(5));
  h.Cycles(1);
  ASSERT_EQ(h.Sent().size(), 1u);
  h.clock.Advance(100);  // just before the wrap of the tick
  h.Cycles(1);
  EXPECT_EQ(h.line->closes, 0);
  EXPECT_EQ(h.comm->HistCount(), 1);
  h.clock.Advance(150);  // past the wrap and past the limit
  h.Cycles(1);
  EXPECT_EQ(h.line->closes, 1);
  EXPECT_EQ(h.comm->HistCount(), 0);
  EXPECT_EQ(h.comm->RepeatCount(), 1);
  h.Cycles(1);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bCommand, 5);
}

TEST(CommThread, IdentAfter255IsZero) {
  Harness h;
  std::vector<uint8_t> idents;
  for (int i = 0; i < 256; ++i) idents.push_back(h.RoundTrip(7));
  EXPECT_EQ(idents.front(), 2);
  auto it = std::find(idents.begin(), idents.end(), 255);
  ASSERT_NE(it, idents.end());
  ASSERT_NE(it + 1, idents.end());
  EXPECT_EQ(*(it + 1), 0);
  EXPECT_EQ(*(it + 2), 1);
  EXPECT_EQ(h.comm->Good(), 256);
}

TEST(CommThread, FlushEmptiesQueueAtOnceAndListsNextCycle) {
  Harness h;
  h.comm->PostTelegram(Tele(1));
  h.Cycles(1);
  ASSERT_EQ(h.Sent().size(), 1u);
  h.comm->PostTelegram(Tele(2, 0, true));
  h.Cycles(1);  // the critical telegram is taken and waits
  EXPECT_TRUE(h.comm->Thread().HasPendingTelegram());
  for (uint8_t c = 10; c < 15; ++c) h.comm->PostTelegram(Tele(c));
  EXPECT_EQ(h.comm->GetSendQueueSize(), 5);

  h.comm->FlushSendQueue();
  EXPECT_EQ(h.comm->GetSendQueueSize(), 0);
  EXPECT_EQ(h.comm->HistCount(), 1);
  h.Cycles(1);
  // History freed; the pending critical telegram survived and went out.
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bCommand, 2);
  EXPECT_EQ(h.comm->HistCount(), 1);
  EXPECT_EQ(h.comm->RepeatCount(), 0);
}

TEST(CommThread, ReceiveCallbackExceptionEndsDispatch) {
  Harness h;
  int later = 0;
  h.comm->AddReceiveFunction(TelegramFunction(&h, [](std::unique_ptr<TTelegram>&) -> bool {
    throw std::runtime_error("boom");
  }));
  h.comm->AddReceiveFunction(TelegramFunction(&later, [&](std::unique_ptr<TTelegram>&) { return ++later, true; }));
  h.comm->PostTelegram(Tele(10));
  h.Cycles(1);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  h.Answer(ttNormal, sent[0].bIdent, 10, 0, {1, 2});
  h.Cycles(1);
  EXPECT_TRUE(Contains(h.errors, "Thread: OnReceiveFuncs boom"));
  EXPECT_EQ(later, 0);
  EXPECT_EQ(h.comm->Good(), 1);

  // Other kinds: the exception reaches the loop, which goes on.
  h.comm->AddAckFunction(TelegramFunction(&later, [](std::unique_ptr<TTelegram>&) -> bool {
    throw std::runtime_error("ack failed");
  }));
  uint8_t id = h.RoundTrip(11);
  EXPECT_NE(id, 0);
  EXPECT_TRUE(Contains(h.errors, "Thread: ack failed"));
  h.comm->RemoveAckFunction(TelegramFunction(&later, nullptr));
  h.RoundTrip(12);
  EXPECT_EQ(h.comm->Good(), 3);
}

TEST(CommThread, CopiesBelongToTheAcceptingCallback) {
  Harness h;
  std::unique_ptr<TTelegram> kept;
  int declined = 0;
  // Slot 0 declines, slot 1 keeps the copy, slot 2 is never asked.
  h.comm->AddReceiveFunction(TelegramFunction(&declined, [&](std::unique_ptr<TTelegram>& t) {
    ++declined;
    EXPECT_NE(t, nullptr);
    return false;
  }));
  h.comm->AddReceiveFunction(TelegramFunction(&kept, [&](std::unique_ptr<TTelegram>& t) {
    kept = std::move(t);
    return true;
  }));
  int third = 0;
  h.comm->AddReceiveFunction(TelegramFunction(&third, [&](std::unique_ptr<TTelegram>&) { return ++third, true; }));

  int owner = 0;
  h.comm->PostTelegram(Tele(20, 3, false, 8, &owner));
  h.Cycles(1);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  h.Answer(ttNormal, sent[0].bIdent, 20, 4, {'H', 'i', 0x05, 0xE9});
  h.clock.now = 2000042;
  h.Cycles(1);
  EXPECT_EQ(declined, 1);
  EXPECT_EQ(third, 0);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->pOwner, &owner);  // copied from the request
  EXPECT_EQ(kept->bTarget, 4);      // delivered although the target differs
  EXPECT_EQ(kept->baData[1], 'i');
  EXPECT_TRUE(Contains(h.debug, "Different Target"));
  EXPECT_TRUE(Contains(h.debug,
                       "  42: R: Data;  Id:   2; Target: 4; Cmd:  20; Data: 48 69  5 E9  0  0  0  0 ...(Hi \xC3\xA9)"));
}

TEST(CommThread, NegativeAcknowledgeCarriesTheSentTelegram) {
  Harness h;
  h.comm->PostTelegram(Tele(30, 2));
  h.Cycles(1);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  h.Answer(ttNak, sent[0].bIdent);
  h.Cycles(1);
  EXPECT_TRUE(Contains(h.errors, "Negative Response"));
  EXPECT_EQ(h.comm->Nak(), 1);
  EXPECT_EQ(h.comm->Good(), 1);

  std::unique_ptr<TTelegram> got;
  h.comm->AddNakFunction(TelegramFunction(&got, [&](std::unique_ptr<TTelegram>& t) {
    got = std::move(t);
    return true;
  }));
  auto t = Tele(31, 3);
  t->baData[0] = 0x77;
  h.comm->PostTelegram(std::move(t));
  h.Cycles(1);
  sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  h.Answer(ttNak, sent[0].bIdent);
  h.Cycles(1);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->ttType, ttNak);
  EXPECT_EQ(got->bCommand, 31);
  EXPECT_EQ(got->bTarget, 3);
  EXPECT_EQ(got->baData[0], 0x77);
  EXPECT_EQ(std::count(h.errors.begin(), h.errors.end(), "Negative Response"), 1);
}

TEST(CommThread, TransmitDebugLine) {
  Harness h;
  auto t = Tele(10, 1);
  t->bLength = 2;
  t->baData[0] = 1;
  t->baData[1] = 0xAB;
  t->baData[7] = 0x31;  // beyond bLength, shown all the same
  h.comm->PostTelegram(std::move(t));
  h.clock.now = 123456;
  h.Cycles(1);
  EXPECT_TRUE(Contains(h.debug, "3456: TRANSMIT:  Id:   2; Target: 1; Cmd:  10; Data:  1 AB  0  0  0  0  0 31 ..."));
}

TEST(CommThread, ReceiveErrorsAndLineErrors) {
  Harness h;
  h.line->Push({0x31, 0x26, 0x07, 0x08});  // bad checksum
  h.Cycles(1);
  EXPECT_TRUE(Contains(h.errors, "Received Checksum Error"));
  h.line->Push({0x55, 0x31, 0x26, 0x07, 0x07});
  h.Cycles(2);
  EXPECT_TRUE(Contains(h.errors, "Received Format Error"));
  EXPECT_EQ(h.comm->Bad(), 1);  // the ack after the garbage was decoded

  // A line error drops what was received so far.
  h.comm->PostTelegram(Tele(40));
  h.Cycles(1);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  Bytes answer = [&] {
    TTelegram a;
    a.ttType = ttAck;
    a.bIdent = sent[0].bIdent;
    return EncodeTelegram(a);
  }();
  h.line->Push(Bytes(answer.begin(), answer.begin() + 2));
  h.Cycles(1);
  h.line->pendingErrors = ceFrame;
  h.line->Push(Bytes(answer.begin() + 2, answer.end()));
  h.Cycles(1);
  EXPECT_TRUE(Contains(h.errors, "COM error 0x8"));
  EXPECT_EQ(h.comm->Good(), 0);
  h.line->Push(answer);
  h.Cycles(1);
  EXPECT_EQ(h.comm->Good(), 1);
}

TEST(CommThread, TransmitQueueOverflowHoldsBack) {
  Harness h;
  h.line->outCount = 150;
  h.comm->PostTelegram(Tele(1));
  h.Cycles(5);
  EXPECT_TRUE(h.Sent().empty());
  EXPECT_EQ(std::count(h.errors.begin(), h.errors.end(), "Transmit buffer overflow"), 1);
  h.line->outCount = 0;
  h.Cycles(1);
  EXPECT_EQ(h.Sent().size(), 1u);
}

TEST(CommThread, WriteFailureRepeatsWithTheSameIdent) {
  Harness h;
  h.line->failWrite = true;
  h.comm->PostTelegram(Tele(50));
  h.Cycles(1);
  EXPECT_TRUE(Contains(h.errors, "Telegram transmittet...ERROR"));
  EXPECT_EQ(h.line->closes, 1);  // the port was reopened
  EXPECT_EQ(h.comm->RepeatCount(), 1);
  h.line->failWrite = false;
  h.Cycles(1);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bIdent, 2);
  EXPECT_EQ(sent[0].bCommand, 50);
}

TEST(CommThread, PostWhileClosedIsSentAfterReopen) {
  Harness h(false);
  h.line->failOpen = true;
  EXPECT_FALSE(h.comm->OpenCom());
  EXPECT_TRUE(Contains(h.errors, "Error opening /dev/fake0: device busy (in use by another program)"));
  int idle = 0;
  h.comm->AddIdleFunction(WakeUpFunction(&idle, [&] { ++idle; }));
  h.comm->PostTelegram(Tele(60));
  const uint32_t t0 = h.clock.now;
  h.Cycles(2);
  EXPECT_EQ(idle, 2);                 // idle runs while the port is down
  EXPECT_GE(h.clock.now - t0, 400u);  // 200 ms between attempts
  EXPECT_EQ(h.comm->GetSendQueueSize(), 1);
  h.line->failOpen = false;
  h.Cycles(2);
  EXPECT_TRUE(h.comm->Opened());
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bCommand, 60);

  // Numbers without a device say so.
  h.comm->SetComPort(7);
  EXPECT_FALSE(h.comm->OpenCom());
  EXPECT_TRUE(Contains(h.errors, "Error opening COM7: no serial device for this port number"));
}

TEST(CommThread, VanishedDeviceFallsBackToReopening) {
  Harness h;
  h.line->failQuery = true;
  h.Cycles(1);
  EXPECT_EQ(std::count(h.errors.begin(), h.errors.end(), "COM error 0x5"), 1);
  EXPECT_FALSE(h.comm->Opened());
  h.line->failQuery = false;
  h.Cycles(1);
  EXPECT_TRUE(h.comm->Opened());
}

TEST(CommThread, PauseCommunicationStopsTraffic) {
  Harness h;
  h.comm->PauseCommunication(true);
  h.comm->PostTelegram(Tele(1));
  h.Cycles(3);
  EXPECT_TRUE(h.Sent().empty());
  h.comm->PauseCommunication(false);
  h.Cycles(1);
  EXPECT_EQ(h.Sent().size(), 1u);
}

// Counts hand-overs; everything runs on the test thread.
struct CountingExecutor : TMainThreadExecutor {
  int runs = 0;
  bool IsMainThread() const override { return true; }
  bool RunSync(const std::function<void()>& fn, const std::atomic<bool>&) override {
    ++runs;
    fn();
    return true;
  }
  void ProcessPending() override {}
  void WakeWaiters() override {}
};

TEST(CommThread, AnswerAndNextFetchShareOneHandOver) {
  FakeClock clock;
  CountingExecutor exec;
  auto line = std::make_shared<FakeLine>();
  TCommInterface comm(exec, clock, std::make_unique<FakePort>(line, &clock));
  comm.PortTable().SetEntry(1, "/dev/fake0");
  ASSERT_TRUE(comm.OpenCom());
  std::vector<int> order;
  bool posted = false;
  comm.AddReceiveFunction(TelegramFunction(&order, [&](std::unique_ptr<TTelegram>& t) {
    order.push_back(t->bCommand);
    if (!posted) comm.PostPriorityTelegram(Tele(99));  // must overtake the queue
    posted = true;
    return true;
  }));
  for (uint8_t c = 1; c <= 5; ++c) comm.PostTelegram(Tele(c));
  for (int i = 0; i < 3; ++i) comm.Thread().RunCycle();
  TTelegramDecoder dec;
  auto sentCommands = [&] {
    std::vector<int> cmds;
    Bytes tx = line->TakeTx();
    dec.Append(tx.data(), static_cast<int32_t>(tx.size()));
    TTelegram t;
    while (dec.Decode(t) == deOK) cmds.push_back(t.bCommand);
    return cmds;
  };
  EXPECT_EQ(sentCommands(), (std::vector<int>{1, 2, 3}));

  TTelegram ans;
  ans.ttType = ttNormal;
  ans.bIdent = 2;
  ans.bCommand = 1;
  line->Push(EncodeTelegram(ans));
  exec.runs = 0;
  comm.Thread().RunCycle();
  EXPECT_EQ(exec.runs, 1);  // dispatch and fetch together
  EXPECT_EQ(sentCommands(), (std::vector<int>{99}));

  ans.bIdent = 3;
  ans.bCommand = 2;
  line->Push(EncodeTelegram(ans));
  comm.Thread().RunCycle();
  EXPECT_EQ(sentCommands(), (std::vector<int>{4}));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(comm.GetSendQueueSize(), 1);
}

// --- slot tables -------------------------------------------------------------

TEST(CommSlots, ReceiveTableRules) {
  Harness h;
  int a = 0, b = 0;
  auto fa = TelegramFunction(&a, [](std::unique_ptr<TTelegram>&) { return false; });
  auto fb = TelegramFunction(&b, [](std::unique_ptr<TTelegram>&) { return false; });
  h.comm->AddReceiveFunction(fa);
  h.comm->AddReceiveFunction(fa);
  EXPECT_TRUE(h.comm->Thread().Slot(TCommThread::skReceive, 0));
  EXPECT_FALSE(h.comm->Thread().Slot(TCommThread::skReceive, 1));
  h.comm->AddReceiveFunction(fb);
  h.comm->RemoveReceiveFunction(fa);
  EXPECT_FALSE(h.comm->Thread().Slot(TCommThread::skReceive, 0));
  EXPECT_TRUE(h.comm->Thread().Slot(TCommThread::skReceive, 1));  // keeps its position
  int c = 0;
  h.comm->AddReceiveFunction(TelegramFunction(&c, [](std::unique_ptr<TTelegram>&) { return false; }));
  EXPECT_TRUE(h.comm->Thread().Slot(TCommThread::skReceive, 0));  // fills the gap

  std::vector<int> keys(12);
  for (int i = 0; i < 12; ++i)
    h.comm->AddAckFunction(TelegramFunction(&keys[i], [](std::unique_ptr<TTelegram>&) { return false; }));
  for (int i = 0; i < kCallbackSlots; ++i)
    EXPECT_TRUE(h.comm->Thread().Slot(TCommThread::skAck, i).Key == TFunctionKey::OfAddress(&keys[i]));
  // The twelfth was dropped: removing it changes nothing.
  h.comm->RemoveAckFunction(TelegramFunction(&keys[11], nullptr));
  for (int i = 0; i < kCallbackSlots; ++i) EXPECT_TRUE(h.comm->Thread().Slot(TCommThread::skAck, i));
}

struct Window {
  int calls = 0;
  bool OnReceive(std::unique_ptr<TTelegram>&) { return ++calls, false; }
};

TEST(CommSlots, MemberFunctionsAreIdentifiedByFunctionAlone) {
  Harness h;
  Window w1, w2;
  h.comm->AddReceiveFunction(TelegramFunction(&w1, &Window::OnReceive));
  h.comm->AddReceiveFunction(TelegramFunction(&w2, &Window::OnReceive));
  EXPECT_FALSE(h.comm->Thread().Slot(TCommThread::skReceive, 1));
  h.comm->RemoveReceiveFunction(TelegramFunction(&w2, &Window::OnReceive));
  EXPECT_FALSE(h.comm->Thread().Slot(TCommThread::skReceive, 0));
}

TEST(CommSlots, IdleStack) {
  Harness h;
  std::string calls;
  int ka = 0, kb = 0;
  auto A = WakeUpFunction(&ka, [&] { calls += 'A'; });
  auto B = WakeUpFunction(&kb, [&] { calls += 'B'; });
  h.comm->AddIdleFunction(A);
  h.comm->AddIdleFunction(B);
  h.Cycles(1);
  EXPECT_EQ(calls, "B");
  h.comm->RemoveIdleFunction(B);
  h.Cycles(1);
  EXPECT_EQ(calls, "BA");
  h.comm->AddIdleFunction(B);
  h.comm->AddIdleFunction(A);  // A again while B is on top: A on top, B beneath
  EXPECT_TRUE(h.comm->Thread().IdleSlot(0).Key == A.Key);
  EXPECT_TRUE(h.comm->Thread().IdleSlot(1).Key == B.Key);
  EXPECT_FALSE(h.comm->Thread().IdleSlot(2));
  h.comm->RemoveIdleFunction(A);
  h.Cycles(1);
  EXPECT_EQ(calls, "BAB");

  // A full stack drops its bottom entry.
  std::vector<int> keys(12);
  Harness g;
  for (int i = 0; i < 12; ++i) g.comm->AddIdleFunction(WakeUpFunction(&keys[i], [] {}));
  EXPECT_TRUE(g.comm->Thread().IdleSlot(0).Key == TFunctionKey::OfAddress(&keys[11]));
  EXPECT_TRUE(g.comm->Thread().IdleSlot(10).Key == TFunctionKey::OfAddress(&keys[1]));
}

TEST(CommSlots, IdlePostingCountsAsActivity) {
  Harness h;
  int k = 0;
  h.comm->AddIdleFunction(WakeUpFunction(&k, [&] {
    if (h.comm->GetSendQueueSize() < 5) h.comm->PostTelegram(Tele(3));
  }));
  const uint32_t t0 = h.clock.now;
  h.Cycles(2);  // idle posts, next cycle sends without waiting first
  EXPECT_EQ(h.Sent().size(), 1u);
  EXPECT_EQ(h.clock.now, t0);
}

TEST(CommSlots, CallbackMayRemoveItselfAndLaterSlots) {
  Harness h;
  int first = 0, second = 0;
  TTelegramFunction f2 = TelegramFunction(&second, [&](std::unique_ptr<TTelegram>&) { return ++second, true; });
  TTelegramFunction f1 = TelegramFunction(&first, [&](std::unique_ptr<TTelegram>&) {
    ++first;
    h.comm->RemoveReceiveFunction(TelegramFunction(&first, nullptr));
    h.comm->RemoveReceiveFunction(f2);
    return false;
  });
  h.comm->AddReceiveFunction(f1);
  h.comm->AddReceiveFunction(f2);
  h.comm->PostTelegram(Tele(9));
  h.Cycles(1);
  auto sent = h.Sent();
  ASSERT_EQ(sent.size(), 1u);
  h.Answer(ttNormal, sent[0].bIdent, 9);
  h.Cycles(1);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_FALSE(h.comm->Thread().Slot(TCommThread::skReceive, 0));
}

}  // namespace
}  // namespace zeb7
