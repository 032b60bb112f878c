#include "displays/FocusGeometry.h"

#include "displays/DisplayMath.h"

namespace zeb7 {

TMovement HitTest(int32_t x, int32_t y, int32_t width, int32_t height, bool leftButtonDown) {
  if (leftButtonDown || x < 0 || y < 0 || x > width || y > height) return mvNone;
  if (x < kGrabZone) return mvLeft;
  if (x > width - kGrabZone) return mvRight;
  if (y < kGrabZone) return mvTop;
  if (y > height - kGrabZone) return mvBottom;
  return mvMove;
}

TRect DragBounds(TMovement m, const TRect& start, const TRect& current, int32_t dx, int32_t dy) {
  dx = NearestRaster(dx, false);
  dy = NearestRaster(dy, false);
  TRect r = current;
  switch (m) {
    case mvLeft:
      if (current.Width - dx < kMinDisplayWidth) dx = current.Width - kMinDisplayWidth;
      if (dx < 0 && current.Width < kMinDisplayWidth) dx = 0;
      r.Left += dx;
      r.Width -= dx;
      break;
    case mvTop:
      if (current.Height - dy < kMinDisplayHeight) dy = current.Height - kMinDisplayHeight;
      if (dy < 0 && current.Height < kMinDisplayHeight) dy = 0;
      r.Top += dy;
      r.Height -= dy;
      break;
    case mvRight:
      r.Width = start.Width + dx;
      if (r.Width < kMinDisplayWidth) r.Width = kMinDisplayWidth;
      break;
    case mvBottom:
      r.Height = start.Height + dy;
      if (r.Height < kMinDisplayHeight) r.Height = kMinDisplayHeight;
      break;
    case mvMove:
    case mvNone:
      r.Left += dx;
      r.Top += dy;
      break;
  }
  return r;
}

TCursorShape CursorOf(TMovement m) {
  switch (m) {
    case mvMove: return csHand;
    case mvLeft: case mvRight: return csSizeHorizontal;
    case mvTop: case mvBottom: return csSizeVertical;
    case mvNone: break;
  }
  return csDefault;
}

void TFocusDrag::SetDesignMode(bool on) {
  designMode_ = on;
  if (!on) {
    moving_ = false;
    movement_ = mvNone;
  }
}

void TFocusDrag::MouseDown(int32_t x, int32_t y, const TRect& bounds) {
  if (!designMode_) return;
  moving_ = true;
  x_ = x;
  y_ = y;
  start_ = bounds;
  bounds_ = bounds;
}

bool TFocusDrag::MouseMove(int32_t x, int32_t y, bool leftButtonDown, const TRect& current) {
  if (!designMode_) return false;
  bounds_ = current;
  if (!moving_) {
    movement_ = HitTest(x, y, current.Width, current.Height, leftButtonDown);
    return false;
  }
  if (!leftButtonDown) {
    moving_ = false;
    movement_ = mvNone;
    return false;
  }
  bounds_ = DragBounds(movement_, start_, current, x - x_, y - y_);
  return !(bounds_ == current);
}

bool TFocusDrag::MouseUp(const TRect& current) {
  bool wasMoving = moving_;
  moving_ = false;
  bounds_ = current;
  return wasMoving && !(current == start_);
}

}  // namespace zeb7
