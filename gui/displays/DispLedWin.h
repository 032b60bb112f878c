#pragma once
// A single LED, lit while the value is not 0, with a text label.
#include <QLabel>

#include "displays/SelectionCore.h"
#include "gui/displays/DisplayWin.h"

namespace zeb7::gui {

class TDispLedWin : public TDisplayWin {
  Q_OBJECT
 public:
  TDispLedWin(QWidget* parent, zeb7::TDriveModel* model);
  zeb7::TLedCore& Led() { return static_cast<zeb7::TLedCore&>(Core()); }

  QLabel* MyLabel;
  QLabel* LedImage;
  // The resource name of the picture shown ("GRUEN24X24" ...).
  QString ShownPicture() const { return shown_; }

 protected:
  void UpdateControls() override;

 private:
  QString shown_;
};

}  // namespace zeb7::gui
