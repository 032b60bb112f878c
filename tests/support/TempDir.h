#pragma once
// A fresh folder per test, removed with everything in it at the end of scope.
#include <filesystem>
#include <string>

namespace zeb7::test {

class TempDir {
 public:
  // `prefix` names the folder in the system's temporary folder (for a human looking).
  explicit TempDir(const std::string& prefix = "zeb7test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Writes `text` byte for byte into `name` and returns its path.
  std::string Write(const std::string& name, const std::string& text) const;

 private:
  std::filesystem::path path_;
};

// The whole file, byte for byte; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace zeb7::test
