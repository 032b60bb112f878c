// set: synchronise, write one parameter's value the way a display window does,
// and print the value the drive answers.
#include "ParamLookup.h"

#include <iostream>

namespace zeb7ctl {

namespace {

int runSet(const GlobalOptions& opts, const std::string& name, const std::string& text, int target) {
  std::unique_ptr<DriveSession> session;
  if (int rc = openSynchronisedSession(opts, session)) return rc;
  zeb7::TParameter* p = findParameter(*session, name, target);
  if (!p) return kExitFailure;
  int64_t raw = 0;
  if (!parseValue(text, p->P.iTypeNr, raw)) {
    std::cerr << "zeb7ctl: \"" << text << "\" is not a " << (p->P.iTypeNr < 0 ? "number" : "whole number")
              << " for " << name << "\n";
    return kExitUsage;
  }
  ValueProbe probe(p->Descriptor());
  probe.rawToSend = raw;
  p->AddDisplay(&probe);
  const int32_t refusals = p->iNakCounter;
  const int32_t acks = p->iAckCounter;
  session->model().ExchVars.SendeNeuenWert(&probe);
  std::string why;
  // the echo of the write is the first value shown after it: earlier reads no longer count
  const bool ok = session->serve(
      [&] { return !probe.values.empty() || p->iNakCounter > refusals || p->iAckCounter > acks; },
      std::chrono::seconds(10), why);
  session->model().ParameterList.RemoveDisplay(&probe);
  if (!ok) {
    std::cerr << "zeb7ctl: writing " << name << ": " << why << "\n";
    return kExitFailure;
  }
  if (probe.values.empty()) {
    std::cerr << "zeb7ctl: the drive " << (p->iNakCounter > refusals ? "refused" : "did not confirm") << " the value for "
              << name << "\n";
    return kExitFailure;
  }
  std::cout << formatValue(probe.values.front(), p->P.iTypeNr) << "\n";
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("set", "write a parameter's value and print the value the drive answers");
  auto name = std::make_shared<std::string>();
  auto value = std::make_shared<std::string>();
  auto target = std::make_shared<int>(0);
  sc->add_option("NAME", *name, "firmware name of the parameter")->required();
  sc->add_option("VALUE", *value, "new value (decimal, 0x hexadecimal, or a number for float parameters)")
      ->required();
  sc->add_option("--target", *target, "target 0 to 9 (default 0)")->check(CLI::Range(0, 9));
  return std::function<int()>([&opts, name, value, target] { return runSet(opts, *name, *value, *target); });
}}};

}  // namespace

}  // namespace zeb7ctl
