#include "gui/displays/DisplayWin.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>

#include "gui/workspace/Broadcast.h"
#include "model/DriveModel.h"

namespace zeb7::gui {

namespace {

QFont CaptionFont(bool bold) {
  QFont f;
  f.setPixelSize(11);
  f.setBold(bold);
  return f;
}

QFont GroupFont() {
  QFont f("Arial");
  f.setPixelSize(10);
  return f;
}

QString L1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// Paints the state marker above every control of the display.
class TStateMarkerOverlay : public QWidget {
 public:
  TStateMarkerOverlay(TDisplayWin* owner) : QWidget(owner), owner_(owner) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const zeb7::TStateMarker m = owner_->Core().Marker();
    if (m == zeb7::smNone) return;
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing);
    if (m == zeb7::smCross) {
      g.setPen(QPen(Qt::red, 5));
      g.drawLine(6, 8, width() - 6, height() - 8);
      g.drawLine(6, height() - 8, width() - 6, 8);
    } else {
      QFont f;
      f.setPixelSize(std::max(14, std::min(height() - 10, 40)));
      f.setBold(true);
      g.setFont(f);
      g.setPen(Qt::red);
      g.drawText(QRect(6, 8, width() - 6, height() - 8), Qt::AlignLeft | Qt::AlignTop, "?");
    }
  }

 private:
  TDisplayWin* owner_;
};

}  // namespace

TGuiDisplayBinding::TGuiDisplayBinding(std::unique_ptr<zeb7::TDisplayCore> core, zeb7::TDriveModel* model,
                                       TDisplayWin* widget)
    : TDisplayBinding(std::move(core), model ? &model->ParameterList : nullptr,
                      model ? &model->Context : nullptr),
      widget_(widget) {}

TDisplayWin::TDisplayWin(QWidget* parent, zeb7::TDriveModel* model, zeb7::TDisplayClass cls)
    : TFocusWin(parent), model_(model) {
  binding_ = std::make_unique<TGuiDisplayBinding>(zeb7::CreateDisplayCore(cls), model, this);
  LabelCaption = new QLabel(this);
  LabelCaption->setObjectName("LabelCaption");
  LabelCaption->move(8, 0);
  LabelCaption->setAutoFillBackground(true);  // the label covers the frame line
  LabelCaption->setAttribute(Qt::WA_TransparentForMouseEvents);
  LabelCaption->setTextFormat(Qt::PlainText);
  marker_ = new TStateMarkerOverlay(this);
  const QFont caption = CaptionFont(true), group = GroupFont(), text = TextFont();
  core().SetTextWidth([caption, group, text](std::string_view s, zeb7::TFontRole role) {
    const QString q = QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    const QFont& f = role == zeb7::frCaption ? caption : role == zeb7::frGroup ? group : text;
    return static_cast<int32_t>(QFontMetrics(f).horizontalAdvance(q));
  });
  core().OnChanged = [this] { SyncFromCore(); };
  ApplyCoreBounds();
  SyncFromCore();
}

TDisplayWin::~TDisplayWin() {
  core().OnChanged = nullptr;
  binding_.reset();  // unlinks under the model lock
}

QFont TDisplayWin::TextFont() const {
  QFont f;
  f.setPixelSize(11);
  return f;
}

void TDisplayWin::ApplyCoreBounds() {
  const zeb7::TRect& r = core().Bounds();
  const QRect want(r.Left, r.Top, r.Width, r.Height);
  if (geometry() != want) setGeometry(want);
}

void TDisplayWin::SyncFromCore() {
  if (syncing_) return;
  syncing_ = true;
  const zeb7::TDisplayLook look = core().Look();
  LabelCaption->setFont(CaptionFont(look.BoldCaption));
  QPalette pal = LabelCaption->palette();
  pal.setColor(QPalette::WindowText, look.Gray ? QColor(128, 128, 128) : palette().color(QPalette::WindowText));
  LabelCaption->setPalette(pal);
  LabelCaption->setText(QString::fromStdString(core().LabelTextUtf8()));
  LabelCaption->adjustSize();
  ApplyCoreBounds();
  UpdateControls();
  marker_->setGeometry(rect());
  marker_->raise();
  marker_->update();
  update();
  syncing_ = false;
}

void TDisplayWin::CoreBoundsFromWidget() {
  if (syncing_) return;
  const zeb7::TRect now = CurrentBounds();
  if (!(now == core().Bounds())) core().SetBounds(now);
}

void TDisplayWin::resizeEvent(QResizeEvent* e) {
  TFocusWin::resizeEvent(e);
  marker_->setGeometry(rect());
  CoreBoundsFromWidget();
}

void TDisplayWin::moveEvent(QMoveEvent* e) {
  TFocusWin::moveEvent(e);
  CoreBoundsFromWidget();
}

void TDisplayWin::paintEvent(QPaintEvent*) {
  QPainter g(this);
  g.setRenderHint(QPainter::Antialiasing);
  const zeb7::TDisplayLook look = core().Look();
  QPen pen(look.Gray ? QColor(128, 128, 128) : QColor(Qt::black));
  pen.setWidth(look.FramePenWidth);
  g.setPen(pen);
  g.setBrush(Qt::NoBrush);
  g.drawRoundedRect(QRectF(4, 6, width() - 8, height() - 10), 6, 6);
  g.setPen(QColor(128, 0, 128));
  g.setFont(GroupFont());
  for (int i = 0; i < 3; ++i) {
    const std::string line = core().GroupSubNameUtf8(i);
    if (line.empty()) continue;
    g.save();
    g.translate(6 + 10 * i + 10, height() - 8);
    g.rotate(-90);
    g.drawText(0, 0, QString::fromStdString(line));
    g.restore();
  }
}

void TDisplayWin::Modified() {
  if (binding_->OnModify) binding_->OnModify();
}

void TDisplayWin::contextMenuEvent(QContextMenuEvent* e) {
  // The only visible entry: "&Delete", in design mode when someone deletes.
  if (!DesignMode() || !binding_->OnLoeschen) {
    e->ignore();
    return;
  }
  e->accept();
  AskDelete(e->globalPos());
}

void TDisplayWin::AskDelete(QPoint globalPos) {
  QPointer<TDisplayWin> self(this);
  QMenu menu(this);
  QAction* del = menu.addAction(DeleteMenuText(core().Language()));
  QAction* chosen = menu.exec(globalPos);
  if (!self || chosen != del) return;
  const auto answer = QMessageBox::question(this, QString(), QString::fromLatin1(DeleteQuestionText(core().Language())),
                                            QMessageBox::Yes | QMessageBox::No);
  // The nested loop may have deleted us (a workspace change, a replacement).
  if (!self || answer != QMessageBox::Yes) return;
  auto onDelete = binding_->OnLoeschen;
  auto onModify = binding_->OnModify;
  onDelete(binding_.get());
  if (onModify) onModify();
}

void TDisplayWin::SetUniqueName(QObject* owner) {
  if (!objectName().isEmpty()) return;
  const QString base = QString::fromStdString(zeb7::UniqueNameBase(DisplayClass())).left(32);
  for (int i = 1;; ++i) {
    const QString candidate = base + QString::number(i);
    if (!owner || !owner->findChild<QObject*>(candidate)) {
      setObjectName(candidate);
      return;
    }
  }
}

bool TDisplayWin::event(QEvent* e) {
  if (IsBroadcastEvent(e) && static_cast<int>(e->type()) == WM_REFRESH_DISPLAYS) {
    QPointer<TDisplayWin> self(this);
    return GuardBroadcast(e, [this](const TBroadcastEvent& be) {
      if (isEnabled()) binding_->HandleRefresh(be.LParam());
    });
  }
  return TFocusWin::event(e);
}

}  // namespace zeb7::gui
