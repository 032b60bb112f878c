#pragma once
// Where the settings file lives and the keys every front end reads from it.
#include <map>
#include <string>

namespace zeb7 {

class TCustomIniFile;

// Full path of "Zeb7Setup.ini". ZEB7_SETTINGS names the file outright; otherwise
// it is $XDG_CONFIG_HOME/ZEB7/ (default ~/.config/ZEB7/). The folder is created
// when missing (failure is not an error here: the first write reports it).
// Evaluated anew on every call, like the environment it reads.
std::string SettingsFileName();

namespace settings {
inline constexpr const char* kComSection = "Com-Settings";
inline constexpr const char* kPortNr = "Port-Nr";
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kDesignMode = "DesignMode";
inline constexpr const char* kOscilloscope = "Oscilloscope";
inline constexpr const char* kProjectSection = "Current Project";
inline constexpr const char* kProjectFile = "Project File";
inline constexpr const char* kComPortsSection = "Com-Ports";
inline constexpr int kMaxComPort = 20;
}  // namespace settings

// "Com-Settings"/"Port-Nr", default 1; a value outside 1..20 also gives 1.
int ReadPortNr(const TCustomIniFile& ini);

// "Com-Ports"/"COM1".."COM20": explicit device paths per port number. Empty
// values are left out.
std::map<int, std::string> ReadComPortTable(const TCustomIniFile& ini);

}  // namespace zeb7
