#include "gui/workspace/Broadcast.h"

#include <QApplication>

namespace zeb7::gui {

bool IsBroadcastEvent(const QEvent* e) {
  switch (static_cast<int>(e->type())) {
    case WM_REFRESH_DISPLAYS:
    case WM_TYPEPLATE_CHANGED:
    case WM_SET_DESIGN_MODE:
      return dynamic_cast<const TBroadcastEvent*>(e) != nullptr;
    default:
      return false;
  }
}

namespace {

QString NameOf(const QObject* o) {
  QString n = o->objectName();
  return n.isEmpty() ? QString::fromLatin1(o->metaObject()->className()) : n;
}

// One delivery; false when the receiver failed.
bool Deliver(QWidget* w, TBroadcastEvent& ev) {
  ev.Reset();
  try {
    QCoreApplication::sendEvent(w, &ev);
  } catch (...) {
    return false;
  }
  return !ev.Failed();
}

QList<QPointer<QWidget>> DirectChildren(QWidget* w) {
  QList<QPointer<QWidget>> out;
  for (QWidget* c : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (!c->isWindow()) out.append(c);
  return out;
}

void SendToChildren(QWidget* parent, TBroadcastEvent& ev,
                    const std::function<void(const QString&)>& report) {
  QString parentName = NameOf(parent);
  for (const auto& c : DirectChildren(parent))
    if (c && !Deliver(c, ev) && report) report("Broadcast " + parentName + " ==> FAILURE!");
}

}  // namespace

void BroadcastMessage(int msg, qintptr wParam, qintptr lParam,
                      const QList<QPointer<QWidget>>& windows,
                      const std::function<void(const QString&)>& report) {
  QList<QPointer<QWidget>> tops;
  for (const auto& w : windows)
    if (w && !tops.contains(w)) tops.append(w);
  for (QWidget* w : QApplication::topLevelWidgets())
    if (!tops.contains(w)) tops.append(w);

  TBroadcastEvent ev(msg, wParam, lParam);
  for (const auto& top : tops) {
    if (!top) continue;
    SendToChildren(top, ev, report);
    if (top && !Deliver(top, ev) && report) report("Dispatch " + NameOf(top) + " ==> FAILURE!");
    if (!top) continue;
    // Every deeper control gets it from its own parent, each once.
    QList<QPointer<QWidget>> inner;
    for (QWidget* d : top->findChildren<QWidget*>())
      if (!d->isWindow()) inner.append(d);
    for (const auto& d : inner)
      if (d) SendToChildren(d, ev, report);
  }
}

}  // namespace zeb7::gui
