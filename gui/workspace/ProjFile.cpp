#include "gui/workspace/ProjFile.h"

#include <QFileDialog>
#include <QPointer>
#include <filesystem>

#include "workspace/IniFiles.h"
#include "workspace/ProjectDocument.h"
#include "workspace/Settings.h"

namespace zeb7::gui {

namespace fs = std::filesystem;

namespace {
std::string Absolute(const std::string& p) {
  std::error_code ec;
  fs::path a = fs::absolute(p, ec);
  return ec ? p : a.lexically_normal().string();
}
std::string DirOf(const std::string& p) { return fs::path(p).parent_path().string(); }
std::string FileNameOf(const std::string& p) { return fs::path(p).filename().string(); }
bool IsFile(const std::string& p) {
  std::error_code ec;
  return !p.empty() && fs::is_regular_file(p, ec);
}
}  // namespace

TProjectFiles::TProjectFiles(QWidget* owner, std::string defaultFileExt, std::string defaultFileName,
                             std::function<std::string()> winIniName, OpenHandler onProjectNew,
                             SaveHandler onProjectSave, OpenHandler onProjectOpen)
    : QObject(owner),
      sDefaultFileName(std::move(defaultFileName)),
      sDefaultFileExt(std::move(defaultFileExt)),
      owner_(owner),
      winIniName_(std::move(winIniName)),
      onProjectNew_(std::move(onProjectNew)),
      onProjectOpen_(std::move(onProjectOpen)),
      onProjectSave_(std::move(onProjectSave)) {
  const QString ext = QString::fromStdString(sDefaultFileExt);
  const QString filter = QString::asprintf("Project Files (*.%s)", sDefaultFileExt.c_str());
  OpenDialog1 = new QFileDialog(owner, QString(), QString(), filter);
  OpenDialog1->setObjectName("OpenDialog1");
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);
  OpenDialog1->setDefaultSuffix(ext);
  OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
  SaveDialog1 = new QFileDialog(owner, QString(), QString(), filter);
  SaveDialog1->setObjectName("SaveDialog1");
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1->setDefaultSuffix(ext);
  SaveDialog1->setOption(QFileDialog::DontUseNativeDialog);
}

void TProjectFiles::Remember() {
  TIniFile ini(winIniName_());
  ini.WriteString(settings::kProjectSection, settings::kProjectFile, sProjectFileName);
  if (OnChanged) OnChanged();
}

QStringList TProjectFiles::RecentProjects() const {
  TIniFile ini(winIniName_());
  QStringList out;
  for (int i = 1; i <= kRecentCount; ++i) {
    const std::string f = ini.ReadString(kRecentSection, "File" + std::to_string(i), "");
    if (!f.empty()) out << QString::fromStdString(f);
  }
  return out;
}

void TProjectFiles::AddRecent(const std::string& file) {
  QStringList list = RecentProjects();
  const QString f = QString::fromStdString(file);
  list.removeAll(f);
  list.prepend(f);
  while (list.size() > kRecentCount) list.removeLast();
  TIniFile ini(winIniName_());
  ini.EraseSection(kRecentSection);
  for (int i = 0; i < list.size(); ++i)
    ini.WriteString(kRecentSection, "File" + std::to_string(i + 1), list[i].toStdString());
}

bool TProjectFiles::LoadProject(std::string name) {
  boNewProject = false;
  boDataModified = false;
  const std::string dir = DirOf(name);
  std::error_code ec;
  if (!dir.empty() && !fs::is_directory(dir, ec)) {
    QMessageBox::warning(owner_, QString(),
                         QString::fromStdString("Directory " + dir + " does not exist!\nThe active directory will be used"));
    name = Absolute(FileNameOf(name));
  }
  sProjectFileName = name;
  bool ok = false;
  if (IsFile(name) && onProjectOpen_ && onProjectOpen_(name)) {
    OpenDialog1->setDirectory(QString::fromStdString(DirOf(name)));
    AddRecent(name);
    ok = true;
  } else {
    OpenDialog1->setDirectory(QString::fromStdString(DirOf(name)));
    boNewProject = true;
  }
  Remember();
  return ok;
}

bool TProjectFiles::NewProject() {
  boNewProject = true;
  boDataModified = true;
  std::error_code ec;
  sProjectFileName = zeb7::FirstFreeUntitled(fs::current_path(ec).string());
  const bool ok = onProjectNew_ && onProjectNew_(sProjectFileName);
  Remember();
  return ok;
}

bool TProjectFiles::LoadStartupProject(const std::string& argument) {
  std::error_code ec;
  const std::string cwd = fs::current_path(ec).string();
  std::string file;
  if (!argument.empty()) {
    file = zeb7::ProjectFileFromArgument(argument, cwd);
  } else {
    TIniFile ini(winIniName_());
    file = ini.ReadString(settings::kProjectSection, settings::kProjectFile, "");
    if (file.empty()) return NewProject();
    file = Absolute(file);
  }
  return LoadProject(file);
}

bool TProjectFiles::NewFile() { return NewProject(); }

bool TProjectFiles::OpenFile() {
  QPointer<QFileDialog> dlg(OpenDialog1);
  if (dlg->exec() != QDialog::Accepted || !dlg || dlg->selectedFiles().isEmpty()) return false;
  const std::string file = dlg->selectedFiles().first().toStdString();
  if (QuerySave() == QMessageBox::Cancel) return false;
  sProjectFileName = file;
  return LoadProject(file);
}

bool TProjectFiles::OpenRecent(const QString& file) {
  if (QuerySave() == QMessageBox::Cancel) return false;
  return LoadProject(file.toStdString());
}

bool TProjectFiles::Save(const std::string& file, bool tellFailure) {
  lastSaveError_.clear();
  std::string error;
  if (onProjectSave_ && onProjectSave_(file, error)) return true;
  lastSaveError_ = error.empty() ? "The project could not be saved." : error;
  if (tellFailure)
    QMessageBox::warning(owner_, QString(), QString::fromStdString("Cannot save " + file + ":\n" + lastSaveError_));
  return false;
}

bool TProjectFiles::SaveFile() {
  if (!IsFile(sProjectFileName)) return SaveFileAs();
  if (!Save(sProjectFileName, true)) return false;
  boDataModified = false;
  AddRecent(sProjectFileName);
  Remember();
  return true;
}

bool TProjectFiles::SaveFileAs() {
  lastSaveError_.clear();
  QPointer<QFileDialog> dlg(SaveDialog1);
  dlg->setDirectory(QString::fromStdString(DirOf(sProjectFileName)));
  dlg->selectFile(QString::fromStdString(FileNameOf(sProjectFileName)));
  if (dlg->exec() != QDialog::Accepted || !dlg || dlg->selectedFiles().isEmpty()) return false;
  const std::string file = dlg->selectedFiles().first().toStdString();
  if (!Save(file, true)) return false;
  sProjectFileName = file;
  boDataModified = false;
  boNewProject = false;
  AddRecent(file);
  Remember();
  return true;
}

QMessageBox::StandardButton TProjectFiles::QuerySave() {
  if (!boDataModified) return QMessageBox::No;
  const auto answer = QMessageBox::question(
      owner_, QString(), QString::fromStdString("Save changes to project " + FileNameOf(sProjectFileName) + " ?"),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes && !SaveFile() && !lastSaveError_.empty()) {
    // The user wanted the work kept and it was not: do not go on.
    return QMessageBox::Cancel;
  }
  return answer;
}

}  // namespace zeb7::gui
