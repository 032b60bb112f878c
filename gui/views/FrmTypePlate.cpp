#include "gui/views/FrmTypePlate.h"

#include <QInputDialog>
#include <QPointer>
#include <QTabBar>

#include "gui/workspace/Broadcast.h"
#include "model/DriveModel.h"

namespace zeb7::gui {

namespace {
QString L1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

TFormTypePlate::TFormTypePlate(zeb7::TDriveModel* model, QWidget* parent) : TFormTabelle(model, parent) {
  setObjectName("FormTypePlate");
  setWindowTitle("Type Plate");
  InitGrid();
  PlaceAtRightEdge();
  connect(StringGrid1, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { EditLine(row); });
}

void TFormTypePlate::InitGrid() { SetColumns({"Line", "Text"}, {81, 338}); }

void TFormTypePlate::InitTabs() {
  TabControlGroups->blockSignals(true);
  while (TabControlGroups->count()) TabControlGroups->removeTab(0);
  TabControlGroups->addTab("Type Plate");
  TabControlGroups->setCurrentIndex(0);
  TabControlGroups->blockSignals(false);
}

void TFormTypePlate::FillGrid(int) {
  TabIdent.clear();
  if (!model_) return;
  std::vector<QStringList> rows;
  {
    auto lock = model_->Lock();
    for (int t = 0; t < zeb7::kTargetCount; ++t) {
      const zeb7::TControllerStringList& lines = *model_->Strings.TypePlateLists[t];
      for (int pos = 0; pos < lines.Count(); ++pos) {
        const zeb7::TControllerString* s = lines.At(pos);
        if (!s) continue;
        rows.push_back({QString("%1 : %2").arg(t).arg(s->iMyIndex), L1(s->sCaption)});
        TabIdent.push_back(t * 65536 + s->iMyIndex);
      }
    }
  }
  if (rows.empty()) return;
  StringGrid1->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < 2; ++c) StringGrid1->setItem(r, c, new QTableWidgetItem(rows[r][c]));
}

void TFormTypePlate::EditLine(int row) {
  if (!model_ || row < 0 || row >= static_cast<int>(TabIdent.size())) return;
  const int32_t key = TabIdent[static_cast<size_t>(row)];
  const int target = key / 65536, index = key & 0xFFFF;
  QString old;
  {
    auto lock = model_->Lock();
    if (target >= zeb7::kTargetCount) return;
    const zeb7::TControllerStringList& lines = *model_->Strings.TypePlateLists[target];
    const zeb7::TControllerString* s = index < lines.Count() ? lines.Find(index) : nullptr;
    if (!s) return;
    old = L1(s->sCaption);
  }
  bool ok = false;
  QPointer<TFormTypePlate> self(this);
  const QString text = QInputDialog::getText(this, "Enter new Text:", old, QLineEdit::Normal, old, &ok);
  // A cancelled box (or one confirmed unchanged) sends nothing.
  if (!self || !ok || text == old) return;
  try {
    model_->ExchVars.WriteTypePlateLine(target, index, text.toLatin1().toStdString());
  } catch (...) {
  }
}

bool TFormTypePlate::event(QEvent* e) {
  if (IsBroadcastEvent(e) && static_cast<int>(e->type()) == WM_TYPEPLATE_CHANGED) {
    return GuardBroadcast(e, [this](const TBroadcastEvent&) {
      if (isVisible()) ShowActualData();
      else stale_ = true;
    });
  }
  return TFormTabelle::event(e);
}

}  // namespace zeb7::gui
