#pragma once
// An LED group: one labelled LED per item, lit when the value is its number
// (TLedArrayWin: when its bit is set).
#include <QLabel>
#include <QList>

#include "displays/SelectionCore.h"
#include "gui/displays/DisplayWin.h"

namespace zeb7::gui {

class TLedRadioWin : public TDisplayWin {
  Q_OBJECT
 public:
  TLedRadioWin(QWidget* parent, zeb7::TDriveModel* model, zeb7::TDisplayClass cls = zeb7::dcLedRadio);
  zeb7::TLedRadioCore& Leds() { return static_cast<zeb7::TLedRadioCore&>(Core()); }
  // Resource names of the shown LEDs, in item order.
  QStringList ShownPictures() const { return shown_; }

  QList<QLabel*> aLedCaptions;
  QList<QLabel*> aLedImages;

 protected:
  void UpdateControls() override;

 private:
  QStringList shown_;
};

}  // namespace zeb7::gui
