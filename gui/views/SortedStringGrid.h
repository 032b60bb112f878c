#pragma once
// A string grid that keeps its data rows ordered by a compare function.
// Rows are numbered as in the grid including the header: row 0 is the fixed
// header row, data rows are 1 .. RowCount() - 1. There is always at least one
// data row (possibly empty).
#include <QStringList>
#include <QTableWidget>
#include <functional>

namespace zeb7::gui {

class TSortedStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  // < 0, 0, > 0 as Row1 sorts before, equal to, after Row2.
  using TStringsCompareFunction = std::function<int(const QStringList& row1, const QStringList& row2)>;
  static constexpr int FixedRows = 1;

  explicit TSortedStringGrid(QWidget* parent = nullptr);

  TStringsCompareFunction CompareFunction;
  bool Duplicates = false;

  // Header row included.
  int RowCount() const { return rowCount() + FixedRows; }
  // Cell texts of a data row (grid numbering); empty outside.
  QStringList Row(int iRow) const;
  void SetRow(int iRow, const QStringList& cells);
  bool RowIsEmpty(int iRow) const;

  // Binary search over the data rows; `index` is where KeyRow belongs.
  bool Search(const QStringList& keyRow, int& index) const;
  // The first row equal to KeyRow, or -1.
  int IndexOf(const QStringList& keyRow) const;
  // The row the new row went to, -1 for a rejected duplicate; without a compare
  // function the row count after adding.
  int Add(const QStringList& newRow);
  void RemoveRow(int iRow);
  void RemoveAllRows();
  void ShowRow(int iRow);

 private:
  void ClearRow(int qtRow);
  void Grow();
};

}  // namespace zeb7::gui
