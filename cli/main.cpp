#include "Verb.h"
#include "Zeb7Version.h"

#include <cstdio>
#include <iostream>

namespace zeb7ctl {
std::vector<Verb>& verbRegistry() {
  static std::vector<Verb> verbs;
  return verbs;
}
}  // namespace zeb7ctl

int main(int argc, char** argv) {
  using namespace zeb7ctl;
  CLI::App app{"zeb7ctl - service tool for the drive family"};
  app.set_version_flag("--version", std::string("zeb7ctl ") + zeb7::versionString());
  app.require_subcommand(1);
  GlobalOptions opts;
  auto* portOpt = app.add_option("--port", opts.port, "serial device of the drive");
  auto* simOpt = app.add_option("--simulate", opts.simulateDrive,
                                "run against the built-in virtual drive (optionally DRIVE.json)")
                     ->expected(0, 1);
  portOpt->excludes(simOpt);

  std::vector<std::pair<CLI::App*, std::function<int()>>> runners;
  for (auto& v : verbRegistry()) {
    auto before = app.get_subcommands({});
    auto run = v.setup(app, opts);
    auto after = app.get_subcommands({});
    for (auto* sc : after)
      if (std::find(before.begin(), before.end(), sc) == before.end()) runners.emplace_back(sc, run);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return e.get_exit_code() == 0 ? rc : kExitUsage;
  }
  opts.simulate = simOpt->count() > 0;
  for (auto& [sc, run] : runners)
    if (sc->parsed()) {
      try {
        return run();
      } catch (const std::exception& e) {
        std::cerr << "zeb7ctl: " << e.what() << "\n";
        return kExitFailure;
      }
    }
  return kExitUsage;
}
