#pragma once
// A tab sheet whose display windows lie in a scrolled content area. The sheet's
// Name is the content's object name ("ScrollingTabSheet1"); the displays'
// "Parent" key names it. Positions inside the content are unscrolled, so a
// scrolled sheet saves the same coordinates as an unscrolled one.
#include <QScrollArea>
#include <QWidget>
#include <functional>

class QMimeData;

namespace zeb7::gui {

// The area the displays lie in; accepts parameter drops.
class TSheetContent : public QWidget {
  Q_OBJECT
 public:
  explicit TSheetContent(QWidget* parent);
  // Grows to hold every child (and at least the visible area).
  void FitChildren();

  std::function<bool(const QMimeData*)> OnDragOver;
  std::function<void(QWidget* target, const QMimeData*, QPoint pos)> OnDrop;

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  // One fit after a burst of child moves (a project load moves thousands).
  void FitLater();
  bool fitPending_ = false;
};

class TScrollingTabSheet : public QWidget {
  Q_OBJECT
 public:
  explicit TScrollingTabSheet(QWidget* parent = nullptr);

  QString Name() const { return ScrollBox->objectName(); }
  void SetName(const QString& name) { ScrollBox->setObjectName(name); }
  // The scroll origin: where the content's (0, 0) lies now (<= 0 when scrolled).
  void GetReferencePosition(int& x, int& y) const;

  QScrollArea* Area;
  TSheetContent* ScrollBox;
  int RememberedPageIndex = -1;

 protected:
  void resizeEvent(QResizeEvent* e) override;
};

}  // namespace zeb7::gui
