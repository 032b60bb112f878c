#pragma once
// "Parameters": the drive's parameter groups arranged by their parents, under
// each group its parameters (core::TParameterTreeBuilder). Items hold the
// parameter key or nothing, never a pointer into the model. Group rows with a
// description are drawn by the window itself; hovering a parameter shows its
// details; dragging one onto a sheet creates a display window for it.
#include <QTreeWidget>
#include <QWidget>

#include "gui/views/FrmTabelle.h"
#include "paramfiles/ParameterTreeBuilder.h"

class QPushButton;

namespace zeb7 {
class TDriveModel;
}

namespace zeb7::gui {

inline constexpr const char* kParamKeyMime = kParamKeyMimeType;  // one drag format for every view

// The tree control: drag source of parameter keys, hints built on demand.
class TParamTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  enum { KeyRole = Qt::UserRole + 1, KindRole, DescriptionRole };
  TParamTreeView(zeb7::TDriveModel* model, QWidget* parent);
  QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
  QStringList mimeTypes() const override { return {kParamKeyMime}; }
  QTreeWidgetItem* lastHintNode = nullptr;

 protected:
  bool viewportEvent(QEvent* e) override;

 private:
  zeb7::TDriveModel* model_;
};

class TFormParameterTree : public QWidget {
  Q_OBJECT
 public:
  TFormParameterTree(zeb7::TDriveModel* model, QWidget* parent);
  ~TFormParameterTree() override;

  // WM_REFRESH_DISPLAYS: 0 clears, 3 is ignored, anything else rebuilds.
  void RefreshDisplays(int64_t lParam);
  void Rebuild();
  // The hint of an item ("" for group nodes).
  QString HintOf(const QTreeWidgetItem* item) const;

  TParamTreeView* TreeView1;
  QPushButton* BtnClose;

 private:
  QTreeWidgetItem* MakeItem(const zeb7::TParameterTreeBuilder& b, int node);

  zeb7::TDriveModel* model_;
  int subscription_ = 0;
};

}  // namespace zeb7::gui
