#pragma once
// An INI file held in a TIniContent, so the drive synchronisation can write
// its project sections into a document and read them from one
// (TFrmProjectState::WriteToIniFile / ReadFromIniFile) without a file.
#include <string>
#include <vector>

#include "workspace/IniFiles.h"

namespace zeb7 {

class TProjectIni : public TCustomIniFile {
 public:
  TProjectIni() : TCustomIniFile("") {}
  explicit TProjectIni(TIniContent content) : TCustomIniFile(""), content_(std::move(content)) {}

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const override;
  void WriteString(const std::string& section, const std::string& key,
                   const std::string& value) override;
  std::vector<std::string> ReadSection(const std::string& section) const override;
  std::vector<std::string> ReadSections() const override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& key) override;

  const TIniContent& Content() const { return content_; }
  TIniContent& Content() { return content_; }

 private:
  TIniContent content_;
};

// True for the sections the drive synchronisation writes.
bool IsDriveSection(const std::string& name);

}  // namespace zeb7
