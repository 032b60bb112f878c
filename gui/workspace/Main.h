#pragma once
// The main window: menus, the sheets' page control, the drive panel and the
// status bar; start-up, exit, online/offline, the COM port menu and design mode.
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;
class QTimer;
class QFrame;

namespace zeb7 {
class TDriveModel;
}

namespace zeb7::gui {

class TAboutBox;
class TFormDownload;
class TFormUpload;
class TFormDatabase;
class TFormDatabase2;
class TFormTypePlate;
class TFrmDebugWin;
class TProjectFiles;
class TWorkspace;
class TDriveLink;
class TDrivePanel;
class TFrmProjectState;
class TFormOsci;
class TSerialPortDlg;

// The caption before any project is loaded, and the title base of a project.
QString TitleText();
inline constexpr const char* kStartCaption = "Varnex Setup Tool";
inline constexpr const char* kOfflineText = "=== OFFLINE === OFFLINE === OFFLINE === ";

// Hooks into the drive model, bound once the model exists (see the start-up code).
struct TDriveModelHooks {
  std::function<void()> Reset, Restart, SearchParams;
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  using LinkFactory = std::function<std::unique_ptr<TDriveLink>()>;

  // With a model, the drive panel, progress panel, firmware label and project
  // state window follow it, and the menu commands act on it.
  explicit TMainForm(LinkFactory linkFactory, zeb7::TDriveModel* model = nullptr,
                     QWidget* parent = nullptr);
  ~TMainForm() override;

  // A device named on the command line: bound to the configured port number.
  void SetCommandLineDevice(const std::string& device) { commandLineDevice_ = device; }
  void SetModelHooks(TDriveModelHooks hooks) { model_ = std::move(hooks); }

  void Run();
  void Stop();
  void MessageFunction(const QString& sMsg);
  void BroadcastMessage(int msg, qintptr wParam, qintptr lParam);

  void Offline1Click(bool checked);
  // The COM port menu; returns whether a port was chosen that opened.
  bool SerielleSchnittstelle1Click();
  void Modify1Click(bool checked);
  void About1Click();
  void RereadParametersClick();

  // Progress panel and firmware label, from the synchronisation.
  void SetUploadProgress(bool visible, int percent);
  void SetFirmwareName(const QString& name);

  TDriveLink* Link() const { return link_.get(); }
  bool Online() const;
  bool DesignMode() const;

  // Controls, named as the window's components.
  QTabWidget* PageControl1;
  TDrivePanel* Panel2;
  QFrame* Panel1;
  QLabel* Panel3;
  QWidget* Panel5;
  QLabel* Panel5Caption;
  QProgressBar* ProgressBarUpload;
  QLabel* Panel4;
  QLabel* LabelStatus;
  QLabel* LabelVersion;
  QTimer* TimerErrorMsg;
  QMenu* PopupMenu1;

  // Menu entries.
  QAction *New1, *Open1, *Save1, *SaveAs1, *LoadParameters1, *SaveParametersas1,
      *ExamineParameterFile1, *Exit1;
  QAction* SerielleSchnittstelle1;
  QMenu* Help1;
  QAction *Contents1, *HelpAbout1;
  QAction* Parameters1;
  QMenu* Service1;
  QAction *Modify1, *Offline1, *DebugDisplays1, *ProgramState1, *ShowCommunication1,
      *ShowDatabase1, *Oscilloscope1, *RereadParameters, *FirmwareUpdateTool1,
      *UploadControllerFlash1, *ShowGroups1;
  QAction* TypePlate1;
  QAction* About1;

  // The other windows, created hidden after this one.
  TSerialPortDlg* SerialPortDlg = nullptr;
  TFrmProjectState* FrmProjectState = nullptr;
  TAboutBox* AboutBox = nullptr;
  TFormOsci* FormOsci = nullptr;
  TFormDownload* FormDownload = nullptr;  // gui/firmware/FirmwareWindows.h
  TFormUpload* FormUpload = nullptr;
  TFormDatabase2* FormDatabase2 = nullptr;
  TFormTypePlate* FormTypePlate = nullptr;
  TFormDatabase* FormDatabase = nullptr;

  TFrmDebugWin* FrmDebugWin = nullptr;
  // Sheets, displays and the project file handler.
  TWorkspace* Workspace = nullptr;
  TProjectFiles* ProjectFiles = nullptr;
  QMenu* RecentProjects1 = nullptr;

  zeb7::TDriveModel* DriveModel() const { return driveModel_; }
  // The project named on the command line (opened at start instead of the remembered one).
  void SetProjectArgument(const std::string& file) { projectArgument_ = file; }
  bool DoProjectNew(const std::string& file);
  bool DoProjectOpen(const std::string& file);
  bool DoProjectSave(const std::string& file, std::string& error);
  void DebugDisplays1Click();

  uint32_t iGoodAtErrorMsg = 0;

 signals:
  // After FormShow has run (link created, port opened, exchange running).
  void Started();

 protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void FormCreate();
  void CreateMenus();
  void CreateStatusBar();
  void FormShow();
  bool FormCloseQuery();
  void TimerErrorMsgTimer();
  void NewStartupSheet();
  void ShowPanel3();
  void ReportSettingsError(const std::string& error);
  void AttachModel();
  void DetachModel();
  void RenderDriveStatus();
  void RenderProjectState();
  void RunOnMain(std::function<void()> fn);
  void CreateTableWindows();
  void CreateWorkspace();
  void LoadStartupProject();
  void ShowProjectTitle(const std::string& file);
  void FillRecentMenu();

  LinkFactory linkFactory_;
  std::unique_ptr<TDriveLink> link_;
  TDriveModelHooks model_;
  zeb7::TDriveModel* driveModel_ = nullptr;
  int broadcastSubscription_ = 0;
  std::string commandLineDevice_;
  std::string projectArgument_;
  QString message_;  // the status text; a hint shows over it while the mouse rests on an item
  QString hint_;
  bool shown_ = false;
  bool closing_ = false;
};

}  // namespace zeb7::gui
