#pragma once
// The print dialog of the oscillogram and its page painter: one landscape
// page in 0.1 mm units with a header band, the date, the comment and the chart.
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class QCheckBox;
class QPagedPaintDevice;
class QPainter;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace zeb7::gui {

class TOsci;
class TFormPreview;

inline constexpr int kPageHeaderBand = 440;  // 44 mm of header above the chart
inline constexpr const char* kPageHeader = "ZEB7-Recorder";

class TFormPrnt2 : public QDialog {
  Q_OBJECT
 public:
  // `chart` outlives the dialog (it belongs to the oscillogram window).
  TFormPrnt2(TOsci* chart, QWidget* parent);
  ~TFormPrnt2() override;

  // Draws the page on a canvas whose unit is 0.1 mm.
  void PaintPage(QPainter& p, int iPageWidth, int iPageHeight);
  // Paints one page on the device with the 0.1 mm mapping; false with a
  // message when painting cannot start (no printer, unwritable file).
  bool PaintOnDevice(QPagedPaintDevice& dev, QString& sError);
  // One landscape A4 page as PDF bytes.
  bool RenderPdf(QByteArray& pdf, QString& sError);

  void ButtonOKClick();
  void ButtonSetupClick();
  void ButtonPreviewClick();
  QPrinter& Printer() { return *printer_; }
  // Reports a printing failure; tests replace it.
  std::function<void(const QString&)> ShowMessage;
  // The comment's rectangle on the last page painted (for checks).
  QRect rLastComment;
  QString sLastComment;

  QCheckBox *CheckBoxDateTime, *CheckBoxSource, *CheckBoxFormula, *CheckBoxComment;
  QPlainTextEdit* MemoComment;
  QPushButton *ButtonOK, *ButtonCancel, *ButtonSetup, *ButtonPreview;
  TFormPreview* FormPreview = nullptr;

 protected:
  void hideEvent(QHideEvent* e) override;

 private:
  TOsci* chart_;
  std::unique_ptr<QPrinter> printer_;
};

// Vertical offset of the chart on the page, so that its captions and curves
// start below the header band.
int PageChartOffset();

}  // namespace zeb7::gui
