// examine: the preview rows of a parameter file, compared with a drive when one
// is given, and the CSV and text exports.
#include "DriveSession.h"
#include "link/TextCodec.h"
#include "paramfiles/ParamFile.h"
#include "paramfiles/ParamPreview.h"
#include "platform/AtomicFile.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace zeb7ctl {

namespace {

using zeb7::Latin1ToUtf8;

struct ExamineArgs {
  std::string file, csv, txt, format = "text";
};

void printRows(const zeb7::TParamPreview& pv, bool withDrive, const std::string& format) {
  if (format == "json") {
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& r : pv.Rows()) {
      nlohmann::json j{{"found", r.Found == "YES"}, {"mp", r.MP},
                       {"group", Latin1ToUtf8(r.Group)}, {"caption", Latin1ToUtf8(r.Caption)},
                       {"value", Latin1ToUtf8(r.Value)}, {"target", r.Target},
                       {"firmwareName", Latin1ToUtf8(r.FirmwareName)}};
      if (withDrive && r.Key >= 0) {
        j["driveValue"] = Latin1ToUtf8(r.DriveValue);
        j["differs"] = r.Differs;
      }
      rows.push_back(std::move(j));
    }
    std::cout << rows.dump(2) << "\n";
    return;
  }
  std::cout << Latin1ToUtf8(zeb7::TxtLine(zeb7::HeaderRow())) << (withDrive ? "  | Drive" : "") << "\n";
  for (const auto& r : pv.Rows()) {
    std::string line = zeb7::TxtLine(r);
    if (withDrive && r.Key >= 0) line += "  | " + r.DriveValue + (r.Differs ? "  *" : "");
    std::cout << Latin1ToUtf8(line) << "\n";
  }
}

bool exportTo(const std::string& path, const std::string& bytes) {
  std::string error;
  if (zeb7::WriteFileAtomically(path, bytes, error)) return true;
  std::cerr << "zeb7ctl: " << error << "\n";
  return false;
}

int runExamine(const GlobalOptions& opts, const ExamineArgs& a) {
  std::vector<std::string> lines;
  std::string error;
  if (!zeb7::ReadFileLines(a.file, lines, error)) {
    std::cerr << "zeb7ctl: " << error << "\n";
    return kExitUsage;
  }
  std::unique_ptr<DriveSession> session;
  if (Connection::driveGiven(opts))
    if (int rc = openSynchronisedSession(opts, session)) return rc;
  zeb7::TParamPreview pv;
  const bool ok = pv.Display(lines, zeb7::Utf8ToLatin1(a.file), session ? &session->model() : nullptr);
  for (const auto& l : pv.Log()) std::cerr << Latin1ToUtf8(l) << "\n";
  printRows(pv, session != nullptr, a.format);
  if (!a.csv.empty() && !exportTo(a.csv, zeb7::BuildCsv(pv.Rows()))) return kExitFailure;
  if (!a.txt.empty() && !exportTo(a.txt, zeb7::BuildTxt(pv.Rows()))) return kExitFailure;
  return ok ? kExitOk : kExitUsage;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("examine", "show a parameter file's rows, compare them with a drive, export them");
  auto a = std::make_shared<ExamineArgs>();
  sc->add_option("FILE", a->file, "parameter file (*.kvtp)")->required();
  sc->add_option("--csv", a->csv, "also write the rows as semicolon-separated text");
  sc->add_option("--txt", a->txt, "also write the rows as aligned text");
  sc->add_option("--format", a->format, "text or json")->check(CLI::IsMember({"text", "json"}));
  return std::function<int()>([&opts, a] { return runExamine(opts, *a); });
}}};

}  // namespace

}  // namespace zeb7ctl
