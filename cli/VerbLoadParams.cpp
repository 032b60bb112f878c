// load-params: disable the drive, match a parameter file with its database and
// write the values, reporting every value the drive did not confirm.
#include "DriveSession.h"
#include "link/TextCodec.h"
#include "paramfiles/ParamDownload.h"

#include <iostream>

namespace zeb7ctl {

namespace {

using namespace std::chrono_literals;
constexpr auto kTick = 100ms;
// Without a single outcome for this long the rest counts as lost.
constexpr auto kStall = 30s;
constexpr int kDatabaseTicks = 100;

void say(const std::string& latin1) { std::cout << zeb7::Latin1ToUtf8(latin1) << std::endl; }

// Serves the link for one tick or until `done`.
bool tick(DriveSession& s, const std::function<bool()>& done) {
  s.conn().serveUntil(done, kTick);
  return !Connection::interrupted();
}

int runLoadParams(const GlobalOptions& opts, const std::string& file, bool dryRun) {
  if (!Connection::driveGiven(opts)) {
    std::cerr << "zeb7ctl: no drive given: use --port DEVICE or --simulate [DRIVE.json]\n";
    return kExitUsage;
  }
  std::vector<std::string> lines;
  std::vector<zeb7::TParamLine> values;
  std::string error;
  if (!zeb7::ReadFileLines(file, lines, error)) {
    std::cerr << "zeb7ctl: " << error << "\n";
    return kExitUsage;
  }
  if (!zeb7::ReadParametersSection(lines, values, error)) {
    std::cerr << "zeb7ctl: " << file << ": " << error << ": nothing was written\n";
    return kExitUsage;
  }
  std::unique_ptr<DriveSession> session;
  if (int rc = openSynchronisedSession(opts, session)) return rc;
  auto& m = session->model();
  say("Loading File " + zeb7::Utf8ToLatin1(file) + "...");

  if (!dryRun) {
    zeb7::TDriveDisabler disabler(m);
    disabler.Begin();
    while (true) {
      if (!tick(*session, [&] { return disabler.Disabled(); })) return kExitFailure;
      if (disabler.Tick()) break;
    }
    if (!disabler.Disabled()) {
      std::cerr << "zeb7ctl: the drive did not report itself disabled: no parameters were written\n";
      return kExitFailure;
    }
  }
  if (!zeb7::DatabaseComplete(m)) {
    say("Updating Parameter Database ...");
    m.ProjectState.SearchParams();
    for (int i = 0; i < kDatabaseTicks && !zeb7::DatabaseComplete(m); ++i)
      if (!tick(*session, [&] { return zeb7::DatabaseComplete(m); })) return kExitFailure;
  }

  zeb7::TParamMatch match;
  {
    auto lock = m.Lock();
    match = zeb7::MatchParameters(values, m.ParameterList);
  }
  for (const auto& line : match.ObsoleteMessages) say(line);
  if (match.Obsolete > 0) say(std::to_string(match.Obsolete) + " Parameters were obsolete");

  zeb7::TDownloadSummary summary;
  summary.Obsolete = match.Obsolete;
  if (dryRun) {
    for (const auto& s : match.Settings) say("Parameter " + s.Label + " would be set to " + std::to_string(s.Value));
    std::cout << "matched=" << match.Settings.size() << " (dry run: nothing written)\n";
    std::cout << summary.Line() << "\n";
    return kExitOk;
  }

  zeb7::TParamDownload dl(*m.ExchVars.Link(), m.ParameterList);
  dl.OnLog = say;
  dl.DriveDisabled = [&] { return m.Status.DownButton() == zeb7::dbDisableDrive; };
  zeb7::TParamDownloadTap tap(session->conn().comm(), m, dl);
  dl.Start(match.Settings, match.Obsolete);
  auto lastChange = std::chrono::steady_clock::now();
  std::string lastSeen = dl.Summary().Line();
  while (!dl.Finished()) {
    dl.Pump();
    if (!tick(*session, [&] { return dl.Finished(); })) {
      dl.GiveUp("interrupted");
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (dl.Summary().Line() != lastSeen) {
      lastSeen = dl.Summary().Line();
      lastChange = now;
    } else if (now - lastChange > kStall) {
      dl.GiveUp("the drive does not answer");
    }
  }
  if (dl.Failed()) std::cerr << "zeb7ctl: " << zeb7::Latin1ToUtf8(dl.Error()) << "\n";
  say("Parameter Download Done");
  std::cout << dl.Summary().Line() << "\n";
  return dl.Summary().AllConfirmed() && !dl.Failed() ? kExitOk : kExitFailure;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("load-params", "disable the drive and write the values of a parameter file");
  auto file = std::make_shared<std::string>();
  auto dry = std::make_shared<bool>(false);
  sc->add_option("FILE", *file, "parameter file (*.kvtp)")->required();
  sc->add_flag("--dry-run", *dry, "match and report without writing");
  return std::function<int()>([&opts, file, dry] { return runLoadParams(opts, *file, *dry); });
}}};

}  // namespace

}  // namespace zeb7ctl
