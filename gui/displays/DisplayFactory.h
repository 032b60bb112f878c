#pragma once
// Makes the display window of a class.
#include "displays/DisplayKinds.h"

class QWidget;

namespace zeb7 {
class TDriveModel;
}

namespace zeb7::gui {

class TDisplayWin;

// nullptr for dcNone and dcSheet.
TDisplayWin* CreateDisplayWin(zeb7::TDisplayClass cls, QWidget* parent, zeb7::TDriveModel* model);

}  // namespace zeb7::gui
