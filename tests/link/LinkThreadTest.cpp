// The worker on its own thread: hand-overs to the test thread, shutdown with
// hand-overs pending, suspension and idle removal.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "FakePort.h"
#include "WaitFor.h"
#include "link/ThrdComm.h"

using namespace std::chrono_literals;

namespace zeb7 {
namespace {

using test::FakeLine;
using test::FakePort;
using Clock = std::chrono::steady_clock;

std::unique_ptr<TCommInterface> MakeLink(TQueueExecutor& exec, std::shared_ptr<FakeLine> line) {
  auto comm = std::make_unique<TCommInterface>(exec, SteadyClock(), std::make_unique<FakePort>(line, &SteadyClock()));
  comm->PortTable().SetEntry(1, "/dev/fake0");
  return comm;
}

double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

TEST(QueueExecutor, RunsOnMainThreadAndAborts) {
  TQueueExecutor exec;
  std::atomic<bool> abort{false};
  std::thread::id ranOn;
  std::atomic<int> result{0};
  std::thread worker([&] {
    bool ok = exec.RunSync([&] { ranOn = std::this_thread::get_id(); }, abort);
    bool threw = false;
    try {
      exec.RunSync([] { throw std::runtime_error("x"); }, abort);
    } catch (const std::runtime_error&) {
      threw = true;
    }
    result = (ok ? 1 : 0) + (threw ? 2 : 0);
  });
  const auto start = Clock::now();
  EXPECT_TRUE(test::WaitServing(exec, [&] { return result != 0; }, 10s));
  worker.join();
  EXPECT_EQ(result, 3);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // Nobody drains: the abort flag releases the waiting thread unrun.
  bool ran = false;
  std::atomic<int> aborted{-1};
  std::atomic<bool> entering{false};
  std::thread waiter([&] {
    entering = true;
    aborted = exec.RunSync([&] { ran = true; }, abort) ? 0 : 1;
  });
  ASSERT_TRUE(test::WaitFor([&] { return entering.load(); }, 10s));
  EXPECT_FALSE(test::WaitFor([&] { return aborted != -1; }, 50ms)) << "returned without the main thread";
  abort = true;
  exec.WakeWaiters();
  waiter.join();
  EXPECT_EQ(aborted, 1);
  exec.ProcessPending();
  EXPECT_FALSE(ran);
}

TEST(QueueExecutor, EveryHandOverWakesTheWaitingMainThread) {
  // A lost wake-up would leave the main thread asleep for its whole wait
  // (2 s) and the worker blocked meanwhile; 400 of them would take minutes.
  TQueueExecutor exec;
  std::atomic<bool> abort{false};
  constexpr int kCount = 400;
  std::atomic<int> done{0};
  int ran = 0;
  std::thread worker([&] {
    for (int i = 0; i < kCount; ++i) {
      if (!exec.RunSync([&] { ++ran; }, abort)) break;
      ++done;
    }
  });
  const auto start = Clock::now();
  int woken = 0;
  while (ran < kCount && SecondsSince(start) < 30)
    if (exec.WaitAndProcess(2000)) ++woken;
  const double seconds = SecondsSince(start);
  abort = true;
  exec.WakeWaiters();
  worker.join();
  EXPECT_EQ(done, kCount);
  EXPECT_EQ(ran, kCount);
  EXPECT_GT(woken, 0);
  EXPECT_LT(seconds, 10.0);
}

TEST(LinkThread, AnswersArriveOnTheMainThreadInOrder) {
  TQueueExecutor exec;
  auto line = std::make_shared<FakeLine>();
  line->onFrame = [&](const TTelegram& req) {
    TTelegram ans = req;
    ans.bLength = 2;
    ans.baData[0] = req.bCommand;
    line->Push(EncodeTelegram(ans));
  };
  auto comm = MakeLink(exec, line);
  constexpr int kCount = 300;
  std::atomic<int> posted{0};
  std::vector<int> order;
  bool offMain = false;
  const std::thread::id mainId = std::this_thread::get_id();
  comm->AddIdleFunction(WakeUpFunction(&posted, [&] {
    // Runs in the worker: only posts.
    while (posted < kCount && comm->GetSendQueueSize() < 5) {
      auto t = std::make_unique<TTelegram>();
      t->bCommand = static_cast<uint8_t>(posted % 200);
      t->bTarget = static_cast<uint8_t>(posted % 10);
      comm->PostTelegram(std::move(t));
      ++posted;
    }
  }));
  comm->AddReceiveFunction(TelegramFunction(&order, [&](std::unique_ptr<TTelegram>& t) {
    offMain |= std::this_thread::get_id() != mainId;
    order.push_back(t->baData[0]);
    return true;
  }));
  comm->AddAckFunction(TelegramFunction(&mainId, [&](std::unique_ptr<TTelegram>&) {
    offMain |= std::this_thread::get_id() != mainId;
    return false;
  }));
  std::vector<std::string> errors;
  comm->SetOnErrorMessage([&](const std::string& s) { errors.push_back(s); });
  ASSERT_TRUE(comm->OpenCom());
  comm->Resume();
  test::WaitServing(exec, [&] { return static_cast<int>(order.size()) >= kCount; }, 60s);
  ASSERT_EQ(static_cast<int>(order.size()), kCount);
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(order[i], i % 200) << i;
  EXPECT_FALSE(offMain);
  EXPECT_EQ(comm->Good(), kCount);
  EXPECT_EQ(comm->Bad(), 0);
  EXPECT_EQ(comm->Repeated(), 0);
  EXPECT_TRUE(errors.empty());
}

TEST(LinkThread, ShutdownWithHandOversPendingDoesNotHang) {
  TQueueExecutor exec;
  auto line = std::make_shared<FakeLine>();
  auto comm = MakeLink(exec, line);
  comm->SetOnErrorMessage([](const std::string&) {});
  ASSERT_TRUE(comm->OpenCom());
  for (int i = 0; i < 5; ++i) comm->PostTelegram(std::make_unique<TTelegram>());
  std::atomic<bool> handedOver{false};
  exec.Notify = [&] { handedOver = true; };
  comm->Resume();
  // The worker now waits in a fetch hand-over that nobody serves.
  ASSERT_TRUE(test::WaitFor([&] { return handedOver.load(); }, 10s));
  const auto start = Clock::now();
  comm.reset();
  EXPECT_LT(SecondsSince(start), 1.5);
}

TEST(LinkThread, SuspendWaitsUntilTheWorkerPauses) {
  TQueueExecutor exec;
  auto line = std::make_shared<FakeLine>();
  auto comm = MakeLink(exec, line);
  ASSERT_TRUE(comm->OpenCom());
  comm->Resume();
  for (int i = 0; i < 3; ++i) comm->PostTelegram(std::make_unique<TTelegram>());
  // No draining before Suspend: it must serve the pending fetch itself.
  comm->Suspend();
  EXPECT_TRUE(comm->Thread().ThreadIsPausing);
  line->TakeTx();
  comm->PostTelegram(std::make_unique<TTelegram>());
  for (int i = 0; i < 10; ++i) exec.WaitAndProcess(10);
  EXPECT_TRUE(line->TakeTx().empty());
  comm->Resume();
  EXPECT_TRUE(test::WaitServing(exec, [&] { return !line->TakeTx().empty(); }, 10s));
}

TEST(LinkThread, RemovingAnIdleFunctionWaitsForItsCall) {
  TQueueExecutor exec;
  auto line = std::make_shared<FakeLine>();
  auto comm = MakeLink(exec, line);
  ASSERT_TRUE(comm->OpenCom());
  std::atomic<bool> inside{false};
  std::atomic<int> calls{0};
  auto idle = WakeUpFunction(&calls, [&] {
    inside = true;
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    inside = false;
  });
  comm->AddIdleFunction(idle);
  comm->Resume();
  ASSERT_TRUE(test::WaitFor([&] { return inside.load(); }, 10s));
  comm->RemoveIdleFunction(idle);
  EXPECT_FALSE(inside);
  const int after = calls;
  EXPECT_FALSE(test::WaitFor([&] { return calls != after; }, 50ms)) << "called after its removal";
}

TEST(LinkThread, OpenFromTheMainThreadReportsDirectly) {
  // The open error goes through the hand-over; from the main thread it must
  // run at once instead of waiting for itself.
  TQueueExecutor exec;
  auto line = std::make_shared<FakeLine>();
  line->failOpen = true;
  auto comm = MakeLink(exec, line);
  std::vector<std::string> errors;
  comm->SetOnErrorMessage([&](const std::string& s) { errors.push_back(s); });
  comm->Resume();
  EXPECT_FALSE(comm->OpenCom());
  EXPECT_FALSE(errors.empty());
  comm->CloseCom();
}

}  // namespace
}  // namespace zeb7

namespace zeb7 {
namespace {

TEST(LinkThread, IdleFunctionMessagesDoNotBlockItsRemoval) {
  // An idle function whose call raises a message (here: a failing reopen)
  // must not hold up a main thread that is removing it.
  TQueueExecutor exec;
  auto line = std::make_shared<FakeLine>();
  auto comm = MakeLink(exec, line);
  std::vector<std::string> errors;
  comm->SetOnErrorMessage([&](const std::string& s) { errors.push_back(s); });
  ASSERT_TRUE(comm->OpenCom());
  std::atomic<int> calls{0};
  auto idle = WakeUpFunction(&calls, [&] {
    if (++calls == 1) {
      line->failOpen = true;
      comm->OpenCom();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  });
  comm->AddIdleFunction(idle);
  comm->Resume();
  const auto start = Clock::now();
  while (calls == 0 && SecondsSince(start) < 5) std::this_thread::yield();
  comm->RemoveIdleFunction(idle);
  EXPECT_LT(SecondsSince(start), 2.0);
  ASSERT_TRUE(test::WaitServing(exec, [&] { return !errors.empty(); }, 10s));
  EXPECT_EQ(errors[0], "Error opening /dev/fake0: device busy (in use by another program)");
}

TEST(LinkThread, SuspendInsideACallbackReturnsAtOnce) {
  TQueueExecutor exec;
  auto line = std::make_shared<FakeLine>();
  line->onFrame = [&](const TTelegram& req) {
    TTelegram ans;
    ans.ttType = ttAck;
    ans.bIdent = req.bIdent;
    line->Push(EncodeTelegram(ans));
  };
  auto comm = MakeLink(exec, line);
  ASSERT_TRUE(comm->OpenCom());
  double suspendSeconds = -1;
  comm->AddAckFunction(TelegramFunction(&suspendSeconds, [&](std::unique_ptr<TTelegram>&) {
    const auto t0 = Clock::now();
    comm->Suspend();
    suspendSeconds = SecondsSince(t0);
    return true;
  }));
  comm->PostTelegram(std::make_unique<TTelegram>());
  comm->Resume();
  ASSERT_TRUE(test::WaitServing(exec, [&] { return suspendSeconds >= 0; }, 10s));
  EXPECT_LT(suspendSeconds, 0.5) << "not the full second a waiting Suspend gives the worker";
  // The request still takes effect once the callback has returned.
  EXPECT_TRUE(test::WaitServing(exec, [&] { return comm->Thread().ThreadIsPausing.load(); }, 10s));
}

}  // namespace
}  // namespace zeb7
