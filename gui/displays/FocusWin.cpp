#include "gui/displays/FocusWin.h"

#include <QMouseEvent>

#include "gui/workspace/Broadcast.h"

namespace zeb7::gui {

namespace {
Qt::CursorShape ShapeOf(zeb7::TCursorShape c) {
  switch (c) {
    case zeb7::csHand: return Qt::OpenHandCursor;
    case zeb7::csSizeHorizontal: return Qt::SizeHorCursor;
    case zeb7::csSizeVertical: return Qt::SizeVerCursor;
    case zeb7::csDefault: break;
  }
  return Qt::ArrowCursor;
}
}  // namespace

TFocusWin::TFocusWin(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);  // edges are found while the button is up
}

zeb7::TRect TFocusWin::CurrentBounds() const {
  const QRect g = geometry();
  return {g.x(), g.y(), g.width(), g.height()};
}

void TFocusWin::SetDesignMode(bool on) {
  Drag().SetDesignMode(on);
  if (!on) {
    unsetCursor();
    for (QWidget* c : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) c->unsetCursor();
    if (mouseGrabber() == this) releaseMouse();
  }
}

void TFocusWin::mousePressEvent(QMouseEvent* e) {
  if (!DesignMode() || e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
  setFocus();
  const QPoint p = e->position().toPoint();
  Drag().MouseDown(p.x(), p.y(), CurrentBounds());
  e->accept();
}

void TFocusWin::mouseMoveEvent(QMouseEvent* e) {
  if (!DesignMode()) return QWidget::mouseMoveEvent(e);
  const QPoint p = e->position().toPoint();
  if (Drag().MouseMove(p.x(), p.y(), e->buttons() & Qt::LeftButton, CurrentBounds())) {
    const zeb7::TRect& r = Drag().Bounds();
    setGeometry(r.Left, r.Top, r.Width, r.Height);
  }
  FollowCursor();
  e->accept();
}

void TFocusWin::mouseReleaseEvent(QMouseEvent* e) {
  if (!DesignMode() || e->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(e);
  const bool changed = Drag().MouseUp(CurrentBounds());
  unsetCursor();
  if (changed) Modified();
  e->accept();
}

void TFocusWin::FollowCursor() {
  const zeb7::TMovement m = Drag().Movement();
  setCursor(ShapeOf(zeb7::CursorOf(m)));
  for (QWidget* c : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (!qobject_cast<TFocusWin*>(c)) {
      if (m != zeb7::mvNone) c->setCursor(Qt::ArrowCursor);
      else c->unsetCursor();
    }
}

bool TFocusWin::event(QEvent* e) {
  if (IsBroadcastEvent(e) && static_cast<int>(e->type()) == WM_SET_DESIGN_MODE)
    return GuardBroadcast(e, [this](const TBroadcastEvent& be) { SetDesignMode(be.LParam() != 0); });
  return QWidget::event(e);
}

}  // namespace zeb7::gui
