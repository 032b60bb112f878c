#pragma once
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "TempDir.h"

namespace zeb7::gui::test {

// Runs `answer` on each modal widget as it comes up (in the order given), from the
// event loop of the modal exec() itself.
class ModalScript : public QObject {
 public:
  explicit ModalScript(std::vector<std::function<void(QWidget*)>> steps)
      : steps_(std::move(steps)) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }
  size_t Done() const { return done_; }
  std::vector<QString> titles;

 private:
  void Poll() {
    QWidget* m = QApplication::activeModalWidget();
    if (!m || m == last_ || done_ >= steps_.size()) return;
    last_ = m;
    titles.push_back(m->windowTitle());
    auto step = steps_[done_++];
    step(m);
  }
  QTimer timer_;
  std::vector<std::function<void(QWidget*)>> steps_;
  QPointer<QWidget> last_;
  size_t done_ = 0;
};

// A fresh settings file per test, named by ZEB7_SETTINGS.
class SettingsFile {
 public:
  explicit SettingsFile(const std::string& content = "", bool create = true)
      : dir_("zeb7_gui"), path_(dir_.File("Zeb7Setup.ini")) {
    if (create) dir_.Write("Zeb7Setup.ini", content);
    ::setenv("ZEB7_SETTINGS", path_.c_str(), 1);
  }
  ~SettingsFile() {
    const char* cur = std::getenv("ZEB7_SETTINGS");
    if (cur && path_ == cur) ::unsetenv("ZEB7_SETTINGS");
  }
  const std::string& Path() const { return path_; }
  bool Exists() const { return std::filesystem::exists(path_); }
  std::string Read() const { return zeb7::test::ReadFile(path_); }

 private:
  zeb7::test::TempDir dir_;
  std::string path_;
};

}  // namespace zeb7::gui::test
