#include "gui/displays/NumericDisplayWin.h"

#include <QLabel>
#include <QPainter>

namespace zeb7::gui {

namespace {
class TDot : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter g(this);
    g.setRenderHint(QPainter::Antialiasing);
    g.setBrush(Qt::black);
    g.setPen(Qt::NoPen);
    g.drawEllipse(QRectF(0, 0, 5, 5));
  }
};

QFont CellFont() {
  QFont f;
  f.setPixelSize(11);
  f.setBold(true);
  return f;
}
}  // namespace

TNumericDisplayWin::TNumericDisplayWin(QWidget* parent, zeb7::TDriveModel* model, zeb7::TDisplayClass cls)
    : TDisplayWin(parent, model, cls) {
  for (int i = 0; i <= zeb7::kMaxDigits; ++i) {
    auto* cell = new QLabel(this);
    cell->setObjectName(QString("Cell%1").arg(i));
    cell->setFont(CellFont());
    cell->setAlignment(Qt::AlignCenter);
    cell->setAutoFillBackground(true);
    QPalette p = cell->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    cell->setPalette(p);
    cell->setFrameShape(QFrame::Panel);
    cell->setFrameShadow(QFrame::Sunken);
    cell->setAttribute(Qt::WA_TransparentForMouseEvents);
    cell->hide();
    aStaticText << cell;
  }
  Shape1 = new TDot(this);
  Shape1->resize(5, 5);
  stEinheit = new QLabel(this);
  stEinheit->setObjectName("stEinheit");
  stEinheit->setFont(CellFont());
  stEinheit->setAttribute(Qt::WA_TransparentForMouseEvents);
  SyncFromCore();
}

void TNumericDisplayWin::UpdateControls() {
  if (aStaticText.isEmpty()) return;  // during base construction
  const auto& cells = Numeric().Cells();
  for (int i = 0; i < aStaticText.size(); ++i) {
    QLabel* c = aStaticText[i];
    if (i >= static_cast<int>(cells.size())) {
      c->hide();
      continue;
    }
    const zeb7::TDigitCell& d = cells[static_cast<size_t>(i)];
    c->setGeometry(d.Left, 34, 11, 18);
    c->setText(QString(QChar::fromLatin1(d.Text)));
    c->setVisible(d.Visible);
  }
  Shape1->move(Numeric().DotLeft(), 46);
  Shape1->setVisible(Numeric().DotLeft() >= 0);
  stEinheit->setGeometry(Numeric().UnitLeft(), 34, std::max(0, Numeric().UnitWidth()), 18);
  const std::string unit = Numeric().UnitText();
  stEinheit->setText(QString::fromLatin1(unit.data(), static_cast<qsizetype>(unit.size())));
  stEinheit->setVisible(Numeric().UnitVisible());
}

}  // namespace zeb7::gui
