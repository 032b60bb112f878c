// The Qt hand-over and the main window's link, without a drive.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "gui/link/CommDriveLink.h"
#include "gui/link/QtExecutor.h"
#include "WaitFor.h"
#include "model/DriveModel.h"

using namespace std::chrono_literals;

using namespace zeb7::gui;

TEST(QtExecutor, RunsOnTheMainThreadAndPassesExceptionsBack) {
  QObject context;
  TQtExecutor ex(&context);
  EXPECT_TRUE(ex.IsMainThread());
  std::atomic<bool> abort{false};
  int direct = 0;
  EXPECT_TRUE(ex.RunSync([&] { ++direct; }, abort));  // to itself: at once
  EXPECT_EQ(direct, 1);

  std::thread::id ranOn;
  std::atomic<int> result{0};
  std::thread worker([&] {
    bool ok = ex.RunSync([&] { ranOn = std::this_thread::get_id(); }, abort);
    bool threw = false;
    try {
      ex.RunSync([] { throw std::runtime_error("handler failed"); }, abort);
    } catch (const std::runtime_error&) {
      threw = true;
    }
    result = (ok ? 1 : 0) + (threw ? 2 : 0);
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return result != 0; }, 5000));
  worker.join();
  EXPECT_EQ(result, 3);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(QtExecutor, AHandOverNotYetTakenCanBeAbandoned) {
  QObject context;
  TQtExecutor ex(&context);
  std::atomic<bool> abort{false};
  std::atomic<int> outcome{-1};
  bool ran = false;
  std::atomic<bool> entering{false};
  std::thread worker([&] {
    entering = true;
    outcome = ex.RunSync([&] { ran = true; }, abort) ? 1 : 0;
  });
  // The main thread does not serve events now: the worker waits until told to give up.
  ASSERT_TRUE(zeb7::test::WaitFor([&] { return entering.load(); }, 10s));
  EXPECT_FALSE(zeb7::test::WaitFor([&] { return outcome != -1; }, 100ms)) << "returned without the main thread";
  abort = true;
  ex.WakeWaiters();
  worker.join();
  EXPECT_EQ(outcome, 0);
  QCoreApplication::processEvents();  // the abandoned call is dropped, not run late
  EXPECT_FALSE(ran);
}

TEST(CommDriveLink, PollingGoesBeneathAnActiveIdleFunction) {
  QObject context;
  zeb7::TDriveModel model;
  TCommDriveLink link(&context, model);
  int flashIdle = 0;
  auto flash = zeb7::WakeUpFunction(&flashIdle, [&flashIdle] { ++flashIdle; });
  link.Comm().AddIdleFunction(flash);
  link.StartExchange();
  EXPECT_TRUE(link.Comm().Thread().IdleSlot(0).Key == flash.Key);
  EXPECT_FALSE(link.Comm().Thread().IdleSlot(1).Key == flash.Key);
  EXPECT_TRUE(static_cast<bool>(link.Comm().Thread().IdleSlot(1)));
  link.StopExchange();
  EXPECT_TRUE(link.Comm().Thread().IdleSlot(0).Key == flash.Key);
  EXPECT_FALSE(static_cast<bool>(link.Comm().Thread().IdleSlot(1)));

  // Alone, polling is the top.
  link.Comm().RemoveIdleFunction(flash);
  link.StartExchange();
  EXPECT_TRUE(static_cast<bool>(link.Comm().Thread().IdleSlot(0)));
  EXPECT_FALSE(link.Comm().Thread().IdleSlot(0).Key == flash.Key);
}
