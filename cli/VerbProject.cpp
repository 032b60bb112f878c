// project: list the sheets and displays of a project file; with a drive, also
// check each display against the drive's database the way opening it does.
#include "DriveSession.h"
#include "Verb.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <map>

#include "displays/DisplayBinding.h"
#include "link/TextCodec.h"
#include "workspace/ProjectDocument.h"

namespace zeb7ctl {
namespace {

using zeb7::Latin1ToUtf8;

// What the check found for one display.
struct Finding {
  std::string state;  // "verified", "updated", "not valid", "not verified"
  std::string value;  // what the display shows, UTF-8
  std::string replacedBy;
  bool valueSeen = false;
};

const char* StateWord(zeb7::TDispWinState s, bool touched) {
  switch (s) {
    case zeb7::dwsVerified: return touched ? "updated" : "verified";
    case zeb7::dwsNotValid: return "not valid";
    case zeb7::dwsUpdated: case zeb7::dwsReplaced: case zeb7::dwsUpdateFromParam: return "updated";
    case zeb7::dwsNotVerified: break;
  }
  return "not verified";
}

int depthOf(const zeb7::TProjectDocument& doc, size_t i) {
  int d = 0;
  for (size_t p = doc.Items[i].ParentItem; p != zeb7::kNoParent && d < 64; p = doc.Items[p].ParentItem) ++d;
  return d;
}

// Checks every display record against the synchronised drive. Findings are
// indexed by the item's position in the document.
bool checkAgainstDrive(const GlobalOptions& opts, const zeb7::TProjectDocument& doc,
                       std::map<size_t, Finding>& findings, int& rc) {
  std::unique_ptr<DriveSession> session;
  if ((rc = openSynchronisedSession(opts, session))) return false;
  auto& model = session->model();
  zeb7::TDisplayCollection displays(&model.ParameterList, &model.Context);
  std::vector<size_t> itemOf;
  for (size_t i = 0; i < doc.Items.size(); ++i)
    if (!doc.Items[i].IsSheet() && doc.Items[i].Class != zeb7::dcNone) itemOf.push_back(i);
  displays.Load(doc);
  // A display that passes through an update state (or is replaced by one
  // of another class) on the way was updated.
  std::vector<bool> touched(itemOf.size(), false);
  std::vector<zeb7::TDisplayClass> before;
  auto isUpdate = [](zeb7::TDispWinState s) {
    return s == zeb7::dwsUpdated || s == zeb7::dwsUpdateFromParam || s == zeb7::dwsReplaced;
  };
  for (size_t k = 0; k < displays.Displays().size(); ++k) {
    zeb7::TDisplayCore& core = displays.Displays()[k]->Core();
    before.push_back(core.Class());
    touched[k] = isUpdate(core.DispWinState());
    core.OnChanged = [&touched, c = &core, isUpdate, k] {
      if (isUpdate(c->DispWinState())) touched[k] = true;
    };
  }
  const int64_t done = model.ProjectState.fAllParametersRead() ? 2 : 1;
  displays.Broadcast(0);
  displays.Broadcast(done);
  for (size_t k = 0; k < displays.Displays().size(); ++k)
    if (displays.Displays()[k]->Core().Class() != before[k]) touched[k] = true;
  // Verified displays are polled now: wait for a value for each.
  auto allSeen = [&] {
    for (auto* b : displays.Displays())
      if (b->Core().HasParameter() && b->Core().DispWinState() == zeb7::dwsVerified && b->ValuesReceived() == 0)
        return false;
    return true;
  };
  std::string why;
  if (!session->serve(allSeen, std::chrono::seconds(10), why))
    std::cerr << "zeb7ctl: not every display got a value: " << why << "\n";
  for (size_t k = 0; k < displays.Displays().size(); ++k) {
    zeb7::TDisplayBinding* b = displays.Displays()[k];
    Finding f;
    const zeb7::TDisplayCore& core = b->Core();
    if (!core.HasParameter()) continue;
    f.state = StateWord(core.DispWinState(), touched[k]);
    f.valueSeen = b->ValuesReceived() > 0;
    f.value = Latin1ToUtf8(zeb7::DisplayValueText(core));
    if (core.Class() != before[k]) f.replacedBy = zeb7::ControlKeyword(core.Class());
    findings[itemOf[k]] = f;
  }
  return true;
}

void printText(const zeb7::TProjectDocument& doc, const std::map<size_t, Finding>& findings, bool checked) {
  for (size_t i = 0; i < doc.Items.size(); ++i) {
    const auto& it = doc.Items[i];
    std::string indent(2 * depthOf(doc, i), ' ');
    if (it.IsSheet()) {
      std::cout << "sheet " << Latin1ToUtf8(it.Name) << " \"" << Latin1ToUtf8(it.Caption) << "\" page "
                << it.PageIndex << (it.Placeholder ? " (placeholder)" : "") << "\n";
      continue;
    }
    std::cout << indent << Latin1ToUtf8(it.Name) << " " << zeb7::ControlKeyword(it.Class);
    if (zeb7::HasParameter(it.Class))
      std::cout << " " << Latin1ToUtf8(it.FwName) << " target " << it.Target << " index " << it.Index;
    std::cout << " \"" << Latin1ToUtf8(it.Caption) << "\" at " << it.Left << "," << it.Top << " " << it.Width
              << "x" << it.Height;
    auto f = findings.find(i);
    if (checked && f != findings.end()) {
      std::cout << ": " << f->second.state;
      if (!f->second.replacedBy.empty()) std::cout << " (now " << f->second.replacedBy << ")";
      if (f->second.valueSeen) std::cout << " = " << f->second.value;
    }
    std::cout << "\n";
  }
}

void printJson(const std::string& file, const zeb7::TProjectReadResult& r,
               const std::map<size_t, Finding>& findings, bool checked) {
  nlohmann::json out;
  out["file"] = file;
  out["messages"] = r.Messages;
  auto sheets = nlohmann::json::array();
  auto items = nlohmann::json::array();
  const auto& doc = r.Doc;
  for (size_t i = 0; i < doc.Items.size(); ++i) {
    const auto& it = doc.Items[i];
    if (it.IsSheet()) {
      sheets.push_back({{"name", Latin1ToUtf8(it.Name)},
                        {"caption", Latin1ToUtf8(it.Caption)},
                        {"pageIndex", it.PageIndex},
                        {"placeholder", it.Placeholder}});
      continue;
    }
    nlohmann::json d = {{"section", it.Section},
                        {"name", Latin1ToUtf8(it.Name)},
                        {"control", zeb7::ControlKeyword(it.Class)},
                        {"parent", Latin1ToUtf8(it.Parent)},
                        {"caption", Latin1ToUtf8(it.Caption)},
                        {"left", it.Left},
                        {"top", it.Top},
                        {"width", it.Width},
                        {"height", it.Height}};
    if (zeb7::HasParameter(it.Class)) {
      d["fwName"] = Latin1ToUtf8(it.FwName);
      d["target"] = it.Target;
      d["index"] = it.Index;
      d["group"] = Latin1ToUtf8(it.Group);
      d["groupNr"] = it.GroupNr;
      d["controlProperties"] = Latin1ToUtf8(it.ControlProperties);
    }
    auto f = findings.find(i);
    if (checked && f != findings.end()) {
      d["state"] = f->second.state;
      if (f->second.valueSeen) d["shown"] = f->second.value;
      if (!f->second.replacedBy.empty()) d["replacedBy"] = f->second.replacedBy;
    }
    items.push_back(std::move(d));
  }
  out["sheets"] = std::move(sheets);
  out["displays"] = std::move(items);
  std::cout << out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

int runProject(const GlobalOptions& opts, const std::string& file, const std::string& format) {
  zeb7::TProjectReadResult r = zeb7::ReadProjectFile(file);
  if (!r.Ok) {
    std::cerr << "zeb7ctl: " << r.Error << "\n";
    return kExitUsage;
  }
  for (const auto& m : r.Messages) std::cerr << "zeb7ctl: " << file << ": " << m << "\n";
  const bool check = opts.simulate || !opts.port.empty();
  std::map<size_t, Finding> findings;
  if (check) {
    int rc = 0;
    if (!checkAgainstDrive(opts, r.Doc, findings, rc)) return rc;
  }
  if (format == "json")
    printJson(file, r, findings, check);
  else
    printText(r.Doc, findings, check);
  for (const auto& [i, f] : findings)
    if (f.state == "not valid") return kExitFailure;
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("project", "list a project file's sheets and displays; with a drive, check them");
  auto file = std::make_shared<std::string>();
  auto format = std::make_shared<std::string>("text");
  sc->add_option("FILE", *file, "project file (.kvt)")->required();
  sc->add_option("--format", *format, "text or json")->check(CLI::IsMember({"text", "json"}));
  return std::function<int()>([&opts, file, format] { return runProject(opts, *file, *format); });
}}};

}  // namespace
}  // namespace zeb7ctl
