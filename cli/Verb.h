#pragma once
// Verbs register themselves at static-initialisation time, one file per verb,
// so adding a verb never touches main.cpp.
#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zeb7ctl {

enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Options shared by every verb that talks to a drive.
struct GlobalOptions {
  std::string port;                     // --port DEVICE
  bool simulate = false;                // --simulate given
  std::string simulateDrive;            // optional DRIVE.json after --simulate
};

struct Verb {
  // Adds the subcommand to `app`. The returned function runs the verb after parsing.
  std::function<std::function<int()>(CLI::App& app, const GlobalOptions& opts)> setup;
};

std::vector<Verb>& verbRegistry();

struct VerbRegistrar {
  explicit VerbRegistrar(Verb v) { verbRegistry().push_back(std::move(v)); }
};

}  // namespace zeb7ctl
