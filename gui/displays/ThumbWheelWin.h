#pragma once
// A numeric display with a "+" and a "-" button per cell; a click changes the
// digit and sends the value at once.
#include <QPushButton>

#include "gui/displays/NumericDisplayWin.h"

namespace zeb7::gui {

class TThumbWheelWin : public TNumericDisplayWin {
  Q_OBJECT
 public:
  TThumbWheelWin(QWidget* parent, zeb7::TDriveModel* model);

  zeb7::TThumbWheelCore& Wheel() { return static_cast<zeb7::TThumbWheelCore&>(Core()); }
  // The button with that tag and direction, nullptr when not shown.
  QPushButton* Button(int tag, bool up) const;
  void ClickTag(int tag);

  QList<QPushButton*> aButtons;  // parallel to the core's Buttons()

 protected:
  void UpdateControls() override;
};

}  // namespace zeb7::gui
