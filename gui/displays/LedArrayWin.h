#pragma once
// An LED array: one LED per item, lit when the item's bit of the value is set.
#include "gui/displays/LedRadioWin.h"

namespace zeb7::gui {

class TLedArrayWin : public TLedRadioWin {
  Q_OBJECT
 public:
  TLedArrayWin(QWidget* parent, zeb7::TDriveModel* model) : TLedRadioWin(parent, model, zeb7::dcLedArray) {}
};

}  // namespace zeb7::gui
