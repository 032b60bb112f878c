// The oscillogram window's files: the oscillogram file, CSV of the shown
// channels, the chart as PNG and the printed page as PDF. Every file is
// replaced only once its new contents are complete.
#include <QBuffer>
#include <QCheckBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QPainter>

#include "gui/scope/COscill.h"
#include "gui/scope/FrmOscill.h"
#include "gui/scope/FrmPrnt2.h"
#include "platform/AtomicFile.h"

namespace zeb7::gui {

namespace {

bool WriteAll(const QString& file, const QByteArray& bytes, std::string& err) {
  return zeb7::WriteFileAtomically(file.toStdString(), std::string_view(bytes.constData(), size_t(bytes.size())), err);
}

}  // namespace

bool TFormOsci::SaveTo(const QString& file) {
  for (int i = 0; i < kOscChannels; ++i) {
    data_.aboChecked[static_cast<size_t>(i)] = aCheckBox[static_cast<size_t>(i)]->isChecked();
    data_.asName[static_cast<size_t>(i)] = aPanel[static_cast<size_t>(i)]->text().toStdString();
  }
  std::string err;
  if (!zeb7::SaveOscillogram(file.toStdString(), data_, err)) {
    ShowMessage("Grafik nicht gespeichert: " + QString::fromStdString(err));
    return false;
  }
  return true;
}

bool TFormOsci::LoadFrom(const QString& file) {
  zeb7::TOscillData d = data_;
  std::string err;
  if (!zeb7::LoadOscillogram(file.toStdString(), d, err)) {
    ShowMessage("Grafik nicht geladen: " + QString::fromStdString(err));
    return false;
  }
  SetData(d);
  return true;
}

bool TFormOsci::ExportCsv(const QString& file) {
  QByteArray out = "point";
  std::vector<int> shown;
  for (int i = 0; i < kOscChannels; ++i)
    if (Osci1->HasCurve(i)) {
      shown.push_back(i);
      out += "," + aPanel[static_cast<size_t>(i)]->text().toUtf8();
    }
  out += "\r\n";
  for (int p = 0; p < kOscPoints; ++p) {
    out += QByteArray::number(p);
    for (int c : shown) {
      const auto& curve = Osci1->Curve(c);
      out += "," + QByteArray::number(p < int(curve.size()) ? curve[size_t(p)] : 0.0, 'g', 15);
    }
    out += "\r\n";
  }
  std::string err;
  if (!WriteAll(file, out, err)) {
    ShowMessage("Export nicht geschrieben: " + QString::fromStdString(err));
    return false;
  }
  return true;
}

bool TFormOsci::ExportPng(const QString& file) {
  QImage img(Osci1->size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    Osci1->PaintScreen(p, img.width(), img.height());
  }
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  std::string err;
  if (!img.save(&buf, "PNG")) err = "PNG encoding failed";
  if (!err.empty() || !WriteAll(file, bytes, err)) {
    ShowMessage("Export nicht geschrieben: " + QString::fromStdString(err));
    return false;
  }
  return true;
}

bool TFormOsci::ExportPdf(const QString& file) {
  QByteArray pdf;
  QString perr;
  if (!FormPrnt2->RenderPdf(pdf, perr)) {
    ShowMessage(perr);
    return false;
  }
  std::string err;
  if (!WriteAll(file, pdf, err)) {
    ShowMessage("Export nicht geschrieben: " + QString::fromStdString(err));
    return false;
  }
  return true;
}

void TFormOsci::SaveFileClick() {
  QFileDialog dlg(this, "Grafik speichern unter");
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix("rcg");
  dlg.setNameFilters({"Grafik-Dateien (*.rcg)", "Alle Dateien (*.*)"});
  if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) SaveTo(dlg.selectedFiles().front());
}

void TFormOsci::LoadFileClick() {
  const QString f = QFileDialog::getOpenFileName(this, "Grafik laden", QString(),
                                                 "Grafik-Dateien (*.rcg);;Alle Dateien (*.*)");
  if (!f.isEmpty()) LoadFrom(f);
}

void TFormOsci::ExportClick(const QString& kind) {
  QFileDialog dlg(this, "Exportieren");
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix(kind);
  dlg.setNameFilters({kind.toUpper() + " (*." + kind + ")", "Alle Dateien (*.*)"});
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  const QString f = dlg.selectedFiles().front();
  if (kind == "csv") ExportCsv(f);
  else if (kind == "png") ExportPng(f);
  else ExportPdf(f);
}

}  // namespace zeb7::gui
