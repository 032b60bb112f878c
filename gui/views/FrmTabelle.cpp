#include "gui/views/FrmTabelle.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QTabBar>
#include <QVBoxLayout>

#include "gui/workspace/Broadcast.h"

namespace zeb7::gui {

TParamGrid::TParamGrid(QWidget* parent) : QTableWidget(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  verticalHeader()->setVisible(false);
  verticalHeader()->setDefaultSectionSize(18);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  setWordWrap(false);
}

int32_t TParamGrid::KeyOfRow(int row) const {
  const QTableWidgetItem* it = item(row, 0);
  if (!it) return -1;
  const QVariant v = it->data(KeyRole);
  return v.isValid() ? v.toInt() : -1;
}

QStringList TParamGrid::mimeTypes() const { return {kParamKeyMimeType}; }

QMimeData* TParamGrid::mimeData(const QList<QTableWidgetItem*>& items) const {
  int row = currentRow();
  if (row < 0 && !items.isEmpty()) row = items.first()->row();
  const int32_t key = KeyOfRow(row);
  if (key < 0) return nullptr;  // rows without a parameter cannot be dropped
  auto* mime = new QMimeData;
  mime->setData(kParamKeyMimeType, QByteArray::number(key));
  return mime;
}

TFormTabelle::TFormTabelle(zeb7::TDriveModel* model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  StringGrid1 = new TParamGrid(this);
  StringGrid1->setObjectName("StringGrid1");
  TabControlGroups = new QTabBar(this);
  TabControlGroups->setObjectName("TabControlGroups");
  TabControlGroups->setShape(QTabBar::RoundedSouth);
  TabControlGroups->setExpanding(false);
  layout_->addWidget(StringGrid1, 1);
  layout_->addWidget(TabControlGroups);
  connect(TabControlGroups, &QTabBar::currentChanged, this, [this] { TabChanged(); });
  resize(530, 400);
}

void TFormTabelle::ClearGrid() {
  StringGrid1->clearContents();
  StringGrid1->setRowCount(1);
}

void TFormTabelle::TabChanged() {
  ClearGrid();
  const int tab = TabControlGroups->currentIndex();
  if (tab >= 0) FillGrid(tab);
  WidenLastColumn();
}

void TFormTabelle::ShowActualData() {
  stale_ = false;
  ClearGrid();
  const QSignalBlocker block(TabControlGroups);  // one fill, not one per tab added
  InitTabs();
  TabChanged();
}

void TFormTabelle::PlaceAtRightEdge() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect s = screen->geometry();
  setGeometry(s.width() - 530, s.height() / 2 - 40, 530, s.height() / 2);
}

bool TFormTabelle::event(QEvent* e) {
  if (GuardBroadcast(e, [this](const TBroadcastEvent& be) {
        const bool refresh = (be.Msg() == WM_REFRESH_DISPLAYS && be.LParam() != 0);
        if (!refresh) return;
        // A hidden table is filled when it is shown again.
        if (isVisible()) ShowActualData();
        else stale_ = true;
      }))
    return true;
  return QWidget::event(e);
}

void TFormTabelle::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (stale_) ShowActualData();
}

void TFormTabelle::EnableTabKeys() {
  StringGrid1->installEventFilter(this);
  TabControlGroups->installEventFilter(this);
}

void TFormTabelle::EnableRowDrag() {
  StringGrid1->setDragEnabled(true);
  StringGrid1->setDragDropMode(QAbstractItemView::DragOnly);
}

bool TFormTabelle::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool page = k->key() == Qt::Key_PageUp || k->key() == Qt::Key_PageDown;
    const auto mods = k->modifiers() & ~Qt::KeypadModifier;
    const int tabs = TabControlGroups->count();
    if (page && (mods == Qt::NoModifier || mods == Qt::ShiftModifier) && tabs > 1) {
      const int step = k->key() == Qt::Key_PageDown ? 1 : -1;
      TabControlGroups->setCurrentIndex((TabControlGroups->currentIndex() + step + tabs) % tabs);
      return true;
    }
    if (watched != StringGrid1) {
      StringGrid1->setFocus();
      QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(), k->count());
      QCoreApplication::sendEvent(StringGrid1, &copy);
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}

void TFormTabelle::SetColumns(const QStringList& headers, const std::vector<int>& widths) {
  StringGrid1->setColumnCount(static_cast<int>(widths.size()));
  QStringList h = headers;
  while (h.size() < static_cast<int>(widths.size())) h << QString();
  StringGrid1->setHorizontalHeaderLabels(h);
  for (size_t c = 0; c < widths.size(); ++c) StringGrid1->setColumnWidth(static_cast<int>(c), widths[c]);
}

void TFormTabelle::WidenLastColumn() {
  const int n = StringGrid1->columnCount();
  if (n == 0) return;
  int total = 0;
  for (int c = 0; c < n; ++c) total += StringGrid1->columnWidth(c);
  const int avail = StringGrid1->viewport()->width();
  if (avail > total) StringGrid1->setColumnWidth(n - 1, StringGrid1->columnWidth(n - 1) + avail - total);
}

void TFormTabelle::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  WidenLastColumn();
}

}  // namespace zeb7::gui
