#include "gui/link/QtExecutor.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>
#include <memory>

namespace zeb7::gui {

struct TQtExecutor::TTask {
  enum State { tsQueued, tsRunning, tsDone, tsAbandoned };
  std::function<void()> fn;
  State state = tsQueued;
  std::exception_ptr error;
};

TQtExecutor::TQtExecutor(QObject* context) : context_(context) {}

TQtExecutor::~TQtExecutor() { WakeWaiters(); }

bool TQtExecutor::IsMainThread() const {
  return context_ && QThread::currentThread() == context_->thread();
}

bool TQtExecutor::RunSync(const std::function<void()>& fn, const std::atomic<bool>& abort) {
  if (IsMainThread()) {
    // The main thread handing over to itself (opening the port from a menu).
    fn();
    return true;
  }
  if (!context_ || abort) return false;
  auto task = std::make_shared<TTask>();
  task->fn = fn;
  std::shared_ptr<TShared> shared = shared_;
  QMetaObject::invokeMethod(
      context_,
      [shared, task] {
        {
          std::lock_guard<std::mutex> g(shared->lock);
          if (task->state != TTask::tsQueued) return;  // the worker gave up on it
          task->state = TTask::tsRunning;
        }
        try {
          task->fn();
        } catch (...) {
          task->error = std::current_exception();
        }
        std::lock_guard<std::mutex> g(shared->lock);
        task->state = TTask::tsDone;
        shared->done.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> g(shared->lock);
  for (;;) {
    if (task->state == TTask::tsDone) break;
    if (task->state == TTask::tsQueued && abort) {
      task->state = TTask::tsAbandoned;
      return false;
    }
    // Re-checks the abort flag now and then even if nobody wakes us.
    shared->done.wait_for(g, std::chrono::milliseconds(50));
  }
  g.unlock();
  if (task->error) std::rethrow_exception(task->error);
  return true;
}

void TQtExecutor::ProcessPending() {
  if (context_ && IsMainThread())
    QCoreApplication::sendPostedEvents(context_, QEvent::MetaCall);
}

void TQtExecutor::WakeWaiters() {
  std::lock_guard<std::mutex> g(shared_->lock);
  shared_->done.notify_all();
}

}  // namespace zeb7::gui
