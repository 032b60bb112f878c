#pragma once
// A display window: a framed box with caption, target and vertical group
// name, bound to one parameter through a core binding (TDisplayBinding), which
// the parameter database sees as IDisplayWin. Also the plain "Group Box".
// The widget only paints and routes events; state and arithmetic are the core's.
#include <QPointer>
#include <memory>

#include "displays/DisplayBinding.h"
#include "gui/displays/FocusWin.h"

class QLabel;

namespace zeb7 {
class TDriveModel;
}

namespace zeb7::gui {

class TDisplayWin;

// The binding of one widget; the database's display lists hold it.
class TGuiDisplayBinding : public zeb7::TDisplayBinding {
 public:
  TGuiDisplayBinding(std::unique_ptr<zeb7::TDisplayCore> core, zeb7::TDriveModel* model, TDisplayWin* widget);
  TDisplayWin* Widget() const { return widget_; }

 private:
  TDisplayWin* widget_;
};

class TDisplayWin : public TFocusWin {
  Q_OBJECT
 public:
  // The group box; subclasses pass their own class.
  TDisplayWin(QWidget* parent, zeb7::TDriveModel* model, zeb7::TDisplayClass cls = zeb7::dcDisplayWin);
  // Unlinks from every parameter's display list (the binding's destructor).
  ~TDisplayWin() override;

  zeb7::TDisplayClass DisplayClass() const { return core().Class(); }
  TGuiDisplayBinding& Binding() { return *binding_; }
  zeb7::TDisplayCore& Core() { return core(); }
  const zeb7::TDisplayCore& Core() const { return core(); }
  zeb7::TFocusDrag& Drag() override { return core().Drag; }
  zeb7::TDriveModel* Model() const { return model_; }

  // The core changed: caption, geometry, controls, marker.
  void SyncFromCore();
  // Name from the class without "T" and the smallest free number among the
  // components of `owner` (the main window).
  void SetUniqueName(QObject* owner);
  // Geometry from the core's bounds.
  void ApplyCoreBounds();

  QLabel* LabelCaption;

 protected:
  // Places and fills the controls of the subclass from the core.
  virtual void UpdateControls() {}
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool event(QEvent* e) override;
  void Modified() override;
  QFont TextFont() const;

 private:
  zeb7::TDisplayCore& core() const { return binding_->Core(); }
  void CoreBoundsFromWidget();
  void AskDelete(QPoint globalPos);

  zeb7::TDriveModel* model_;
  std::unique_ptr<TGuiDisplayBinding> binding_;
  QWidget* marker_;
  bool syncing_ = false;
};

// The display window that shows a binding the database holds.
inline TDisplayWin* WidgetOf(zeb7::IDisplayWin* w) {
  auto* b = dynamic_cast<TGuiDisplayBinding*>(w);
  return b ? b->Widget() : nullptr;
}

}  // namespace zeb7::gui
