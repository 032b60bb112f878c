#include "gui/views/SortedStringGrid.h"

#include <QHeaderView>
#include <algorithm>

namespace zeb7::gui {

TSortedStringGrid::TSortedStringGrid(QWidget* parent) : QTableWidget(parent) {
  setRowCount(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->setVisible(false);
}

QStringList TSortedStringGrid::Row(int iRow) const {
  QStringList out;
  const int r = iRow - FixedRows;
  if (r < 0 || r >= rowCount()) return out;
  for (int c = 0; c < columnCount(); ++c) {
    const QTableWidgetItem* it = item(r, c);
    out << (it ? it->text() : QString());
  }
  return out;
}

void TSortedStringGrid::SetRow(int iRow, const QStringList& cells) {
  const int r = iRow - FixedRows;
  if (r < 0 || r >= rowCount()) return;
  for (int c = 0; c < columnCount(); ++c)
    setItem(r, c, new QTableWidgetItem(c < cells.size() ? cells[c] : QString()));
}

bool TSortedStringGrid::RowIsEmpty(int iRow) const {
  for (const QString& s : Row(iRow))
    if (!s.isEmpty()) return false;
  return true;
}

bool TSortedStringGrid::Search(const QStringList& keyRow, int& index) const {
  int lo = FixedRows, hi = RowCount() - 1;
  index = lo;
  if (!CompareFunction) return false;
  bool found = false;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const int c = CompareFunction(Row(mid), keyRow);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (!Duplicates) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TSortedStringGrid::IndexOf(const QStringList& keyRow) const {
  if (!CompareFunction) return -1;
  for (int r = FixedRows; r < RowCount(); ++r)
    if (CompareFunction(Row(r), keyRow) == 0) return r;
  return -1;
}

void TSortedStringGrid::Grow() {
  // A single empty data row is the grid's "no data" state: reuse it.
  if (rowCount() == 1 && RowIsEmpty(FixedRows)) return;
  setRowCount(rowCount() + 1);
}

int TSortedStringGrid::Add(const QStringList& newRow) {
  if (!CompareFunction) {
    Grow();
    SetRow(RowCount() - 1, newRow);
    return RowCount();
  }
  int index = 0;
  if (Search(newRow, index) && !Duplicates) return -1;
  Grow();
  index = std::min(index, RowCount() - 1);
  for (int r = RowCount() - 1; r > index; --r) SetRow(r, Row(r - 1));
  SetRow(index, newRow);
  return index;
}

void TSortedStringGrid::ClearRow(int qtRow) {
  for (int c = 0; c < columnCount(); ++c) delete takeItem(qtRow, c);
}

void TSortedStringGrid::RemoveRow(int iRow) {
  if (iRow < FixedRows || iRow >= RowCount()) return;
  if (rowCount() == 1) {
    ClearRow(0);
    return;
  }
  removeRow(iRow - FixedRows);
}

void TSortedStringGrid::RemoveAllRows() {
  clearContents();
  setRowCount(1);
}

void TSortedStringGrid::ShowRow(int iRow) {
  if (iRow < FixedRows || iRow >= RowCount()) return;
  const int r = iRow - FixedRows;
  scrollTo(model()->index(r, 0), QAbstractItemView::EnsureVisible);
  setCurrentCell(r, 0);
}

}  // namespace zeb7::gui
