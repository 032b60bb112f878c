#pragma once
// One of up to 30 values as radio buttons; a user click sends the value.
// Buttons are not auto-exclusive: the check marks follow the core (a value
// outside the items clears them), and only clicks, never toggles, send.
#include <QList>
#include <QRadioButton>

#include "displays/SelectionCore.h"
#include "gui/displays/DisplayWin.h"

namespace zeb7::gui {

class TRadioWin : public TDisplayWin {
  Q_OBJECT
 public:
  TRadioWin(QWidget* parent, zeb7::TDriveModel* model);
  zeb7::TRadioCore& Radio() { return static_cast<zeb7::TRadioCore&>(Core()); }
  void ClickItem(int i);

  QList<QRadioButton*> aRadioButtons;

 protected:
  void UpdateControls() override;

 private:
  bool fNoUserClick = false;
};

}  // namespace zeb7::gui
