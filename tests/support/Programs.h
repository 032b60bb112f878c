#pragma once
// The built programs as a user runs them from a shell.
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace zeb7::test {

std::string SimProgram();  // zeb7-sim of this build
std::string CtlProgram();  // zeb7ctl of this build

struct ProgramResult {
  int rc = -1;  // exit status, -1 when killed by a signal
  std::string out, err;
  double seconds = 0;
};

// Runs `program args` through the shell (args are shell words, quoted by the
// caller), ended after `timeoutSeconds`, with stdout and stderr captured apart.
ProgramResult RunProgram(const std::string& program, const std::string& args, int timeoutSeconds = 90);
// zeb7ctl with `args`.
ProgramResult RunCtl(const std::string& args, int timeoutSeconds = 90);

// A file of JSON lines (the virtual drive's --log); a line that is no JSON is
// returned as a discarded value so a test sees it.
std::vector<nlohmann::json> ReadJsonLines(const std::string& path);

}  // namespace zeb7::test
