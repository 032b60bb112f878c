// command: a drive command (enable, disable, write to flash, parameter set
// select, version, delete) to every present target.
#include "DriveSession.h"
#include "link/Commands.h"

#include <iostream>
#include <map>

namespace zeb7ctl {

namespace {

struct CommandRun {
  int acked = 0, refused = 0, lost = 0;
  int done() const { return acked + refused + lost; }
};

int runCommand(const GlobalOptions& opts, const std::string& action, const std::vector<int>& args) {
  static const std::map<std::string, uint16_t> plain = {{"enable", zeb7::kDriveCmdEnable},
                                                        {"disable", zeb7::kDriveCmdDisable},
                                                        {"write-flash", zeb7::kDriveCmdWriteFlash},
                                                        {"delete-param-set", zeb7::kDriveCmdDeleteParamSet}};
  uint16_t code = 0;
  if (auto it = plain.find(action); it != plain.end()) {
    if (!args.empty()) {
      std::cerr << "zeb7ctl: " << action << " takes no number\n";
      return kExitUsage;
    }
    code = it->second;
  } else if (action == "param-set" || action == "param-version") {
    const int limit = action == "param-set" ? 15 : 255;
    if (args.size() != 1 || args[0] < 0 || args[0] > limit) {
      std::cerr << "zeb7ctl: " << action << " needs a number from 0 to " << limit << "\n";
      return kExitUsage;
    }
    code = action == "param-set" ? zeb7::SelectParamSetCommand(args[0]) : zeb7::ParamVersionCommand(args[0]);
  } else {
    std::cerr << "zeb7ctl: unknown command " << action
              << " (enable, disable, write-flash, param-set N, param-version V, delete-param-set)\n";
    return kExitUsage;
  }

  std::unique_ptr<DriveSession> session;
  if (int rc = openSession(opts, session)) return rc;
  std::string why;
  if (!session->findTargets(why)) {
    std::cerr << "zeb7ctl: " << why << "\n";
    return kExitFailure;
  }
  // The dispatcher leaves command 21 to others: count its outcomes here.
  auto& comm = session->conn().comm();
  CommandRun run;
  auto counter = [](int& n) {
    return [&n](std::unique_ptr<zeb7::TTelegram>& t) {
      if (!t || t->bCommand != zeb7::kCmdDriveCommand) return false;
      ++n;
      return true;
    };
  };
  comm.AddAckFunction(zeb7::TelegramFunction(&run.acked, counter(run.acked)));
  comm.AddReceiveFunction(zeb7::TelegramFunction(&run.acked, counter(run.acked)));
  comm.AddNakFunction(zeb7::TelegramFunction(&run.refused, counter(run.refused)));
  comm.AddMissingAckFunction(zeb7::TelegramFunction(&run.lost, counter(run.lost)));

  const auto targets = session->presentTargets();
  session->model().ExchVars.SendCommand(code);
  const int expected = static_cast<int>(targets.size());
  const bool ok = session->serve([&] { return run.done() >= expected; }, std::chrono::seconds(15), why);
  std::cout << "command " << code << " (sequence " << session->model().ExchVars.CommandSequence() << ") to "
            << expected << " target(s): acknowledged " << run.acked << ", refused " << run.refused << ", lost "
            << run.lost << "\n";
  if (!ok) {
    std::cerr << "zeb7ctl: " << why << "\n";
    return kExitFailure;
  }
  return run.acked == expected ? kExitOk : kExitFailure;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("command", "send a drive command to every present target");
  auto action = std::make_shared<std::string>();
  auto args = std::make_shared<std::vector<int>>();
  sc->add_option("ACTION", *action, "enable, disable, write-flash, param-set, param-version or delete-param-set")
      ->required();
  sc->add_option("N", *args, "parameter set (0..15) or version number (0..255)");
  return std::function<int()>([&opts, action, args] { return runCommand(opts, *action, *args); });
}}};

}  // namespace

}  // namespace zeb7ctl
