#pragma once
// "Parameter Groups": the group names, descriptions and parents of every target.
#include "gui/views/FrmTabelle.h"

namespace zeb7::gui {

class TFormDatabase2 : public TFormTabelle {
  Q_OBJECT
 public:
  TFormDatabase2(zeb7::TDriveModel* model, QWidget* parent);

  void InitTabs() override;
  void FillGrid(int iTab) override;
  void InitGrid() override;
};

}  // namespace zeb7::gui
