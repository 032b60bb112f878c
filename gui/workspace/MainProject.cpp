// The main window's side of projects and sheets: the project handlers given to
// TProjectFiles, the sheet menu, the recent projects and the display debug list.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <filesystem>

#include "gui/link/DriveLink.h"
#include "gui/views/FrmDebugWin.h"
#include "gui/workspace/Broadcast.h"
#include "gui/workspace/DisplayList.h"
#include "gui/workspace/Main.h"
#include "gui/workspace/ProjFile.h"
#include "gui/workspace/ScrollingTabSheet.h"
#include "model/DriveModel.h"
#include "workspace/ProjectDocument.h"
#include "workspace/Settings.h"

namespace zeb7::gui {

namespace {
// Busy cursor for the scope.
struct TBusy {
  TBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusy() { QApplication::restoreOverrideCursor(); }
};
}  // namespace

void TMainForm::CreateWorkspace() {
  FrmDebugWin = new TFrmDebugWin(this);
  TWorkspaceHooks hooks;
  hooks.DataModified = [this] {
    if (ProjectFiles) ProjectFiles->DataModified();
  };
  hooks.Message = [this](const QString& s) { MessageFunction(s); };
  hooks.SearchParams = [this] {
    if (model_.SearchParams) model_.SearchParams();
  };
  hooks.DebugLine = [this](const QString& s) { FrmDebugWin->AddLine(s); };
  Workspace = new TWorkspace(PageControl1, this, driveModel_, std::move(hooks));
  ProjectFiles = new TProjectFiles(
      this, zeb7::kProjectExtension, "Untitled", [] { return zeb7::SettingsFileName(); },
      [this](const std::string& f) { return DoProjectNew(f); },
      [this](const std::string& f, std::string& e) { return DoProjectSave(f, e); },
      [this](const std::string& f) { return DoProjectOpen(f); });
  ProjectFiles->OnChanged = [this] { FillRecentMenu(); };

  for (QAction* a : {New1, Open1, Save1, SaveAs1}) a->setEnabled(true);
  connect(New1, &QAction::triggered, this, [this] { ProjectFiles->NewFile(); });
  connect(Open1, &QAction::triggered, this, [this] { ProjectFiles->OpenFile(); });
  connect(Save1, &QAction::triggered, this, [this] { ProjectFiles->SaveFile(); });
  connect(SaveAs1, &QAction::triggered, this, [this] { ProjectFiles->SaveFileAs(); });
  if (QMenu* file = menuBar()->findChild<QMenu*>("File1")) {
    RecentProjects1 = new QMenu("Recent projects", file);
    RecentProjects1->setObjectName("RecentProjects1");
    file->insertMenu(Exit1, RecentProjects1);
    file->insertSeparator(Exit1);
  }
  FillRecentMenu();

  DebugDisplays1->setEnabled(true);
  connect(DebugDisplays1, &QAction::triggered, this, [this] { DebugDisplays1Click(); });

  PopupMenu1->clear();
  QAction* addElement = PopupMenu1->addAction("Add Element...");
  addElement->setVisible(false);
  connect(addElement, &QAction::triggered, this, [this] {
    if (TScrollingTabSheet* s = Workspace->ActiveSheet()) Workspace->AddNewElement(s->ScrollBox);
  });
  PopupMenu1->addSeparator();
  connect(PopupMenu1->addAction("Add Sheet"), &QAction::triggered, this, [this] { Workspace->AddSheet1Click(); });
  connect(PopupMenu1->addAction("Caption..."), &QAction::triggered, this, [this] { Workspace->Caption1Click(); });
  connect(PopupMenu1->addAction("Remove Sheet"), &QAction::triggered, this,
          [this] { Workspace->RemoveSheet1Click(); });
  PopupMenu1->addSeparator();
  connect(PopupMenu1->addAction("Move &Left"), &QAction::triggered, this, [this] { Workspace->MoveLeft1Click(); });
  connect(PopupMenu1->addAction("Move &Right"), &QAction::triggered, this, [this] { Workspace->MoveRight1Click(); });
}

void TMainForm::FillRecentMenu() {
  if (!RecentProjects1) return;
  RecentProjects1->clear();
  const QStringList files = ProjectFiles->RecentProjects();
  for (int i = 0; i < files.size(); ++i) {
    const QString f = files[i];
    QAction* a = RecentProjects1->addAction(QString("&%1 %2").arg(i + 1).arg(f));
    connect(a, &QAction::triggered, this, [this, f] { ProjectFiles->OpenRecent(f); });
  }
  RecentProjects1->setEnabled(!files.isEmpty());
}

void TMainForm::LoadStartupProject() { ProjectFiles->LoadStartupProject(projectArgument_); }

void TMainForm::ShowProjectTitle(const std::string& file) {
  setWindowTitle(TitleText() + " [" + QString::fromStdString(std::filesystem::path(file).filename().string()) + "]");
}

bool TMainForm::DoProjectNew(const std::string& file) {
  TBusy busy;
  try {
    if (model_.Reset) model_.Reset();
    Workspace->Clear();
    Workspace->NewWorkspace();
    ShowProjectTitle(file);
    if (model_.Restart) model_.Restart();
    if (model_.SearchParams) model_.SearchParams();
    return true;
  } catch (...) {
    return false;
  }
}

bool TMainForm::DoProjectOpen(const std::string& file) {
  zeb7::TProjectReadResult read = zeb7::ReadProjectFile(file);
  for (const std::string& m : read.Messages) MessageFunction(QString::fromStdString(m));
  if (!read.Ok) {
    MessageFunction(QString::fromStdString(read.Error));
    return false;
  }
  TBusy busy;
  // No new request goes out while the workspace is rebuilt; answers are
  // dispatched in this thread, so none reaches a half-built sheet.
  if (link_) {
    link_->FlushSendQueue();
    link_->Suspend();
  }
  bool ok = true;
  try {
    if (model_.Reset) model_.Reset();
    Workspace->Clear();
    Workspace->Build(read.Doc);
    ShowProjectTitle(file);
  } catch (...) {
    ok = false;
  }
  if (link_) link_->Resume();
  if (model_.Reset) model_.Reset();
  if (model_.Restart) model_.Restart();
  if (model_.SearchParams) model_.SearchParams();
  Modify1->setChecked(false);  // loaded displays start outside design mode
  return ok;
}

bool TMainForm::DoProjectSave(const std::string& file, std::string& error) {
  TBusy busy;
  bool ok = false;
  try {
    ok = zeb7::SaveProjectFile(file, Workspace->Document(), error);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (ok) ShowProjectTitle(file);
  return ok;
}

void TMainForm::DebugDisplays1Click() {
  try {
    FrmDebugWin->Memo1->clear();
    FrmDebugWin->show();
    FrmDebugWin->raise();
    BroadcastMessage(WM_REFRESH_DISPLAYS, 0, 3);
  } catch (...) {
  }
}

}  // namespace zeb7::gui
