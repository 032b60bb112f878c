#include "gui/scope/FrmPrev.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace zeb7::gui {

namespace {

class TPaper : public QWidget {
 public:
  explicit TPaper(TFormPreview* owner) : QWidget(owner), owner_(owner) { setObjectName("Paper"); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const int w = owner_->iPaperWidthMM * 10, h = owner_->iPaperHeightMM * 10;
    if (owner_->boInverted) {
      p.setWindow(0, h, w, -h);
    } else {
      p.setWindow(0, 0, w, h);
    }
    p.setViewport(0, 0, width(), height());
    if (owner_->OnPaint) owner_->OnPaint(p, w, h);
  }

 private:
  TFormPreview* owner_;
};

}  // namespace

TFormPreview::TFormPreview(QWidget* owner, bool inverted) : QDialog(owner), boInverted(inverted) {
  setObjectName("FormPreview");
  setWindowTitle("Druckvorschau");
  setWindowState(Qt::WindowMaximized);
  Canvas1 = new TPaper(this);
}

QRect TFormPreview::PaperRect() const {
  const double ratio = double(iPaperWidthMM) / std::max(1, iPaperHeightMM);
  const int cw = width(), ch = height();
  if (ch - 35 > 0 && double(cw - 10) / double(ch - 35) >= ratio) {
    const int h = std::max(1, ch - 45);
    const int w = int(std::lround(h * ratio));
    return QRect((cw - w) / 2, 35, w, h);
  }
  const int w = std::max(1, cw - 20);
  const int h = std::max(1, int(std::lround(w / ratio)));
  return QRect(10, (ch - h) / 2 + 8, w, h);
}

void TFormPreview::Layout() {
  Canvas1->setGeometry(PaperRect());
  Canvas1->update();
}

void TFormPreview::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  Layout();
}

void TFormPreview::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Layout();
}

}  // namespace zeb7::gui
