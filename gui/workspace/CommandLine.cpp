#include "gui/workspace/CommandLine.h"

namespace zeb7::gui {

namespace {
bool EndsWithJson(const std::string& s) {
  if (s.size() < 5) return false;
  std::string tail = s.substr(s.size() - 5);
  for (auto& c : tail) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
  return tail == ".json";
}
}  // namespace

const char* CommandLineUsage() {
  return "usage: zeb7 [PROJECT.kvt] [--port DEVICE | --simulate [DRIVE.json] [--fast]]\n"
         "  --port DEVICE        use DEVICE for the configured COM port number in this run\n"
         "  --simulate [FILE]    start a virtual drive (described by FILE) and connect to it;\n"
         "                       it answers at the speed of a 115200-baud line\n"
         "  --fast               the virtual drive answers at once (for tests)\n"
         "  --version            print the version and exit\n";
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine cl;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      cl.help = true;
    } else if (a == "--version") {
      cl.version = true;
    } else if (a == "--fast") {
      cl.fast = true;
    } else if (a == "--port" || a.rfind("--port=", 0) == 0) {
      std::string dev;
      if (a == "--port") {
        if (i + 1 >= args.size()) {
          cl.error = "--port needs a device path";
          return cl;
        }
        dev = args[++i];
      } else {
        dev = a.substr(7);
      }
      if (dev.empty()) {
        cl.error = "--port needs a device path";
        return cl;
      }
      cl.port = dev;
    } else if (a == "--simulate" || a.rfind("--simulate=", 0) == 0) {
      cl.simulate = true;
      if (a != "--simulate") cl.simulateDrive = a.substr(11);
      else if (i + 1 < args.size() && EndsWithJson(args[i + 1])) cl.simulateDrive = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      cl.error = "unknown option " + a;
      return cl;
    } else if (cl.projectFile.empty()) {
      cl.projectFile = a;
    } else {
      cl.error = "more than one project file: " + a;
      return cl;
    }
  }
  if (cl.simulate && !cl.port.empty()) cl.error = "--port and --simulate exclude each other";
  else if (cl.fast && !cl.simulate) cl.error = "--fast needs --simulate";
  return cl;
}

}  // namespace zeb7::gui
