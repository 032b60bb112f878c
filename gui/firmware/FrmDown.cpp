#include "gui/firmware/FrmDown.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "workspace/IniFiles.h"

namespace zeb7::gui {

namespace {
const char* const kFilter = "Hex-Files (*.hex;*.h86;*.s19;*.ldr)|*.hex;*.h86;*.s19;*.ldr|All Files (*.*)|*.*";
// The same filter in Qt's notation.
const char* const kQtFilter = "Hex-Files (*.hex *.h86 *.s19 *.ldr);;All Files (*)";
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

TFormDownload::TFormDownload(QWidget* parent) : QDialog(parent) {
  setObjectName("FormDownload");
  setWindowTitle("Firmware Maintenance");
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  setModal(false);
  setProperty("fileFilter", kFilter);
  for (int i = 0; i < kFlashTargetCount; ++i) targets_.aFromAddr[i] = targets_.aToAddr[i] = "0x000000";
  InitialDir = QCoreApplication::applicationDirPath();
  BuildControls();
}

TFormDownload::~TFormDownload() { logic_.reset(); }

void TFormDownload::BuildControls() {
  boUpdating = true;  // the change handlers see half-built controls until the end
  auto* top = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  TCTarget = new QTabBar(this);
  TCTarget->setObjectName("TCTarget");
  for (const char* n : kFlashTargetNames) TCTarget->addTab(n);
  left->addWidget(TCTarget);

  RadioGroupErasureMode = new QGroupBox("Erasure Setup", this);
  RadioGroupErasureMode->setObjectName("RadioGroupErasureMode");
  auto* eg = new QGridLayout(RadioGroupErasureMode);
  const char* modes[] = {"Erase Pages (auto)", "Erase Pages (manual)", "Erase whole FLASH"};
  for (int i = 0; i < 3; ++i) {
    ErasureModes[i] = new QRadioButton(modes[i], RadioGroupErasureMode);
    eg->addWidget(ErasureModes[i], i, 0);
    connect(ErasureModes[i], &QRadioButton::toggled, this, [this](bool on) {
      if (on) EditFilenameChange();
    });
  }
  ErasureModes[0]->setChecked(true);
  EditFromAddr = new QLineEdit("0x00000000", RadioGroupErasureMode);
  EditFromAddr->setObjectName("EditFromAddr");
  EditToAddr = new QLineEdit("0x00000000", RadioGroupErasureMode);
  EditToAddr->setObjectName("EditToAddr");
  eg->addWidget(new QLabel("Start Address", RadioGroupErasureMode), 0, 1);
  eg->addWidget(EditFromAddr, 0, 2);
  eg->addWidget(new QLabel("End Address", RadioGroupErasureMode), 1, 1);
  eg->addWidget(EditToAddr, 1, 2);
  left->addWidget(RadioGroupErasureMode);

  auto* prog = new QGroupBox("Program Setup", this);
  auto* pg = new QHBoxLayout(prog);
  pg->addWidget(new QLabel("File", prog));
  EditFilename = new QLineEdit(prog);
  EditFilename->setObjectName("EditFilename");
  pg->addWidget(EditFilename, 1);
  ButtonBrowseFile = new QPushButton(">>", prog);
  ButtonBrowseFile->setObjectName("ButtonBrowseFile");
  pg->addWidget(ButtonBrowseFile);
  left->addWidget(prog);
  CheckVerify = new QCheckBox("Verify after programming", this);
  CheckVerify->setObjectName("CheckVerify");
  CheckVerify->setChecked(true);
  left->addWidget(CheckVerify);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  left->addWidget(Memo1, 1);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  left->addWidget(ProgressBar1);
  auto* status = new QGridLayout;
  status->addWidget(new QLabel("Comm Status:", this), 0, 0);
  LabelSpiStatus = new QLabel("Not connected", this);
  LabelSpiStatus->setObjectName("LabelSpiStatus");
  status->addWidget(LabelSpiStatus, 0, 1);
  status->addWidget(new QLabel("FLASH Status:", this), 1, 0);
  LabelFlashStatus = new QLabel("- ??? -", this);
  LabelFlashStatus->setObjectName("LabelFlashStatus");
  status->addWidget(LabelFlashStatus, 1, 1);
  left->addLayout(status);
  top->addLayout(left, 1);

  auto* right = new QVBoxLayout;
  auto button = [&](QPushButton*& b, const char* caption, const char* name) {
    b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    right->addWidget(b);
  };
  button(ButtonSpiConnect, "&Connect", "ButtonSpiConnect");
  button(ButtonErase, "&Erase FLASH", "ButtonErase");
  button(ButtonProgram, "&Program FLASH", "ButtonProgram");
  button(ButtonDisconnect, "&Disconnect", "ButtonDisconnect");
  button(ButtonRunAll, "&RUN ALL", "ButtonRunAll");
  button(ButtonCancel, "&Cancel", "ButtonCancel");
  right->addStretch();
  button(ButtonExitServiceMode, "E&xit Service Mode", "ButtonExitServiceMode");
  top->addLayout(right);

  connect(TCTarget, &QTabBar::currentChanged, this, &TFormDownload::TCTargetChange);
  for (QLineEdit* e : {EditFilename, EditFromAddr, EditToAddr})
    connect(e, &QLineEdit::textChanged, this, [this] { EditFilenameChange(); });
  connect(ButtonBrowseFile, &QPushButton::clicked, this, &TFormDownload::ButtonBrowseFileClick);
  auto act = [this](QPushButton* b, std::function<void(TDownloadLogic&)> fn) {
    connect(b, &QPushButton::clicked, this, [this, fn] {
      if (!logic_) return;
      PushToLogic();
      fn(*logic_);
    });
  };
  act(ButtonSpiConnect, [](TDownloadLogic& l) { l.ConnectClick(); });
  act(ButtonErase, [](TDownloadLogic& l) { l.EraseClick(); });
  act(ButtonProgram, [](TDownloadLogic& l) { l.ProgramClick(); });
  act(ButtonDisconnect, [](TDownloadLogic& l) { l.DisconnectClick(); });
  act(ButtonRunAll, [](TDownloadLogic& l) { l.RunAllClick(); });
  act(ButtonCancel, [](TDownloadLogic& l) { l.CancelClick(); });
  act(ButtonExitServiceMode, [](TDownloadLogic& l) { l.ExitServiceModeClick(); });
  TControlEnable e;
  ControlsFor(dlsNormalMode, e);
  EnableControls(e);
  boUpdating = false;
}

void TFormDownload::Post(std::function<void()> fn) {
  // Queued to this window: dropped by Qt once the window is gone.
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void TFormDownload::SetComm(TCommInterface* comm) {
  if (comm == comm_) return;
  logic_.reset();
  comm_ = comm;
  if (!comm_) return;
  logic_ = std::make_unique<TDownloadLogic>(*comm_, *this, [this](std::function<void()> fn) { Post(std::move(fn)); });
  logic_->OnFlashModifiedExit = [this] {
    if (OnFlashModifiedExit) OnFlashModifiedExit();
  };
}

void TFormDownload::PushToLogic() {
  if (!logic_) return;
  logic_->iTab = TCTarget->currentIndex();
  logic_->aFilename = targets_.aFilename;
  logic_->aFromAddr = targets_.aFromAddr;
  logic_->aToAddr = targets_.aToAddr;
  logic_->aErasureMode = targets_.aErasureMode;
  logic_->fVerify = CheckVerify->isChecked();
}

bool TFormDownload::ShowForm() {
  if (!logic_) {
    QMessageBox::warning(this, windowTitle(), "No connection to the drive.");
    return false;
  }
  if (!logic_->Shown()) {
    const bool busy = ParameterDownloadRunning && ParameterDownloadRunning();
    if (!logic_->Show(busy)) {
      QMessageBox::warning(this, windowTitle(),
                           "A parameter download is running. Open the firmware tool when it has finished.");
      return false;
    }
  }
  show();
  raise();
  return true;
}

void TFormDownload::ProgramExit() {
  forceClose_ = true;
  close();
  if (logic_ && logic_->Shown()) logic_->Close();
  forceClose_ = false;
}

void TFormDownload::closeEvent(QCloseEvent* e) {
  if (!logic_ || !logic_->Shown() || forceClose_) {
    if (logic_ && logic_->Shown()) logic_->Close();
    e->accept();
    return;
  }
  switch (logic_->CloseQuery()) {
    case TDownloadLogic::caClose:
      logic_->Close();
      e->accept();
      return;
    case TDownloadLogic::caRefused: e->ignore(); return;
    case TDownloadLogic::caAskUser:
      if (QMessageBox::question(this, windowTitle(),
                                "The drive does not return to normal mode. Close the window anyway?") ==
          QMessageBox::Yes) {
        logic_->Close();
        e->accept();
      } else {
        e->ignore();
      }
      return;
  }
}

void TFormDownload::reject() {
  if (logic_) logic_->CancelClick();
}

// --- per-target values ---------------------------------------------------------------

void TFormDownload::TCTargetChange(int tab) {
  if (tab < 0 || tab >= kFlashTargetCount) return;
  boUpdating = true;
  EditFilename->setText(Q(targets_.aFilename[tab]));
  EditFromAddr->setText(Q(targets_.aFromAddr[tab]));
  EditToAddr->setText(Q(targets_.aToAddr[tab]));
  const int mode = std::clamp(targets_.aErasureMode[tab], 0, 2);
  ErasureModes[mode]->setChecked(true);
  const QFileInfo fi(EditFilename->text());
  if (!EditFilename->text().isEmpty() && fi.exists()) InitialDir = fi.absolutePath();
  boUpdating = false;
}

void TFormDownload::EditFilenameChange() {
  if (boUpdating) return;
  const int tab = TCTarget->currentIndex();
  if (tab < 0) return;
  targets_.aFilename[tab] = EditFilename->text().toStdString();
  targets_.aFromAddr[tab] = EditFromAddr->text().toStdString();
  targets_.aToAddr[tab] = EditToAddr->text().toStdString();
  for (int i = 0; i < 3; ++i)
    if (ErasureModes[i]->isChecked()) targets_.aErasureMode[tab] = i;
}

void TFormDownload::ButtonBrowseFileClick() {
  const QFileInfo fi(EditFilename->text());
  const QString dir = !EditFilename->text().isEmpty() && fi.exists() ? fi.absolutePath() : InitialDir;
  const QString name = QFileDialog::getOpenFileName(this, QString(), dir, kQtFilter);
  if (name.isEmpty()) return;
  EditFilename->setText(name);
  if (logic_) {
    PushToLogic();
    logic_->CheckEraseSetup();
  }
}

// --- settings ------------------------------------------------------------------------

void TFormDownload::GetSettings(const TCustomIniFile& ini) {
  for (int i = 0; i < kFlashTargetCount; ++i) {
    const std::string s = "Download" + std::to_string(i);
    targets_.aFilename[i] = ini.ReadString(s, "H0", "");
    targets_.aFromAddr[i] = ini.ReadString(s, "EraseFrom", "0x000000");
    targets_.aToAddr[i] = ini.ReadString(s, "EraseTo", "0x000000");
    targets_.aErasureMode[i] = std::clamp(ini.ReadInteger(s, "EraseMode", 0), 0, 2);
  }
  const int tab = std::clamp(ini.ReadInteger("Download", "Target", 0), 0, kFlashTargetCount - 1);
  for (int i = 0; i < kFlashTargetCount; ++i) TCTarget->setTabText(i, kFlashTargetNames[i]);
  if (TCTarget->currentIndex() == tab)
    TCTargetChange(tab);
  else
    TCTarget->setCurrentIndex(tab);
}

void TFormDownload::SaveSettings(TCustomIniFile& ini) const {
  ini.EraseSection("Download");
  for (int i = 0; i < kFlashTargetCount; ++i) ini.EraseSection("Download" + std::to_string(i));
  ini.WriteInteger("Download", "Target", TCTarget->currentIndex());
  for (int i = 0; i < kFlashTargetCount; ++i) {
    const std::string s = "Download" + std::to_string(i);
    ini.WriteString(s, "H0", targets_.aFilename[i]);
    ini.WriteString(s, "EraseFrom", targets_.aFromAddr[i]);
    ini.WriteString(s, "EraseTo", targets_.aToAddr[i]);
    ini.WriteInteger(s, "EraseMode", targets_.aErasureMode[i]);
  }
}

// --- the view ------------------------------------------------------------------------

void TFormDownload::LogMessage(const std::string& s) { Memo1->appendPlainText(QString::fromLatin1(s.c_str())); }
void TFormDownload::SetSpiLabel(const std::string& s) { LabelSpiStatus->setText(Q(s)); }
void TFormDownload::SetFlashLabel(const std::string& s) { LabelFlashStatus->setText(Q(s)); }
void TFormDownload::SetProgress(int p) { ProgressBar1->setValue(p); }

void TFormDownload::EnableControls(const TControlEnable& e) {
  ButtonRunAll->setEnabled(e.RunAll);
  ButtonSpiConnect->setEnabled(e.Connect);
  EditFilename->setEnabled(e.File);
  ButtonBrowseFile->setEnabled(e.File);
  TCTarget->setEnabled(e.Tabs);
  ButtonCancel->setEnabled(e.Cancel);
  ButtonDisconnect->setEnabled(e.Disconnect);
  ButtonProgram->setEnabled(e.Program);
  ButtonErase->setEnabled(e.Erase);
}

void TFormDownload::ShowEraseRange(const std::string& from, const std::string& to) {
  EditFromAddr->setText(Q(from));
  EditToAddr->setText(Q(to));
}

void TFormDownload::CloseWindow() { close(); }

}  // namespace zeb7::gui
