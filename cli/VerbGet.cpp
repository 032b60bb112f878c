// get: synchronise, then read one parameter's value from the drive.
#include "ParamLookup.h"
#include "link/TextCodec.h"

#include <iostream>

namespace zeb7ctl {

zeb7::TParameter* findParameter(DriveSession& session, const std::string& name, int target) {
  auto& m = session.model();
  zeb7::TParameter* p = m.ParameterList.GetParameterByName(zeb7::Utf8ToLatin1(name), target);
  if (!p) std::cerr << "zeb7ctl: target " << target << " has no parameter " << name << "\n";
  return p;
}

bool awaitValue(DriveSession& session, zeb7::TParameter& p, ValueProbe& probe, size_t count, std::string& why) {
  return session.serve([&] { return probe.values.size() >= count; }, std::chrono::seconds(10), why);
}

namespace {

int runGet(const GlobalOptions& opts, const std::string& name, int target) {
  std::unique_ptr<DriveSession> session;
  if (int rc = openSynchronisedSession(opts, session)) return rc;
  zeb7::TParameter* p = findParameter(*session, name, target);
  if (!p) return kExitFailure;
  // shown parameters are polled: a probe makes the cycle read this one
  ValueProbe probe(p->Descriptor());
  p->AddDisplay(&probe);
  std::string why;
  const bool ok = awaitValue(*session, *p, probe, 1, why);
  session->model().ParameterList.RemoveDisplay(&probe);
  if (!ok) {
    std::cerr << "zeb7ctl: no value for " << name << ": " << why << "\n";
    return kExitFailure;
  }
  std::cout << formatValue(probe.values.back(), p->P.iTypeNr) << "\n";
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("get", "read a parameter's value from the drive");
  auto name = std::make_shared<std::string>();
  auto target = std::make_shared<int>(0);
  sc->add_option("NAME", *name, "firmware name of the parameter")->required();
  sc->add_option("--target", *target, "target 0 to 9 (default 0)")->check(CLI::Range(0, 9));
  return std::function<int()>([&opts, name, target] { return runGet(opts, *name, *target); });
}}};

}  // namespace

}  // namespace zeb7ctl
