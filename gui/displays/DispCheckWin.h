#pragma once
// A 0/1 parameter as a check box; a user click sends the value.
#include <QCheckBox>

#include "displays/SelectionCore.h"
#include "gui/displays/DisplayWin.h"

namespace zeb7::gui {

class TDispCheckWin : public TDisplayWin {
  Q_OBJECT
 public:
  TDispCheckWin(QWidget* parent, zeb7::TDriveModel* model);
  zeb7::TCheckCore& Check() { return static_cast<zeb7::TCheckCore&>(Core()); }

  QCheckBox* CheckBox;

 protected:
  void UpdateControls() override;

 private:
  void UserClicked(bool checked);
  bool fNoUserClick = false;
};

}  // namespace zeb7::gui
