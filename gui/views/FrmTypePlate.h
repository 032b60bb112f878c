#pragma once
// "Type Plate": the type plate lines of every target; a double click edits a
// line on the drive (command 33) and has it read back.
#include "gui/views/FrmTabelle.h"

namespace zeb7::gui {

class TFormTypePlate : public TFormTabelle {
  Q_OBJECT
 public:
  TFormTypePlate(zeb7::TDriveModel* model, QWidget* parent);

  void InitTabs() override;
  void FillGrid(int iTab) override;
  void InitGrid() override;
  // Asks for the new text of the line in grid row `row` and sends it.
  void EditLine(int row);

 protected:
  bool event(QEvent* e) override;
};

}  // namespace zeb7::gui
