#pragma once
// A control the user moves and resizes with the mouse while design mode is on.
// The arithmetic is the core's TFocusDrag; this only routes mouse events and
// shows the cursors.
#include <QWidget>

#include "displays/FocusGeometry.h"

namespace zeb7::gui {

class TFocusWin : public QWidget {
  Q_OBJECT
 public:
  explicit TFocusWin(QWidget* parent);

  void SetDesignMode(bool on);
  bool DesignMode() const { return Drag().DesignMode(); }
  // The drag state machine (the display core's).
  virtual zeb7::TFocusDrag& Drag() = 0;
  const zeb7::TFocusDrag& Drag() const { return const_cast<TFocusWin*>(this)->Drag(); }

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  bool event(QEvent* e) override;
  // The user changed the bounds (OnModify).
  virtual void Modified() {}
  zeb7::TRect CurrentBounds() const;

 private:
  void FollowCursor();
};

}  // namespace zeb7::gui
