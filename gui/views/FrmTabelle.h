#pragma once
// The base of the parameter table windows: a tab strip whose tabs select what
// the grid shows. Rows carry parameter keys (target * 65536 + index), never
// pointers into the model: the database frees parameters without telling us.
#include <QTableWidget>
#include <QWidget>
#include <cstdint>
#include <vector>

class QTabBar;
class QVBoxLayout;

namespace zeb7 {
class TDriveModel;
}

namespace zeb7::gui {

inline constexpr const char* kParamKeyMimeType = "application/x-zeb7-param-key";

// The grid of a table window; a row whose column 0 holds a key can be dragged.
class TParamGrid : public QTableWidget {
  Q_OBJECT
 public:
  static constexpr int KeyRole = Qt::UserRole + 1;
  explicit TParamGrid(QWidget* parent = nullptr);
  // The key in column 0 of `row`, or -1.
  int32_t KeyOfRow(int row) const;

 protected:
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QList<QTableWidgetItem*>& items) const override;
};

class TFormTabelle : public QWidget {
  Q_OBJECT
 public:
  TFormTabelle(zeb7::TDriveModel* model, QWidget* parent);

  virtual void InitTabs() = 0;
  virtual void FillGrid(int iTab) = 0;
  virtual void ClearGrid();
  virtual void InitGrid() = 0;

  // Clear, rebuild the tabs and fill the grid for the selected tab.
  void ShowActualData();
  // Tab change: clear, then fill for the selected tab.
  void TabChanged();
  // Opening place: at the right edge of the screen.
  void PlaceAtRightEdge();

  QTabBar* TabControlGroups;
  TParamGrid* StringGrid1;
  std::vector<int32_t> TabIdent;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void SetColumns(const QStringList& headers, const std::vector<int>& widths);
  // Page Up/Down switch tabs in tables that see keys before their controls.
  void EnableTabKeys();
  // Rows of this table may be dragged onto sheets.
  void EnableRowDrag();
  void WidenLastColumn();

  zeb7::TDriveModel* model_;
  QVBoxLayout* layout_;
  bool stale_ = true;
};

}  // namespace zeb7::gui
