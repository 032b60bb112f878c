#include "gui/scope/FrmPrnt2.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/scope/COscill.h"
#include "gui/scope/FrmPrev.h"
#include "scope/CommentWrap.h"

namespace zeb7::gui {

namespace {
constexpr int kHeaderFont = 55;
constexpr int kTextFont = 44;
constexpr int kChartFont = 40;
constexpr int kSideMargin = 200;

QFont PageFont(int px) {
  QFont f("Arial");
  f.setPixelSize(px);  // pixel size: logical units of the 0.1 mm window
  return f;
}
}  // namespace

int PageChartOffset() {
  const QFontMetrics fm(PageFont(kChartFont));
  const int captionTop = 10 * kChartFont - 5 * fm.height() / 3;
  return std::max(0, kPageHeaderBand + 20 - captionTop);
}

TFormPrnt2::TFormPrnt2(TOsci* chart, QWidget* parent) : QDialog(parent), chart_(chart) {
  setObjectName("FormPrnt2");
  setWindowTitle("Oszillogramm drucken");
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer_->setPageOrientation(QPageLayout::Landscape);
  auto* lay = new QVBoxLayout(this);
  auto* group = new QGroupBox("Optionen:", this);
  auto* gl = new QVBoxLayout(group);
  CheckBoxDateTime = new QCheckBox("mit Datum/Uhrzeit", group);
  CheckBoxSource = new QCheckBox("mit Upload-Quelle", group);
  CheckBoxFormula = new QCheckBox("mit Formel-Datei", group);
  for (QCheckBox* c : {CheckBoxDateTime, CheckBoxSource, CheckBoxFormula}) {
    c->setChecked(true);
    gl->addWidget(c);
  }
  CheckBoxComment = new QCheckBox("mit &Kommentar:", this);
  MemoComment = new QPlainTextEdit(this);
  MemoComment->setObjectName("MemoComment");
  ButtonOK = new QPushButton("&Drucken", this);
  ButtonOK->setDefault(true);
  ButtonCancel = new QPushButton("Abbrechen", this);
  ButtonSetup = new QPushButton("&Einrichten...", this);
  ButtonPreview = new QPushButton("&Vorschau...", this);
  lay->addWidget(group);
  lay->addWidget(CheckBoxComment);
  lay->addWidget(MemoComment);
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {ButtonOK, ButtonCancel, ButtonSetup, ButtonPreview}) row->addWidget(b);
  lay->addLayout(row);
  connect(MemoComment, &QPlainTextEdit::textChanged, this, [this] { CheckBoxComment->setChecked(true); });
  connect(ButtonOK, &QPushButton::clicked, this, [this] { ButtonOKClick(); });
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ButtonSetup, &QPushButton::clicked, this, [this] { ButtonSetupClick(); });
  connect(ButtonPreview, &QPushButton::clicked, this, [this] { ButtonPreviewClick(); });
  ShowMessage = [this](const QString& s) { QMessageBox::warning(this, windowTitle(), s); };
}

TFormPrnt2::~TFormPrnt2() = default;

void TFormPrnt2::PaintPage(QPainter& p, int w, int h) {
  const int dy = PageChartOffset();
  p.save();
  p.translate(0, dy);
  chart_->Paint2(p, w, h - dy);
  p.restore();

  p.setFont(PageFont(kHeaderFont));
  p.fillRect(QRect(0, 0, w, kPageHeaderBand), Qt::white);
  p.setPen(Qt::black);
  const QFontMetrics hm(p.font());
  const int headerY = kSideMargin - kHeaderFont / 2;
  p.drawText(QRect(kSideMargin, headerY, w - 2 * kSideMargin, hm.height()), Qt::AlignLeft | Qt::AlignTop,
             kPageHeader);
  if (CheckBoxDateTime->isChecked()) {
    const QLocale loc;
    const QDateTime now = QDateTime::currentDateTime();
    const QString s = loc.toString(now.date(), QLocale::ShortFormat) + " " + loc.toString(now.time(), QLocale::LongFormat);
    p.drawText(QRect(kSideMargin, headerY, w - 2 * kSideMargin, hm.height()), Qt::AlignRight | Qt::AlignTop, s);
  }
  p.setFont(PageFont(kTextFont));
  int y = kSideMargin;
  if (CheckBoxSource->isChecked() || CheckBoxFormula->isChecked()) y += kTextFont;
  rLastComment = QRect();
  sLastComment.clear();
  if (CheckBoxComment->isChecked()) {
    const QFontMetrics fm(p.font());
    const std::u16string text = MemoComment->toPlainText().toStdU16String();
    const std::u16string prepared = PrepareCommentForWrapping(
        text, w - 2 * kSideMargin - kTextFont, [&fm](std::u16string_view s) {
          return fm.horizontalAdvance(QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())));
        });
    // The comment keeps to the header band: it never prints over the chart.
    const QRect r(QPoint(kSideMargin, y + kTextFont), QPoint(w - kSideMargin, kPageHeaderBand - 1));
    sLastComment = QString::fromStdU16String(prepared);
    rLastComment = r;
    p.save();
    p.setClipRect(r);
    p.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, sLastComment);
    p.restore();
  }
}

bool TFormPrnt2::PaintOnDevice(QPagedPaintDevice& dev, QString& sError) {
  QPainter p;
  if (!p.begin(&dev)) {
    sError = "Drucken nicht m\u00f6glich: kein Drucker bereit";
    return false;
  }
  const QRectF mm = dev.pageLayout().paintRect(QPageLayout::Millimeter);
  const int w = static_cast<int>(mm.width()) * 10, h = static_cast<int>(mm.height()) * 10;
  p.setWindow(0, 0, w, h);
  p.setViewport(0, 0, dev.width(), dev.height());
  PaintPage(p, w, h);
  if (!p.end()) {
    sError = "Drucken nicht m\u00f6glich";
    return false;
  }
  return true;
}

bool TFormPrnt2::RenderPdf(QByteArray& pdf, QString& sError) {
  pdf.clear();
  QBuffer buf(&pdf);
  buf.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buf);
  writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                   QPageLayout::Millimeter));
  writer.setResolution(300);
  writer.setTitle("Oszillogramm");
  return PaintOnDevice(writer, sError);
}

void TFormPrnt2::ButtonOKClick() {
  printer_->setPageOrientation(QPageLayout::Landscape);
  QString err;
  if (!PaintOnDevice(*printer_, err)) {
    ShowMessage(err);
    return;
  }
  accept();
}

void TFormPrnt2::ButtonSetupClick() {
  printer_->setPageOrientation(QPageLayout::Landscape);
  QPrintDialog dlg(printer_.get(), this);
  dlg.exec();
}

void TFormPrnt2::ButtonPreviewClick() {
  printer_->setPageOrientation(QPageLayout::Landscape);
  if (!FormPreview) FormPreview = new TFormPreview(this, false);
  const QRectF mm = printer_->pageLayout().paintRect(QPageLayout::Millimeter);
  FormPreview->iPaperWidthMM = std::max(1, static_cast<int>(mm.width()));
  FormPreview->iPaperHeightMM = std::max(1, static_cast<int>(mm.height()));
  FormPreview->OnPaint = [this](QPainter& p, int w, int h) { PaintPage(p, w, h); };
  FormPreview->exec();
}

void TFormPrnt2::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (FormPreview && !FormPreview->isVisible()) {
    FormPreview->deleteLater();
    FormPreview = nullptr;
  }
}

}  // namespace zeb7::gui
