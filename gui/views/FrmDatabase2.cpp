#include "gui/views/FrmDatabase2.h"

#include <QTabBar>

#include "model/DriveModel.h"

namespace zeb7::gui {

namespace {
QString L1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

TFormDatabase2::TFormDatabase2(zeb7::TDriveModel* model, QWidget* parent) : TFormTabelle(model, parent) {
  setObjectName("FormDatabase2");
  setWindowTitle("Parameter Groups");
  InitGrid();
  EnableTabKeys();
  EnableRowDrag();  // rows carry no parameter: nothing starts
  PlaceAtRightEdge();
}

void TFormDatabase2::InitGrid() {
  SetColumns({"Target", "Index", "Caption", "Description", "Parent Group"},
             {61, 61, 125, 129, 143, 85, 77, 150});
}

void TFormDatabase2::InitTabs() {
  TabControlGroups->blockSignals(true);
  while (TabControlGroups->count()) TabControlGroups->removeTab(0);
  TabControlGroups->addTab("All Parameters");
  TabControlGroups->setCurrentIndex(0);
  TabControlGroups->blockSignals(false);
}

void TFormDatabase2::FillGrid(int) {
  if (!model_) return;
  std::vector<QStringList> rows;
  {
    auto lock = model_->Lock();
    zeb7::TStringLists& s = model_->Strings;
    for (int t = 0; t < zeb7::kTargetCount; ++t) {
      const zeb7::TControllerStringList& names = *s.GroupNameLists[t];
      for (int i = 0; i < names.Count(); ++i) {
        rows.push_back({QString::number(t), QString::number(i), L1(names.GetString(i)),
                        L1(s.GroupDescriptionLists[t]->GetString(i)), L1(s.GroupParentLists[t]->GetString(i))});
      }
    }
  }
  if (rows.empty()) return;
  StringGrid1->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < rows[r].size(); ++c) StringGrid1->setItem(r, c, new QTableWidgetItem(rows[r][c]));
}

}  // namespace zeb7::gui
