#pragma once
// zeb7 [PROJECT.kvt] [--port DEVICE | --simulate [DRIVE.json] [--fast]] [--version]
#include <string>
#include <vector>

namespace zeb7::gui {

struct TCommandLine {
  std::string projectFile;    // first argument that is not an option
  std::string port;           // --port DEVICE: bound to the configured port number
  bool simulate = false;      // --simulate: a virtual drive on its own pseudo-terminal
  std::string simulateDrive;  // optional DRIVE.json after --simulate
  bool fast = false;          // --fast: the virtual drive answers at once, not at wire speed
  bool help = false;
  bool version = false;
  std::string error;          // non-empty: a usage error to print
};

// `args` without the program name (Qt's own options already removed).
TCommandLine ParseCommandLine(const std::vector<std::string>& args);
const char* CommandLineUsage();

}  // namespace zeb7::gui
