#include "gui/workspace/ScrollingTabSheet.h"

#include <QChildEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace zeb7::gui {

TSheetContent::TSheetContent(QWidget* parent) : QWidget(parent) { setAcceptDrops(true); }

void TSheetContent::FitChildren() {
  QSize need(0, 0);
  for (QWidget* c : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (!c->isHidden()) need = need.expandedTo(QSize(c->geometry().right() + 9, c->geometry().bottom() + 9));
  if (auto* area = qobject_cast<QScrollArea*>(parentWidget() ? parentWidget()->parentWidget() : nullptr))
    need = need.expandedTo(area->viewport()->size());
  if (size() != need) resize(need);
}

bool TSheetContent::event(QEvent* e) {
  if (e->type() == QEvent::ChildAdded) {
    auto* ce = static_cast<QChildEvent*>(e);
    if (ce->child()->isWidgetType()) ce->child()->installEventFilter(this);
  } else if (e->type() == QEvent::ChildRemoved) {
    FitLater();
  }
  return QWidget::event(e);
}

bool TSheetContent::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::Move || e->type() == QEvent::Resize || e->type() == QEvent::Show) FitLater();
  return QWidget::eventFilter(o, e);
}

void TSheetContent::FitLater() {
  if (fitPending_) return;
  fitPending_ = true;
  QTimer::singleShot(0, this, [this] {
    fitPending_ = false;
    FitChildren();
  });
}

void TSheetContent::dragEnterEvent(QDragEnterEvent* e) {
  if (OnDragOver && OnDragOver(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

void TSheetContent::dragMoveEvent(QDragMoveEvent* e) {
  if (OnDragOver && OnDragOver(e->mimeData())) e->acceptProposedAction();
  else e->ignore();
}

void TSheetContent::dropEvent(QDropEvent* e) {
  if (!OnDragOver || !OnDragOver(e->mimeData()) || !OnDrop) return e->ignore();
  e->acceptProposedAction();
  OnDrop(this, e->mimeData(), e->position().toPoint());
}

TScrollingTabSheet::TScrollingTabSheet(QWidget* parent) : QWidget(parent) {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  Area = new QScrollArea(this);
  Area->setFrameShape(QFrame::NoFrame);
  Area->setWidgetResizable(false);
  ScrollBox = new TSheetContent(nullptr);
  Area->setWidget(ScrollBox);
  lay->addWidget(Area);
}

void TScrollingTabSheet::GetReferencePosition(int& x, int& y) const {
  x = ScrollBox->x();
  y = ScrollBox->y();
}

void TScrollingTabSheet::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  ScrollBox->FitChildren();
}

}  // namespace zeb7::gui
