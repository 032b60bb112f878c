#pragma once
// The workspace of the main window: its sheets and display windows, the
// display list in saving order, sheet editing, parameter drops, display
// creation and deletion, and building the workspace from a project document
// and back. The main window owns one and forwards its menus here.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "displays/DisplayKinds.h"

class QMimeData;
class QTabWidget;

namespace zeb7 {
class TDriveModel;
struct TProjectDocument;
}

namespace zeb7::gui {

class TDisplayWin;
class TScrollingTabSheet;

struct TWorkspaceHooks {
  std::function<void()> DataModified;
  std::function<void(const QString&)> Message;
  std::function<void()> SearchParams;
  std::function<void(const QString&)> DebugLine;
};

class TWorkspace : public QObject {
  Q_OBJECT
 public:
  // `owner` is the main window: names are unique among its descendants.
  TWorkspace(QTabWidget* pageControl, QWidget* owner, zeb7::TDriveModel* model, TWorkspaceHooks hooks);
  ~TWorkspace() override;

  // Every sheet and display window, depth-first (a group box before its
  // contents); the order of the project file's sections.
  QList<QPointer<QWidget>> DisplayList;
  void RebuildDisplayList();
  // The sheet content, group box or page control of that name; a missing one
  // gets a placeholder sheet (nullptr only when that fails).
  QWidget* GetParentByName(const QString& name);

  // Sheet menu.
  TScrollingTabSheet* AddSheet1Click();
  void Caption1Click();
  void RemoveSheet1Click();
  void MoveLeft1Click();
  void MoveRight1Click();
  TScrollingTabSheet* Sheet(int page) const;
  TScrollingTabSheet* ActiveSheet() const;

  // Drops of parameter keys.
  bool AcceptsDrop(const QMimeData* mime) const;
  void Drop(QWidget* target, const QMimeData* mime, QPoint pos);
  TDisplayWin* CreateDisplayWinFromParameter(QWidget* parent, int32_t key);
  TDisplayWin* CreateNewDisplayWin(QWidget* target, int32_t key, int y, int x);
  // Unlinks the display and everything inside it, then deletes it later.
  void DeleteDisplay(TDisplayWin* w);
  // The New Element dialog for a target (a sheet content or group box).
  TDisplayWin* AddNewElement(QWidget* target);
  TDisplayWin* CreateElement(zeb7::TDisplayClass cls, QWidget* target, const QString& caption);
  // The six handlers of a display window.
  void BindHandlers(TDisplayWin* w);

  // Removes every display from the parameter lists and deletes all displays
  // and sheets now, children before parents.
  void Clear();
  // One sheet "Page1".
  void NewWorkspace();
  // The workspace as a project document (display list order), with the
  // drive synchronisation's sections.
  zeb7::TProjectDocument Document();
  // Builds sheets and displays from a document (after Clear).
  void Build(const zeb7::TProjectDocument& doc);
  // The debug list: one line per display.
  void DebugDisplays();

 private:
  bool eventFilter(QObject* o, QEvent* e) override;
  void BindSheet(TScrollingTabSheet* sheet);
  TScrollingTabSheet* NewSheet(const QString& name, const QString& caption);
  void Modified();
  QString FreeSheetName() const;
  void CollectDisplays(QWidget* parent, QList<QPointer<QWidget>>& out) const;
  TDisplayWin* MakeReplacement(TDisplayWin* old, zeb7::TDisplayClass cls);

  QTabWidget* pageControl_;
  QWidget* owner_;
  zeb7::TDriveModel* model_;
  TWorkspaceHooks hooks_;
};

}  // namespace zeb7::gui
