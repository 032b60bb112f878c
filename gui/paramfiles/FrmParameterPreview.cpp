#include "gui/paramfiles/FrmParameterPreview.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/views/SortedStringGrid.h"
#include "link/TextCodec.h"
#include "model/DriveModel.h"
#include "paramfiles/ParamFile.h"
#include "platform/AtomicFile.h"

namespace zeb7::gui {

namespace {

QString U(const std::string& latin1) { return QString::fromStdString(zeb7::Latin1ToUtf8(latin1)); }
std::string L(const QString& s) { return zeb7::Utf8ToLatin1(s.toStdString()); }

zeb7::TPreviewRow RowOf(const QStringList& c) {
  zeb7::TPreviewRow r;
  r.MP = c.value(1).toStdString();
  r.Group = L(c.value(2));
  r.Caption = L(c.value(3));
  return r;
}

const int kWidths[] = {57, 43, 243, 202, 820, 160};

}  // namespace

TFormParameterPreview::TFormParameterPreview(zeb7::TDriveModel* model, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(model) {
  setObjectName("FormParameterPreview");
  setWindowTitle("Parameter Preview");
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  Legend1 = new QLabel("Found: Variable is part of actual ZEB  firmware", this);
  Legend2 = new QLabel("P: Parameter (read/write)    M: Measurement (read -only)", this);
  top->addWidget(Legend1);
  top->addStretch();
  top->addWidget(Legend2);
  layout->addLayout(top);
  StringGrid1 = new TSortedStringGrid(this);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->Duplicates = false;
  StringGrid1->CompareFunction = [](const QStringList& a, const QStringList& b) {
    return zeb7::CompareRows(RowOf(a), RowOf(b));
  };
  StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
  StringGrid1->verticalHeader()->setDefaultSectionSize(18);
  StringGrid1->verticalHeader()->hide();
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  layout->addWidget(StringGrid1, 1);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setMaximumHeight(110);
  layout->addWidget(Memo1);
  auto* bottom = new QHBoxLayout;
  BtnSaveAsCsv = new QPushButton("Save as .csv", this);
  BtnSaveAsTxt = new QPushButton("Save as .txt", this);
  BtnLoadTicked = new QPushButton("Load ticked rows...", this);
  BtnLoadTicked->setToolTip("Write the ticked parameters of this file into the drive");
  BtnCancel = new QPushButton("Close", this);
  bottom->addWidget(BtnSaveAsCsv);
  bottom->addWidget(BtnSaveAsTxt);
  bottom->addWidget(BtnLoadTicked);
  bottom->addStretch();
  bottom->addWidget(BtnCancel);
  layout->addLayout(bottom);
  connect(BtnSaveAsCsv, &QPushButton::clicked, this, [this] { BtnSaveAsCsvClick(); });
  connect(BtnSaveAsTxt, &QPushButton::clicked, this, [this] { BtnSaveAsTxtClick(); });
  connect(BtnCancel, &QPushButton::clicked, this, [this] { close(); });
  connect(BtnLoadTicked, &QPushButton::clicked, this, [this] {
    if (OnLoadTicked) OnLoadTicked(fileName_, TickedKeys());
  });
  resize(1100, 600);
  InitGrid();
}

void TFormParameterPreview::InitGrid() {
  StringGrid1->RemoveAllRows();
  StringGrid1->setColumnCount(6);
  StringGrid1->setHorizontalHeaderLabels({"Found", "M/P", "Group", "Caption", "Value", "Drive"});
  for (int c = 0; c < 6; ++c) StringGrid1->setColumnWidth(c, kWidths[c]);
}

void TFormParameterPreview::DisplayParameterFile(const QString& sFileName) {
  InitGrid();
  Memo1->clear();
  fileName_ = sFileName;
  std::vector<std::string> lines;
  std::string error;
  if (!zeb7::ReadFileLines(sFileName.toStdString(), lines, error)) {
    Memo1->appendPlainText(QString::fromStdString(error));
    return;
  }
  preview_.Display(lines, L(sFileName), model_);
  for (const auto& l : preview_.Log()) Memo1->appendPlainText(U(l));
  const auto& rows = preview_.Rows();
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& r = rows[i];
    // Rows come sorted: each goes to the end, so the cells set below stay with it.
    const int at = StringGrid1->Add({U(r.Found), U(r.MP), U(r.Group), U(r.Caption), U(r.Value), U(r.DriveValue)});
    if (at < 0) continue;
    const int qtRow = at - TSortedStringGrid::FixedRows;
    if (QTableWidgetItem* first = StringGrid1->item(qtRow, 0)) {
      first->setData(Qt::UserRole, static_cast<int>(i));
      if (r.Key >= 0 && r.Writable) {
        first->setFlags(first->flags() | Qt::ItemIsUserCheckable);
        first->setCheckState(Qt::Checked);
      } else {
        first->setFlags(first->flags() & ~Qt::ItemIsUserCheckable);  // nothing a download writes
      }
    }
    if (r.Differs)
      for (int c = 0; c < StringGrid1->columnCount(); ++c)
        if (QTableWidgetItem* it = StringGrid1->item(qtRow, c)) {
          it->setBackground(QColor(255, 225, 200));
          it->setToolTip("The drive holds another value than the file");
        }
  }
}

std::set<int32_t> TFormParameterPreview::TickedKeys() const {
  std::set<int32_t> keys;
  const auto& rows = preview_.Rows();
  for (int r = 0; r < StringGrid1->rowCount(); ++r) {
    const QTableWidgetItem* it = StringGrid1->item(r, 0);
    if (!it || !(it->flags() & Qt::ItemIsUserCheckable) || it->checkState() != Qt::Checked) continue;
    const int i = it->data(Qt::UserRole).toInt();
    if (i >= 0 && size_t(i) < rows.size() && rows[size_t(i)].Key >= 0) keys.insert(rows[size_t(i)].Key);
  }
  return keys;
}

bool TFormParameterPreview::Export(const QString& path, const std::string& bytes) {
  std::string error;
  if (zeb7::WriteFileAtomically(path.toStdString(), bytes, error)) return true;
  QMessageBox::critical(this, "Parameter Preview", QString::fromStdString(error));
  return false;
}

bool TFormParameterPreview::SaveCsv(const QString& path) { return Export(path, zeb7::BuildCsv(preview_.Rows())); }
bool TFormParameterPreview::SaveTxt(const QString& path) { return Export(path, zeb7::BuildTxt(preview_.Rows())); }

void TFormParameterPreview::BtnSaveAsCsvClick() {
  QFileDialog dlg(this, "Save as .csv", QString(), "CSV (*.csv)");
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix("csv");
  dlg.selectFile("Zeb7Params.csv");
  if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) SaveCsv(dlg.selectedFiles().front());
}

void TFormParameterPreview::BtnSaveAsTxtClick() {
  QFileDialog dlg(this, "Save as .txt", QString(), "Text (*.txt)");
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setDefaultSuffix("txt");
  dlg.selectFile("Zeb7Params.txt");
  if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) SaveTxt(dlg.selectedFiles().front());
}

void TFormParameterPreview::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  int total = 0;
  for (int c = 0; c < StringGrid1->columnCount(); ++c) total += StringGrid1->columnWidth(c);
  const int room = StringGrid1->viewport()->width();
  if (total < room) StringGrid1->setColumnWidth(4, StringGrid1->columnWidth(4) + room - total);
}

}  // namespace zeb7::gui
