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
  explicit SettingsFile(const std::string& content = "", bool create = true) {
    static int n = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("zeb7_gui_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "Zeb7Setup.ini").string();
    if (create) std::ofstream(path_, std::ios::binary) << content;
    ::setenv("ZEB7_SETTINGS", path_.c_str(), 1);
  }
  ~SettingsFile() {
    const char* cur = std::getenv("ZEB7_SETTINGS");
    if (cur && path_ == cur) ::unsetenv("ZEB7_SETTINGS");
    std::filesystem::remove_all(dir_);
  }
  const std::string& Path() const { return path_; }
  bool Exists() const { return std::filesystem::exists(path_); }
  std::string Read() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

}  // namespace zeb7::gui::test
