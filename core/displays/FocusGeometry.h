#pragma once
// Design-mode move and resize: which edge a mouse position grabs and the
// bounds a drag gives. The widget feeds mouse events into TFocusDrag and
// applies Bounds(); it shows the cursor of Movement().
#include <cstdint>

namespace zeb7 {

enum TMovement : uint8_t { mvNone, mvMove, mvLeft, mvTop, mvRight, mvBottom };

struct TRect {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

// Width of the grab zone at each edge.
inline constexpr int32_t kGrabZone = 6;
// Smallest size a resize leaves (the frame and the state marker still fit).
inline constexpr int32_t kMinDisplayWidth = 16;
inline constexpr int32_t kMinDisplayHeight = 16;

// What a press at (x, y) would do on a window of that size; mvNone when the
// left button is already down or the point is outside.
TMovement HitTest(int32_t x, int32_t y, int32_t width, int32_t height, bool leftButtonDown);

// Bounds after the mouse moved by (dx, dy) client pixels from the press point.
// The offsets are cut down to the raster. Left, top and move work on the
// current bounds (the client origin moves with them), right and bottom on
// `start`, the bounds at the press. Sizes never go below the minimum; the
// opposite edge stays where it was.
TRect DragBounds(TMovement m, const TRect& start, const TRect& current, int32_t dx, int32_t dy);

enum TCursorShape : uint8_t { csDefault, csHand, csSizeHorizontal, csSizeVertical };
TCursorShape CursorOf(TMovement m);

// The move/resize state machine of one window (mouse in client coordinates).
class TFocusDrag {
 public:
  void SetDesignMode(bool on);
  bool DesignMode() const { return designMode_; }
  // Button press: remembers the point and the bounds.
  void MouseDown(int32_t x, int32_t y, const TRect& bounds);
  // Returns true when the bounds changed; the new ones are in Bounds().
  bool MouseMove(int32_t x, int32_t y, bool leftButtonDown, const TRect& current);
  // Button release: true when the bounds differ from those at the press (OnModify).
  bool MouseUp(const TRect& current);

  TMovement Movement() const { return movement_; }
  bool Moving() const { return moving_; }
  const TRect& Bounds() const { return bounds_; }

 private:
  bool designMode_ = false;
  bool moving_ = false;
  TMovement movement_ = mvNone;
  int32_t x_ = 0, y_ = 0;
  TRect start_{}, bounds_{};
};

}  // namespace zeb7
