#pragma once
// A parameter value as a row of digit cells with sign, point and unit.
#include <QList>

#include "displays/NumericCore.h"
#include "gui/displays/DisplayWin.h"

class QLabel;

namespace zeb7::gui {

class TNumericDisplayWin : public TDisplayWin {
  Q_OBJECT
 public:
  TNumericDisplayWin(QWidget* parent, zeb7::TDriveModel* model, zeb7::TDisplayClass cls = zeb7::dcNumeric);

  zeb7::TNumericDisplayCore& Numeric() { return static_cast<zeb7::TNumericDisplayCore&>(Core()); }
  // Cell i (0 rightmost, Digits() the sign cell); nullptr beyond.
  QLabel* Cell(int i) const { return i >= 0 && i < aStaticText.size() ? aStaticText[i] : nullptr; }

  QList<QLabel*> aStaticText;
  QLabel* stEinheit;
  QWidget* Shape1;

 protected:
  void UpdateControls() override;
};

}  // namespace zeb7::gui
