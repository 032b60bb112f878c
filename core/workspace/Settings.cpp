#include "workspace/Settings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "workspace/IniFiles.h"

namespace zeb7 {

std::string SettingsFileName() {
  if (const char* own = std::getenv("ZEB7_SETTINGS"); own && *own) return own;
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  }
  // Without a base the folder is relative to the working directory.
  if (!base.empty() && base.back() != '/') base += '/';
  std::string dir = base + "ZEB7";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir + "/Zeb7Setup.ini";
}

int ReadPortNr(const TCustomIniFile& ini) {
  int n = ini.ReadInteger(settings::kComSection, settings::kPortNr, 1);
  return (n >= 1 && n <= settings::kMaxComPort) ? n : 1;
}

std::map<int, std::string> ReadComPortTable(const TCustomIniFile& ini) {
  std::map<int, std::string> table;
  for (int n = 1; n <= settings::kMaxComPort; ++n) {
    std::string dev = ini.ReadString(settings::kComPortsSection, "COM" + std::to_string(n), "");
    if (!dev.empty()) table[n] = dev;
  }
  return table;
}

}  // namespace zeb7
