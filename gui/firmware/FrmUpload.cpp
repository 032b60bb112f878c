#include "gui/firmware/FrmUpload.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "workspace/IniFiles.h"

namespace zeb7::gui {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
void MarkRed(QLineEdit* e, bool red) { e->setStyleSheet(red ? "QLineEdit { background: red; }" : QString()); }
}  // namespace

TFormUpload::TFormUpload(QWidget* parent) : QDialog(parent) {
  setObjectName("FormUpload");
  setWindowTitle("Upload Controller Data");
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  setModal(false);
  for (int i = 0; i < kFlashTargetCount; ++i) {
    aStartAddr[i] = "0x000000";
    aSize[i] = "128";
  }
  auto* lay = new QVBoxLayout(this);
  TCTarget = new QTabBar(this);
  TCTarget->setObjectName("TCTarget");
  for (const char* n : kFlashTargetNames) TCTarget->addTab(n);
  lay->addWidget(TCTarget);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("Start Address", this), 0, 0);
  EditStartAddr = new QLineEdit("0x00000000", this);
  EditStartAddr->setObjectName("EditStartAddr");
  grid->addWidget(EditStartAddr, 0, 1);
  grid->addWidget(new QLabel("Size (kByte)", this), 1, 0);
  EditkBytes = new QLineEdit("128", this);
  EditkBytes->setObjectName("EditkBytes");
  grid->addWidget(EditkBytes, 1, 1);
  lay->addLayout(grid);
  auto* save = new QGroupBox("Save as Hex file ", this);
  auto* sl = new QHBoxLayout(save);
  sl->addWidget(new QLabel("File", save));
  EditFilename = new QLineEdit(save);
  EditFilename->setObjectName("EditFilename");
  sl->addWidget(EditFilename, 1);
  ButtonBrowseFile = new QPushButton(">>", save);
  ButtonBrowseFile->setObjectName("ButtonBrowseFile");
  sl->addWidget(ButtonBrowseFile);
  lay->addWidget(save);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  lay->addWidget(Memo1, 1);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  lay->addWidget(ProgressBar1);
  auto* buttons = new QHBoxLayout;
  ButtonDump = new QPushButton("START UPLOAD", this);
  ButtonDump->setObjectName("ButtonDump");
  ButtonCancel = new QPushButton("CANCEL", this);
  ButtonCancel->setObjectName("ButtonCancel");
  ButtonDone = new QPushButton("CLOSE", this);
  ButtonDone->setObjectName("ButtonDone");
  for (QPushButton* b : {ButtonDump, ButtonCancel, ButtonDone}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  lay->addLayout(buttons);

  connect(TCTarget, &QTabBar::currentChanged, this, &TFormUpload::TCTargetChange);
  for (QLineEdit* e : {EditFilename, EditStartAddr, EditkBytes})
    connect(e, &QLineEdit::textChanged, this, [this] { EditFilenameChange(); });
  connect(ButtonBrowseFile, &QPushButton::clicked, this, &TFormUpload::ButtonBrowseFileClick);
  connect(ButtonDump, &QPushButton::clicked, this, &TFormUpload::ButtonDumpClick);
  connect(ButtonCancel, &QPushButton::clicked, this, [this] {
    if (logic_) logic_->Cancel();
  });
  connect(ButtonDone, &QPushButton::clicked, this, &QWidget::hide);
}

TFormUpload::~TFormUpload() { logic_.reset(); }

void TFormUpload::SetComm(TCommInterface* comm) {
  if (comm == comm_) return;
  logic_.reset();
  comm_ = comm;
  if (comm_)
    logic_ = std::make_unique<TUploadLogic>(*comm_, *this, [this](std::function<void()> fn) {
      // Queued to this window: dropped by Qt once the window is gone.
      QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
    });
}

void TFormUpload::ButtonDumpClick() {
  if (!logic_) return;
  const int tab = TCTarget->currentIndex();
  logic_->Start(kFlashTargets[tab], EditStartAddr->text().toStdString(), EditkBytes->text().toStdString(),
                EditFilename->text().toStdString());
}

void TFormUpload::TCTargetChange(int tab) {
  if (tab < 0 || tab >= kFlashTargetCount) return;
  boUpdating = true;
  EditFilename->setText(Q(aFilename[tab]));
  EditStartAddr->setText(Q(aStartAddr[tab]));
  EditkBytes->setText(Q(aSize[tab]));
  const QFileInfo fi(EditFilename->text());
  if (!EditFilename->text().isEmpty()) InitialDir = fi.absolutePath();
  boUpdating = false;
}

void TFormUpload::EditFilenameChange() {
  if (boUpdating) return;
  const int tab = TCTarget->currentIndex();
  if (tab < 0) return;
  aFilename[tab] = EditFilename->text().toStdString();
  aStartAddr[tab] = EditStartAddr->text().toStdString();
  aSize[tab] = EditkBytes->text().toStdString();
}

void TFormUpload::ButtonBrowseFileClick() {
  const QFileInfo fi(EditFilename->text());
  const QString dir = EditFilename->text().isEmpty() ? InitialDir : fi.absolutePath();
  QFileDialog dlg(this, QString(), dir, "Hex files (*.hex *.h86)");
  dlg.setDefaultSuffix("hex");
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  EditFilename->setText(dlg.selectedFiles().front());
  if (OnProjectModified) OnProjectModified();
}

void TFormUpload::GetSettings(const TCustomIniFile& ini) {
  for (int i = 0; i < kFlashTargetCount; ++i) {
    const std::string s = "Upload" + std::to_string(i);
    aFilename[i] = ini.ReadString(s, "H0", "");
    aStartAddr[i] = ini.ReadString(s, "ReadFrom", "0x000000");
    aSize[i] = ini.ReadString(s, "Size", "128");
  }
  const int tab = std::clamp(ini.ReadInteger("Upload", "Target", 0), 0, kFlashTargetCount - 1);
  for (int i = 0; i < kFlashTargetCount; ++i) TCTarget->setTabText(i, kFlashTargetNames[i]);
  if (TCTarget->currentIndex() == tab)
    TCTargetChange(tab);
  else
    TCTarget->setCurrentIndex(tab);
}

void TFormUpload::SaveSettings(TCustomIniFile& ini) const {
  ini.EraseSection("Upload");
  for (int i = 0; i < kFlashTargetCount; ++i) ini.EraseSection("Upload" + std::to_string(i));
  ini.WriteInteger("Upload", "Target", TCTarget->currentIndex());
  for (int i = 0; i < kFlashTargetCount; ++i) {
    const std::string s = "Upload" + std::to_string(i);
    ini.WriteString(s, "H0", aFilename[i]);
    ini.WriteString(s, "ReadFrom", aStartAddr[i]);
    ini.WriteString(s, "Size", aSize[i]);
  }
}

void TFormUpload::LogMessage(const std::string& s) { Memo1->appendPlainText(QString::fromLatin1(s.c_str())); }
void TFormUpload::SetProgress(int p) { ProgressBar1->setValue(p); }
void TFormUpload::EnableButtons(bool enabled) {
  ButtonDump->setEnabled(enabled);
  ButtonDone->setEnabled(enabled);
}
void TFormUpload::MarkStartAddrInvalid(bool invalid) { MarkRed(EditStartAddr, invalid); }
void TFormUpload::MarkSizeInvalid(bool invalid) { MarkRed(EditkBytes, invalid); }

}  // namespace zeb7::gui
