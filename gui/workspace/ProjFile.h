#pragma once
// The new/open/save/save-as/close dialogue of project files, the project
// remembered in the settings file and the last four projects.
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <functional>
#include <string>

class QFileDialog;
class QWidget;

namespace zeb7::gui {

inline constexpr const char* kRecentSection = "Recent Projects";
inline constexpr int kRecentCount = 4;

class TProjectFiles : public QObject {
  Q_OBJECT
 public:
  using OpenHandler = std::function<bool(const std::string& file)>;
  // Returns false with the reason in `error` (empty: nothing to tell).
  using SaveHandler = std::function<bool(const std::string& file, std::string& error)>;

  TProjectFiles(QWidget* owner, std::string defaultFileExt, std::string defaultFileName,
                std::function<std::string()> winIniName, OpenHandler onProjectNew, SaveHandler onProjectSave,
                OpenHandler onProjectOpen);

  void DataModified() { boDataModified = true; }
  bool NewFile();
  bool OpenFile();
  bool SaveFile();
  bool SaveFileAs();
  // No without asking when nothing changed; Cancel also when the save the
  // user asked for failed, so nothing is lost.
  QMessageBox::StandardButton QuerySave();
  bool LoadProject(std::string name);
  bool NewProject();
  // `argument`: the first command-line argument, empty when none.
  bool LoadStartupProject(const std::string& argument);
  // Opens one of the recent projects (after the save question).
  bool OpenRecent(const QString& file);
  QStringList RecentProjects() const;

  std::string sProjectFileName;
  bool boNewProject = false;
  bool boDataModified = false;
  std::string sDefaultFileName, sDefaultFileExt;
  QFileDialog* OpenDialog1;
  QFileDialog* SaveDialog1;

  // After a new, open or save: the window title and the recent list follow.
  std::function<void()> OnChanged;

 private:
  void Remember();
  void AddRecent(const std::string& file);
  bool Save(const std::string& file, bool tellFailure);

  QWidget* owner_;
  std::function<std::string()> winIniName_;
  OpenHandler onProjectNew_, onProjectOpen_;
  SaveHandler onProjectSave_;
  std::string lastSaveError_;
};

}  // namespace zeb7::gui
