#include "gui/displays/DisplayFactory.h"

#include "gui/displays/DispCheckWin.h"
#include "gui/displays/DispLedWin.h"
#include "gui/displays/LedArrayWin.h"
#include "gui/displays/RadioWin.h"
#include "gui/displays/ThumbWheelWin.h"

namespace zeb7::gui {

TDisplayWin* CreateDisplayWin(zeb7::TDisplayClass cls, QWidget* parent, zeb7::TDriveModel* model) {
  switch (cls) {
    case zeb7::dcDisplayWin: return new TDisplayWin(parent, model);
    case zeb7::dcNumeric: return new TNumericDisplayWin(parent, model);
    case zeb7::dcThumbWheel: return new TThumbWheelWin(parent, model);
    case zeb7::dcCheck: return new TDispCheckWin(parent, model);
    case zeb7::dcRadio: return new TRadioWin(parent, model);
    case zeb7::dcLedArray: return new TLedArrayWin(parent, model);
    case zeb7::dcLedRadio: return new TLedRadioWin(parent, model);
    case zeb7::dcLed: return new TDispLedWin(parent, model);
    case zeb7::dcNone:
    case zeb7::dcSheet: break;
  }
  return nullptr;
}

}  // namespace zeb7::gui
