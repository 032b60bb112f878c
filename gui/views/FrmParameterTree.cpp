#include "gui/views/FrmParameterTree.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>

#include "link/TextCodec.h"
#include "model/DriveModel.h"

namespace zeb7::gui {

namespace {

QString U(const std::string& latin1) { return QString::fromStdString(zeb7::Latin1ToUtf8(latin1)); }

// Group rows with a description: the description in bold blue (underlined
// when selected) on the window colour; the branch lines stay the view's.
class TGroupDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index) const override {
    if (!index.data(TParamTreeView::DescriptionRole).isValid()) {
      QStyledItemDelegate::paint(p, opt, index);
      return;
    }
    p->save();
    p->fillRect(opt.rect, opt.palette.window());
    QFont f = opt.font;
    f.setBold(true);
    f.setUnderline(opt.state & QStyle::State_Selected);
    p->setFont(f);
    p->setPen(Qt::blue);
    p->drawText(opt.rect.adjusted(5, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                index.data(TParamTreeView::DescriptionRole).toString());
    p->restore();
  }
};

}  // namespace

TParamTreeView::TParamTreeView(zeb7::TDriveModel* model, QWidget* parent) : QTreeWidget(parent), model_(model) {
  setHeaderHidden(true);
  setIndentation(19);
  setMouseTracking(true);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new TGroupDelegate(this));
}

QMimeData* TParamTreeView::mimeData(const QList<QTreeWidgetItem*>& items) const {
  for (const QTreeWidgetItem* it : items) {
    const QVariant key = it->data(0, KeyRole);
    if (!key.isValid()) continue;
    auto* mime = new QMimeData;
    mime->setData(kParamKeyMime, QByteArray::number(key.toInt()));
    mime->setText(it->text(0));
    return mime;
  }
  return nullptr;  // groups are not dragged
}

bool TParamTreeView::viewportEvent(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    auto* he = static_cast<QHelpEvent*>(e);
    QTreeWidgetItem* it = itemAt(he->pos());
    auto* form = qobject_cast<TFormParameterTree*>(parentWidget());
    if (it != lastHintNode) QToolTip::hideText();
    lastHintNode = it;
    const QString hint = it && form ? form->HintOf(it) : QString();
    if (hint.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(he->globalPos(), hint, this);
    return true;
  }
  return QTreeWidget::viewportEvent(e);
}

TFormParameterTree::TFormParameterTree(zeb7::TDriveModel* model, QWidget* parent)
    : QWidget(parent, Qt::Tool), model_(model) {
  setObjectName("FormParameterTree");
  setWindowTitle("Parameters");
  auto* layout = new QVBoxLayout(this);
  TreeView1 = new TParamTreeView(model, this);
  TreeView1->setObjectName("TreeView1");
  layout->addWidget(TreeView1);
  BtnClose = new QPushButton("Close", this);
  BtnClose->setObjectName("BtnClose");
  layout->addWidget(BtnClose, 0, Qt::AlignRight);
  connect(BtnClose, &QPushButton::clicked, this, [this] { close(); });
  resize(360, 560);
  if (model_) {
    QPointer<TFormParameterTree> self(this);
    subscription_ = model_->Context.Broadcaster.Subscribe([self](int msg, int64_t lParam) {
      if (msg != zeb7::WM_REFRESH_DISPLAYS) return;
      QMetaObject::invokeMethod(
          qApp, [self, lParam] { if (self) self->RefreshDisplays(lParam); }, Qt::QueuedConnection);
    });
  }
}

TFormParameterTree::~TFormParameterTree() {
  if (model_ && subscription_) model_->Context.Broadcaster.Unsubscribe(subscription_);
}

void TFormParameterTree::RefreshDisplays(int64_t lParam) {
  if (lParam == 3) return;
  TreeView1->lastHintNode = nullptr;
  if (lParam == 0) {
    TreeView1->clear();
    return;
  }
  Rebuild();
}

QTreeWidgetItem* TFormParameterTree::MakeItem(const zeb7::TParameterTreeBuilder& b, int node) {
  const zeb7::TTreeNode& n = b.Nodes()[size_t(node)];
  auto* it = new QTreeWidgetItem({U(n.Text)});
  it->setData(0, TParamTreeView::KindRole, static_cast<int>(n.Kind));
  QFont f = TreeView1->font();
  if (n.Kind == zeb7::TTreeNode::tnParameter) {
    it->setData(0, TParamTreeView::KeyRole, n.Key);
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    f.setBold(n.UserClass == 0);
    f.setItalic(n.UserClass == 2);
    it->setForeground(0, Qt::black);
  } else {
    it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    f.setBold(true);
    if (n.HasDescription) it->setData(0, TParamTreeView::DescriptionRole, U(n.Description));
  }
  it->setFont(0, f);
  for (int c : n.Children) it->addChild(MakeItem(b, c));
  return it;
}

void TFormParameterTree::Rebuild() {
  TreeView1->clear();
  TreeView1->lastHintNode = nullptr;
  if (!model_) return;
  zeb7::TParameterTreeBuilder b;
  b.Build(*model_);
  for (int r : b.Roots()) TreeView1->addTopLevelItem(MakeItem(b, r));
}

QString TFormParameterTree::HintOf(const QTreeWidgetItem* item) const {
  if (!item || !model_) return {};
  const QVariant key = item->data(0, TParamTreeView::KeyRole);
  if (!key.isValid()) return {};
  return U(zeb7::TParameterTreeBuilder::Hint(*model_, key.toInt()));
}

}  // namespace zeb7::gui
