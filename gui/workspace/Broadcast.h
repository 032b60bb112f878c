#pragma once
// Window messages that go to every window and control at once, as Qt custom
// events carrying the message numbers. Receivers handle them in event() through
// GuardBroadcast, so an exception in one receiver marks the event failed instead
// of unwinding through Qt; the broadcaster reports it and goes on.
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>

#include "model/ModelEvents.h"

namespace zeb7::gui {

// The message numbers are the model's (model/ModelEvents.h): one definition.
using BroadcastMsg = int;
using zeb7::WM_REFRESH_DISPLAYS;
using zeb7::WM_TYPEPLATE_CHANGED;
using zeb7::WM_SET_DESIGN_MODE;

class TBroadcastEvent : public QEvent {
 public:
  TBroadcastEvent(int msg, qintptr wParam, qintptr lParam)
      : QEvent(static_cast<QEvent::Type>(msg)), wParam_(wParam), lParam_(lParam) {}
  int Msg() const { return static_cast<int>(type()); }
  qintptr WParam() const { return wParam_; }
  qintptr LParam() const { return lParam_; }
  qintptr Result() const { return result_; }
  void SetResult(qintptr r) { result_ = r; }
  void Fail() { failed_ = true; }
  bool Failed() const { return failed_; }
  void Reset() { failed_ = false; }

 private:
  qintptr wParam_, lParam_, result_ = 0;
  bool failed_ = false;
};

// True for the message numbers above.
bool IsBroadcastEvent(const QEvent* e);

// Runs `handler(const TBroadcastEvent&)` for a broadcast event; an exception marks
// it failed. Returns whether `e` was a broadcast event.
template <class F>
bool GuardBroadcast(QEvent* e, F&& handler) {
  if (!IsBroadcastEvent(e)) return false;
  auto* be = static_cast<TBroadcastEvent*>(e);
  try {
    handler(*be);
  } catch (...) {
    be->Fail();
  }
  return true;
}

// Delivers one message to every top-level widget in `windows` order (then to any
// other top-level widget) and to every child widget, each once. Receivers may
// create or delete windows meanwhile: the walk uses a snapshot of guarded
// pointers. Failures go to `report` as "Broadcast <parent> ==> FAILURE!" (child
// controls) or "Dispatch <window> ==> FAILURE!" (the window itself).
void BroadcastMessage(int msg, qintptr wParam, qintptr lParam,
                      const QList<QPointer<QWidget>>& windows,
                      const std::function<void(const QString&)>& report);

}  // namespace zeb7::gui
