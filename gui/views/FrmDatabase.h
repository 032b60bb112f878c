#pragma once
// "Controller Parameters": one row per parameter of the database, in key
// order, with a filter on firmware name, caption and group.
#include "gui/views/FrmTabelle.h"

class QLineEdit;
class QPushButton;

namespace zeb7::gui {

class TFormDatabase : public TFormTabelle {
  Q_OBJECT
 public:
  TFormDatabase(zeb7::TDriveModel* model, QWidget* parent);

  void InitTabs() override;
  void FillGrid(int iTab) override;
  void InitGrid() override;

  QLineEdit* FilterEdit;
  QPushButton* ButtonRefresh;
};

}  // namespace zeb7::gui
