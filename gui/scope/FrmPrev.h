#pragma once
// The print preview: the page painter on a paper-shaped surface scaled to the
// screen, with the same 0.1 mm mapping as the printer.
#include <QDialog>
#include <functional>

class QPainter;

namespace zeb7::gui {

class TFormPreview : public QDialog {
  Q_OBJECT
 public:
  TFormPreview(QWidget* owner, bool boInverted);

  int iPaperWidthMM = 277;
  int iPaperHeightMM = 190;
  bool boInverted = false;
  std::function<void(QPainter&, int, int)> OnPaint;  // page painter (0.1 mm units)
  QWidget* Canvas1;

  // Paper bounds inside the client area, as laid out on every resize.
  QRect PaperRect() const;

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void Layout();
};

}  // namespace zeb7::gui
