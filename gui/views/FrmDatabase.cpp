#include "gui/views/FrmDatabase.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "model/DriveModel.h"

namespace zeb7::gui {

namespace {
QString L1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

TFormDatabase::TFormDatabase(zeb7::TDriveModel* model, QWidget* parent) : TFormTabelle(model, parent) {
  setObjectName("FormDatabase");
  setWindowTitle("Controller Parameters");
  FilterEdit = new QLineEdit(this);
  FilterEdit->setObjectName("FilterEdit");
  FilterEdit->setPlaceholderText("Filter: name, caption or group");
  FilterEdit->setClearButtonEnabled(true);
  layout_->insertWidget(0, FilterEdit);
  auto* bottom = new QWidget(this);
  auto* bl = new QHBoxLayout(bottom);
  bl->setContentsMargins(4, 2, 4, 2);
  ButtonRefresh = new QPushButton("Refresh", bottom);
  ButtonRefresh->setObjectName("ButtonRefresh");
  bl->addWidget(ButtonRefresh);
  bl->addStretch();
  layout_->addWidget(bottom);
  connect(ButtonRefresh, &QPushButton::clicked, this, [this] { ShowActualData(); });
  connect(FilterEdit, &QLineEdit::textChanged, this, [this] { TabChanged(); });
  InitGrid();
  EnableTabKeys();
  EnableRowDrag();
  PlaceAtRightEdge();
}

void TFormDatabase::InitGrid() {
  SetColumns({"Index", "Caption", "Value", "Group", "Control", "Name", "Checksum", "Properties"},
             {187, 61, 125, 109, 59, 85, 77, 150});
}

void TFormDatabase::InitTabs() {
  TabControlGroups->blockSignals(true);
  while (TabControlGroups->count()) TabControlGroups->removeTab(0);
  TabControlGroups->addTab("All Parameters");
  TabControlGroups->setCurrentIndex(0);
  TabControlGroups->blockSignals(false);
}

void TFormDatabase::FillGrid(int) {
  if (!model_) return;
  const QString filter = FilterEdit->text().trimmed();
  struct RowData {
    int32_t key;
    QStringList cells;
  };
  std::vector<RowData> rows;
  {
    auto lock = model_->Lock();
    zeb7::TParameterList& list = model_->ParameterList;
    rows.reserve(static_cast<size_t>(list.Count()));
    for (int pos = 0; pos < list.Count(); ++pos) {
      zeb7::TParameter* p = list.At(pos);
      if (!p) continue;
      const QString name = L1(p->P.sFirmwareName), caption = L1(p->P.sCaption), group = L1(p->sGroupName());
      if (!filter.isEmpty() && !name.contains(filter, Qt::CaseInsensitive) &&
          !caption.contains(filter, Qt::CaseInsensitive) && !group.contains(filter, Qt::CaseInsensitive))
        continue;
      rows.push_back({p->Key(),
                      {QString::asprintf("%05X", static_cast<unsigned>(p->Key())), caption,
                       QString::number(p->i64Value), group, L1(p->P.sControl), name,
                       QString::asprintf("%04X", p->P.wChecksum), L1(p->P.sControlProperties)}});
    }
  }
  if (rows.empty()) return;
  StringGrid1->setUpdatesEnabled(false);
  StringGrid1->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int c = 0; c < rows[r].cells.size(); ++c) {
      auto* it = new QTableWidgetItem(rows[r].cells[c]);
      if (c == 0) it->setData(TParamGrid::KeyRole, rows[r].key);
      StringGrid1->setItem(r, c, it);
    }
  }
  StringGrid1->setUpdatesEnabled(true);
}

}  // namespace zeb7::gui
