#include "workspace/ProjectIni.h"

#include <string_view>

namespace zeb7 {

std::string TProjectIni::ReadString(const std::string& section, const std::string& key,
                                    const std::string& def) const {
  const TIniContent::Entry* e = content_.FindEntry(section, key);
  return e ? e->value : def;
}

void TProjectIni::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  content_.Set(section, key, value);
}

std::vector<std::string> TProjectIni::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  if (const auto* s = content_.FindSection(section))
    for (const auto& e : s->entries)
      if (e.IsKey()) keys.push_back(e.key);
  return keys;
}

std::vector<std::string> TProjectIni::ReadSections() const {
  std::vector<std::string> names;
  for (const auto& s : content_.Sections()) names.push_back(s.name);
  return names;
}

void TProjectIni::EraseSection(const std::string& section) { content_.EraseSection(section); }

void TProjectIni::DeleteKey(const std::string& section, const std::string& key) { content_.DeleteKey(section, key); }

bool IsDriveSection(const std::string& name) {
  if (IniNameEquals(name, "Global") || IniNameEquals(name, "DriveModes")) return true;
  if (name.size() < 2 || name[0] < '0' || name[0] > '9') return false;
  std::string rest = name.substr(1);
  return IniNameEquals(rest, "Groups") || IniNameEquals(rest, "GroupDescriptions") ||
         IniNameEquals(rest, "GroupParents");
}

}  // namespace zeb7
