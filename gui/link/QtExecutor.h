#pragma once
// The link's synchronous hand-over on Qt: the call is queued into the main
// thread's event loop and the worker blocks until it has run, like a blocking
// queued invocation, except that a call the main thread has not picked up yet
// can be abandoned when the worker is told to terminate.
#include <QObject>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "link/ThrdComm.h"

namespace zeb7::gui {

class TQtExecutor : public zeb7::TMainThreadExecutor {
 public:
  // `context` lives in the main thread; hand-overs run in its thread.
  explicit TQtExecutor(QObject* context);
  ~TQtExecutor() override;

  bool IsMainThread() const override;
  bool RunSync(const std::function<void()>& fn, const std::atomic<bool>& abort) override;
  void ProcessPending() override;
  void WakeWaiters() override;

 private:
  struct TTask;
  struct TShared {
    std::mutex lock;
    std::condition_variable done;
  };
  QObject* const context_;  // outlives the executor
  // Shared with queued calls, which may run after the executor is gone.
  std::shared_ptr<TShared> shared_ = std::make_shared<TShared>();
};

}  // namespace zeb7::gui
