#include "gui/workspace/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollArea>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "Zeb7Version.h"
#include "gui/link/DriveLink.h"
#include "gui/link/FmSerial.h"
#include "model/DriveModel.h"
#include "gui/model/FrmProjectDatabase.h"
#include "gui/paramfiles/ParamFileMenus.h"
#include "gui/views/FrmDatabase.h"
#include "gui/views/FrmDatabase2.h"
#include "gui/views/FrmDebugWin.h"
#include "gui/views/FrmTypePlate.h"
#include "gui/scope/FrmOscill.h"
#include "gui/scope/ScopeLink.h"
#include "gui/workspace/About.h"
#include "gui/workspace/ProjFile.h"
#include "gui/firmware/FirmwareWindows.h"
#include "gui/workspace/Broadcast.h"
#include "gui/workspace/DrivePanel.h"
#include "workspace/IniFiles.h"
#include "workspace/Settings.h"

namespace zeb7::gui {

QString TitleText() {
  return QString("TORVANE ZEB7 SETUP TOOL ") + QString::fromLatin1(zeb7::versionString());
}

TMainForm::TMainForm(LinkFactory linkFactory, zeb7::TDriveModel* model, QWidget* parent)
    : QMainWindow(parent), linkFactory_(std::move(linkFactory)), driveModel_(model) {
  setObjectName("MainForm");
  setWindowTitle(kStartCaption);
  setMinimumSize(780, 500);

  auto* central = new QWidget(this);
  auto* lay = new QVBoxLayout(central);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);
  PageControl1 = new QTabWidget(central);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setUsesScrollButtons(true);
  lay->addWidget(PageControl1, 1);
  Panel2 = new TDrivePanel(central);
  lay->addWidget(Panel2);
  setCentralWidget(central);
  CreateStatusBar();
  lay->addWidget(Panel1);
  CreateMenus();

  TimerErrorMsg = new QTimer(this);
  TimerErrorMsg->setObjectName("TimerErrorMsg");
  TimerErrorMsg->setInterval(1000);
  connect(TimerErrorMsg, &QTimer::timeout, this, [this] { TimerErrorMsgTimer(); });
  TimerErrorMsg->start();  // runs from program start

  FormCreate();

  // The other windows, hidden, in their creation order (later windows join here).
  SerialPortDlg = new TSerialPortDlg(this);
  FrmProjectState = new TFrmProjectState(this);
  AboutBox = new TAboutBox(this);
  FormOsci = new TFormOsci(this);
  FormOsci->LinkAccess = [this] { return ScopeLinkOf(*this); };
  connect(Oscilloscope1, &QAction::triggered, this, [this] {
    FormOsci->show();
    FormOsci->raise();
  });
  AttachFirmwareWindows(*this);
  CreateTableWindows();
  ConnectParameterFileMenus(*this);  // parameter files, tree, monitor
  CreateWorkspace();
  if (driveModel_) AttachModel();
}

void TMainForm::CreateTableWindows() {
  FormDatabase2 = new TFormDatabase2(driveModel_, this);
  FormTypePlate = new TFormTypePlate(driveModel_, this);
  FormDatabase = new TFormDatabase(driveModel_, this);
  auto showTable = [](TFormTabelle* w) {
    w->show();
    w->raise();
    w->ShowActualData();
  };
  ShowDatabase1->setEnabled(true);
  connect(ShowDatabase1, &QAction::triggered, this, [=, this] { showTable(FormDatabase); });
  ShowGroups1->setEnabled(true);
  connect(ShowGroups1, &QAction::triggered, this, [=, this] { showTable(FormDatabase2); });
  TypePlate1->setEnabled(true);
  connect(TypePlate1, &QAction::triggered, this, [this] {
    FormTypePlate->show();
    FormTypePlate->raise();
  });
  // Until the parameter tree exists, the parameter search shows the database table.
  Parameters1->setEnabled(true);
  connect(Parameters1, &QAction::triggered, this, [=, this] {
    if (model_.SearchParams) model_.SearchParams();
    showTable(FormDatabase);
  });
}

TMainForm::~TMainForm() {
  // The link goes before the windows it reports to.
  if (link_) {
    link_->SetErrorSink(nullptr);
    link_.reset();
  }
  DetachModel();
}

void TMainForm::RunOnMain(std::function<void()> fn) {
  if (QThread::currentThread() == thread()) fn();
  else QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void TMainForm::AttachModel() {
  zeb7::TDriveModel& m = *driveModel_;
  model_.Reset = [&m] { m.ProjectState.Reset(); };
  model_.Restart = [&m] { m.ProjectState.Restart(); };
  model_.SearchParams = [&m] { m.ProjectState.SearchParams(); };
  for (const auto& line : m.ProjectState.Lines()) FrmProjectState->Log(QString::fromStdString(line));
  m.Context.Log = [this](const std::string& line) { FrmProjectState->Log(QString::fromStdString(line)); };
  broadcastSubscription_ = m.Context.Broadcaster.Subscribe([this](int msg, int64_t lParam) {
    RunOnMain([this, msg, lParam] { BroadcastMessage(msg, 0, static_cast<qintptr>(lParam)); });
  });
  m.ProjectState.OnChanged = [this] { RunOnMain([this] { RenderProjectState(); }); };
  m.Status.OnChanged = [this] { RunOnMain([this] { RenderDriveStatus(); }); };

  zeb7::TDriveStatus& st = m.Status;
  connect(Panel2, &TDrivePanel::ControlByATAClicked, this, [&st] { st.ClickControlByATA(); });
  connect(Panel2, &TDrivePanel::DisableDriveClicked, this, [&st] { st.ClickDisableDrive(); });
  connect(Panel2, &TDrivePanel::EnableDriveClicked, this, [&st] { st.ClickEnableDrive(); });
  connect(Panel2, &TDrivePanel::WriteFlashClicked, this, [&st] { st.ClickWriteFlash(); });
  connect(Panel2, &TDrivePanel::ParamSetClicked, this, [&st](int tag) { st.ClickParamSet(tag); });
  connect(Panel2, &TDrivePanel::ParamVersionEntered, this,
          [&st](const QString& entry) { st.RenameParamVersion(entry.toStdString()); });
  connect(Panel2, &TDrivePanel::DeleteParamSetConfirmed, this, [&st] { st.DeleteParamSetConfirmed(); });
  Panel2->ValidParamVersion = [](const QString& entry) {
    return zeb7::TDriveStatus::ParseParamVersion(entry.toStdString()).has_value();
  };
  RenderDriveStatus();
  RenderProjectState();
}

void TMainForm::DetachModel() {
  if (!driveModel_) return;
  zeb7::TDriveModel& m = *driveModel_;
  m.Context.Broadcaster.Unsubscribe(broadcastSubscription_);
  m.Context.Log = nullptr;
  m.ProjectState.OnChanged = nullptr;
  m.Status.OnChanged = nullptr;
  driveModel_ = nullptr;
}

void TMainForm::RenderDriveStatus() {
  if (driveModel_) Panel2->Render(driveModel_->Status);
}

void TMainForm::RenderProjectState() {
  if (!driveModel_) return;
  const zeb7::TFrmProjectState& ps = driveModel_->ProjectState;
  SetUploadProgress(ps.ProgressVisible(), ps.ProgressPercent());
  SetFirmwareName(QString::fromStdString(ps.FirmwareLabel()));
}

void TMainForm::FormCreate() {
  Panel2->SpeedButtonControlByATA->setVisible(false);
  // Sheets and the project handler arrive with the project files.
}

void TMainForm::CreateStatusBar() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(23);
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  auto* lay = new QHBoxLayout(Panel1);
  lay->setContentsMargins(2, 1, 2, 1);
  lay->setSpacing(4);

  Panel3 = new QLabel(Panel1);
  Panel3->setObjectName("Panel3");
  Panel3->setFixedWidth(280);
  Panel3->setFrameShape(QFrame::Panel);
  Panel3->setFrameShadow(QFrame::Sunken);
  Panel3->setTextFormat(Qt::PlainText);
  lay->addWidget(Panel3);

  LabelStatus = new QLabel(Panel1);
  LabelStatus->setObjectName("LabelStatus");
  lay->addWidget(LabelStatus);

  Panel5 = new QWidget(Panel1);
  Panel5->setObjectName("Panel5");
  auto* p5 = new QHBoxLayout(Panel5);
  p5->setContentsMargins(0, 0, 0, 0);
  Panel5Caption = new QLabel("  Uploading Data from Controller ...", Panel5);
  ProgressBarUpload = new QProgressBar(Panel5);
  ProgressBarUpload->setObjectName("ProgressBarUpload");
  ProgressBarUpload->setRange(0, 100);
  ProgressBarUpload->setTextVisible(false);
  p5->addWidget(Panel5Caption);
  p5->addWidget(ProgressBarUpload, 1);
  Panel5->setVisible(false);
  lay->addWidget(Panel5, 1);
  lay->addStretch();

  LabelVersion = new QLabel(Panel1);
  LabelVersion->setObjectName("LabelVersion");
  lay->addWidget(LabelVersion);

  Panel4 = new QLabel(Panel1);
  Panel4->setObjectName("Panel4");
  Panel4->setMinimumWidth(140);
  Panel4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont bold = Panel4->font();
  bold.setBold(true);
  Panel4->setFont(bold);
  lay->addWidget(Panel4);
}

namespace {

QAction* Item(QMenu* menu, const QString& caption, const QString& name, const QString& hint,
              bool enabled = true) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  a->setStatusTip(hint);
  a->setEnabled(enabled);
  return a;
}

}  // namespace

void TMainForm::CreateMenus() {
  QMenuBar* bar = menuBar();
  // Entries whose windows are not part of this program yet stay disabled.
  QMenu* file = bar->addMenu("&File");
  file->setObjectName("File1");
  New1 = Item(file, "&New", "New1", "Create new file", false);
  Open1 = Item(file, "&Open...", "Open1", "Open existing file", false);
  Save1 = Item(file, "&Save", "Save1", "Save current file", false);
  SaveAs1 = Item(file, "Save &as...", "SaveAs1", "Save file with different name", false);
  file->addSeparator();
  LoadParameters1 =
      Item(file, "Load &Parameters...", "LoadParameters1", "Load parameter settings from disk", false);
  SaveParametersas1 = Item(file, "Sa&ve Parameters as...", "SaveParametersas1",
                           "Save parameter settings to disk", false);
  ExamineParameterFile1 = Item(file, "Exa&mine Parameter file...", "ExamineParameterFile1", "", false);
  file->addSeparator();
  Exit1 = Item(file, "&Exit", "Exit1", "Exit program");
  connect(Exit1, &QAction::triggered, this, &QWidget::close);

  QMenu* settings = bar->addMenu("&Settings");
  settings->setObjectName("Settings1");
  SerielleSchnittstelle1 = Item(settings, "&Com Port", "SerielleSchnittstelle1", "Select COM port");
  connect(SerielleSchnittstelle1, &QAction::triggered, this, [this] { SerielleSchnittstelle1Click(); });

  Help1 = bar->addMenu("&Help");
  Help1->setObjectName("Help1");
  Contents1 = Item(Help1, "&Contents", "Contents1", "", false);
  HelpAbout1 = Item(Help1, "&About...", "HelpAbout1", "", false);
  Help1->menuAction()->setVisible(false);
  Help1->menuAction()->setEnabled(false);

  Parameters1 = bar->addAction("&Parameters");
  Parameters1->setObjectName("Parameters1");
  Parameters1->setStatusTip("Show all parameters");
  Parameters1->setEnabled(false);

  Service1 = bar->addMenu("&Service");
  Service1->setObjectName("Service1");
  Modify1 = Item(Service1, "&Modify", "Modify1", "Move or change display windows");
  Modify1->setCheckable(true);
  connect(Modify1, &QAction::triggered, this, [this](bool c) { Modify1Click(c); });
  Offline1 = Item(Service1, "Go &Offline", "Offline1", "Release COM port for other applications");
  Offline1->setCheckable(true);
  connect(Offline1, &QAction::triggered, this, [this](bool c) { Offline1Click(c); });
  DebugDisplays1 = Item(Service1, "Debug Displa&ys", "DebugDisplays1", "", false);
  DebugDisplays1->setVisible(false);
  ProgramState1 = Item(Service1, "&Program State", "ProgramState1", "");
  ProgramState1->setVisible(false);
  connect(ProgramState1, &QAction::triggered, this, [this] {
    FrmProjectState->show();
    FrmProjectState->raise();
  });
  ShowCommunication1 = Item(Service1, "&Show Communication", "ShowCommunication1", "Show data exchange", false);
  ShowDatabase1 = Item(Service1, "Show &Database", "ShowDatabase1", "Show all parameters", false);
  Oscilloscope1 = Item(Service1, "Os&cilloscope", "Oscilloscope1", "");
  Oscilloscope1->setVisible(false);
  RereadParameters = Item(Service1, "Re-read Parameters", "RereadParameters", "");
  connect(RereadParameters, &QAction::triggered, this, [this] { RereadParametersClick(); });
  FirmwareUpdateTool1 = Item(Service1, "Firmware &Update Tool", "FirmwareUpdateTool1", "", false);
  UploadControllerFlash1 = Item(Service1, "Up&load Controller Flash", "UploadControllerFlash1", "", false);
  ShowGroups1 = Item(Service1, "Show &Groups", "ShowGroups1", "", false);

  TypePlate1 = bar->addAction("&TypePlate");
  TypePlate1->setObjectName("TypePlate1");
  TypePlate1->setStatusTip("Display ZEB/QOR type plate");
  TypePlate1->setEnabled(false);

  About1 = bar->addAction("About");
  About1->setObjectName("About1");
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });

  // The sheet menu pops up only in design mode; its entries come with sheet editing.
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  for (const char* c : {"Add Element...", "Add Sheet", "Caption...", "Remove Sheet", "Move &Left",
                        "Move &Right"})
    PopupMenu1->addAction(c)->setEnabled(false);
  PageControl1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(PageControl1, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    if (Modify1->isChecked()) PopupMenu1->popup(PageControl1->mapToGlobal(p));
  });
}

bool TMainForm::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    hint_ = static_cast<QStatusTipEvent*>(e)->tip();
    ShowPanel3();
    return true;
  }
  return QMainWindow::event(e);
}

void TMainForm::ShowPanel3() { Panel3->setText(hint_.isEmpty() ? message_ : hint_); }

void TMainForm::showEvent(QShowEvent* e) {
  QMainWindow::showEvent(e);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TMainForm::ReportSettingsError(const std::string& error) {
  if (!error.empty()) MessageFunction(QString::fromStdString(error));
}

void TMainForm::FormShow() {
  Panel2->ShowMessageFields();
  if (linkFactory_) link_ = linkFactory_();

  TIniFile ini(SettingsFileName());
  int designMode = ini.ReadInteger(settings::kSettingsSection, settings::kDesignMode, 0);
  int oscilloscope = ini.ReadInteger(settings::kSettingsSection, settings::kOscilloscope, 0);
  ReportSettingsError(ini.LastError());
  if (designMode == 1) {
    Service1->menuAction()->setVisible(true);
    ProgramState1->setVisible(true);
    DebugDisplays1->setVisible(true);
  }
  if (oscilloscope == 1) Oscilloscope1->setVisible(true);

  if (link_) {
    const int port = ReadPortNr(ini);
    for (const auto& [n, dev] : ReadComPortTable(ini)) link_->BindDevice(n, dev);
    if (!commandLineDevice_.empty()) link_->BindDevice(port, commandLineDevice_);
    link_->SetComPort(port);
    // Open failures are no error here: the worker keeps retrying.
    link_->OpenCom();
    link_->Resume();
  }
  LoadStartupProject();
  Run();
  emit Started();
}

void TMainForm::NewStartupSheet() {
  // Until projects are loaded at start-up, the drive is set up as for a new project.
  if (model_.Reset) model_.Reset();
  auto* sheet = new QScrollArea(PageControl1);
  sheet->setObjectName("Page1");
  PageControl1->addTab(sheet, "Page1");
  if (model_.Restart) model_.Restart();
  if (model_.SearchParams) model_.SearchParams();
}

void TMainForm::Run() {
  if (!link_) return;
  link_->SetErrorSink([this](const std::string& s) { MessageFunction(QString::fromStdString(s)); });
  link_->StartExchange();
}

void TMainForm::Stop() {
  if (!link_) return;
  link_->SetErrorSink(nullptr);
  link_->StopExchange();
}

void TMainForm::closeEvent(QCloseEvent* e) {
  if (!FormCloseQuery()) {
    e->ignore();
    return;
  }
  QMainWindow::closeEvent(e);
  // The tool windows belong to this one: close them with it.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isVisible() && w->parentWidget() == this) w->hide();
}

bool TMainForm::FormCloseQuery() {
  if (closing_) return true;
  if (ProjectFiles && ProjectFiles->QuerySave() == QMessageBox::Cancel) return false;
  // The save question arrives with project files; the windows that keep settings
  // at exit arrive with their own features.
  closing_ = true;
  if (FormOsci) FormOsci->AbandonUpload();  // a running upload lets go of the link first
  DetachFirmwareWindows(*this);  // before the link goes
  if (link_) {
    Stop();
    link_->Wait(100);
    link_->CloseCom();
    link_.reset();
  }
  TimerErrorMsg->stop();
  return true;
}

void TMainForm::MessageFunction(const QString& sMsg) {
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, [this, sMsg] { MessageFunction(sMsg); }, Qt::QueuedConnection);
    return;
  }
  if (message_.isEmpty()) message_ = sMsg;
  else if (!message_.contains(sMsg)) message_ += " | " + sMsg;
  if (link_) iGoodAtErrorMsg = link_->Good();
  ShowPanel3();
  TimerErrorMsg->start();
}

void TMainForm::TimerErrorMsgTimer() {
  if (link_ && link_->Good() != iGoodAtErrorMsg) {
    message_.clear();
    ShowPanel3();
    TimerErrorMsg->stop();
  }
}

bool TMainForm::Online() const { return !Offline1->isChecked(); }
bool TMainForm::DesignMode() const { return Modify1->isChecked(); }

void TMainForm::Offline1Click(bool checked) {
  Offline1->setChecked(checked);
  if (checked) {
    Offline1->setText("GO &ONLINE");
    Stop();
    if (link_) {
      link_->FlushSendQueue();
      link_->CloseCom();
    }
    MessageFunction(kOfflineText);
  } else {
    Offline1->setText("Go &Offline");
    if (link_) link_->OpenCom();
    message_.clear();
    ShowPanel3();
    Run();
  }
}

bool TMainForm::SerielleSchnittstelle1Click() {
  if (!link_) return false;
  link_->Suspend();
  link_->Wait(100);
  const int oldPort = link_->ComPort();
  link_->CloseCom();
  link_->Wait(250);
  SerialPortDlg->ListComPorts([this](int n) { return link_->DevicePath(n); });
  link_->OpenCom();
  bool opened = false;
  for (;;) {
    SerialPortDlg->boValid = link_->Opened();
    SerialPortDlg->iComPort = link_->ComPort();
    if (SerialPortDlg->exec() != QDialog::Accepted) {
      link_->SetComPort(oldPort);
      link_->OpenCom();
      break;
    }
    link_->CloseCom();
    link_->Wait(100);
    link_->SetComPort(SerialPortDlg->iComPort);
    if (link_->OpenCom()) {
      opened = true;
      break;
    }
  }
  link_->Resume();
  if (opened) {
    TIniFile ini(SettingsFileName());
    ini.WriteInteger(settings::kComSection, settings::kPortNr, link_->ComPort());
    ReportSettingsError(ini.LastError());
  }
  if (link_->ComPort() != oldPort) {
    // Another port may lead to another drive.
    if (model_.Reset) model_.Reset();
    if (model_.Restart) model_.Restart();
  }
  return opened;
}

void TMainForm::Modify1Click(bool checked) {
  Modify1->setChecked(checked);
  BroadcastMessage(WM_SET_DESIGN_MODE, 0, checked ? 1 : 0);
}

void TMainForm::About1Click() {
  AboutBox->ProductName->setText("TORVANE ZEB7 SETUP TOOL");
  AboutBox->Version->setText("Version " + QString::fromLatin1(zeb7::versionString()));
  AboutBox->show();
  AboutBox->raise();
}

void TMainForm::RereadParametersClick() {
  if (model_.Reset) model_.Reset();
  if (model_.SearchParams) model_.SearchParams();
}

void TMainForm::BroadcastMessage(int msg, qintptr wParam, qintptr lParam) {
  QList<QPointer<QWidget>> windows{this, SerialPortDlg, FrmProjectState, AboutBox,
                                   FormDatabase2, FormTypePlate, FormDatabase, FrmDebugWin};
  gui::BroadcastMessage(msg, wParam, lParam, windows, [this](const QString& s) { MessageFunction(s); });
}

void TMainForm::SetUploadProgress(bool visible, int percent) {
  ProgressBarUpload->setValue(percent);
  Panel5->setVisible(visible);
}

void TMainForm::SetFirmwareName(const QString& name) { Panel4->setText(name); }

}  // namespace zeb7::gui
