#include "Programs.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "TempDir.h"

namespace zeb7::test {

std::string SimProgram() { return std::string(ZEB7_BINARY_DIR) + "/sim/zeb7-sim"; }
std::string CtlProgram() { return std::string(ZEB7_BINARY_DIR) + "/cli/zeb7ctl"; }

ProgramResult RunProgram(const std::string& program, const std::string& args, int timeoutSeconds) {
  TempDir dir("zeb7run");
  const std::string out = dir.File("out"), err = dir.File("err");
  const std::string cmd = "timeout " + std::to_string(timeoutSeconds) + " " + program + " " + args + " >" + out +
                          " 2>" + err;
  ProgramResult r;
  const auto t0 = std::chrono::steady_clock::now();
  const int st = std::system(cmd.c_str());
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

ProgramResult RunCtl(const std::string& args, int timeoutSeconds) {
  return RunProgram(CtlProgram(), args, timeoutSeconds);
}

std::vector<nlohmann::json> ReadJsonLines(const std::string& path) {
  std::vector<nlohmann::json> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(nlohmann::json::parse(line, nullptr, false));
  return lines;
}

}  // namespace zeb7::test
