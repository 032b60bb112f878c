// save-params: synchronise completely, then write the drive's parameters to a file.
#include "DriveSession.h"
#include "paramfiles/ParamFile.h"

#include <iostream>

namespace zeb7ctl {

namespace {

// A database that is not complete after synchronising gets this long to finish.
constexpr auto kCompleteLimit = std::chrono::seconds(30);

int runSaveParams(const GlobalOptions& opts, const std::string& file) {
  std::unique_ptr<DriveSession> session;
  if (int rc = openSynchronisedSession(opts, session)) return rc;
  auto& m = session->model();
  if (!zeb7::DatabaseComplete(m)) {
    m.ProjectState.SearchParams();
    std::string why;
    if (!session->serve([&] { return zeb7::DatabaseComplete(m); }, kCompleteLimit, why)) {
      std::cerr << "zeb7ctl: the parameter database is not complete (" << why << "): nothing saved\n";
      return kExitFailure;
    }
  }
  std::string error;
  if (!zeb7::WriteParameterFile(m, file, error)) {
    std::cerr << "zeb7ctl: " << error << "\n";
    return kExitFailure;
  }
  int count = 0;
  for (int i = 0; i < m.ParameterList.Count(); ++i)
    if (!m.TargetInfo[m.ParameterList.At(i)->P.iMyTarget].fNotPresent) ++count;
  std::cerr << "saved " << count << " parameters to " << file << "\n";
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("save-params", "read every parameter of the drive and write a parameter file");
  auto file = std::make_shared<std::string>();
  sc->add_option("FILE", *file, "parameter file to write (*.kvtp)")->required();
  return std::function<int()>([&opts, file] { return runSaveParams(opts, *file); });
}}};

}  // namespace

}  // namespace zeb7ctl
