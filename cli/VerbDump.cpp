// dump: synchronise and print the whole parameter database as text, CSV or JSON.
#include "DriveSession.h"
#include "link/TextCodec.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>

namespace zeb7ctl {

namespace {

struct Row {
  int32_t key, target, index;
  int64_t raw;
  std::string caption, value, group, control, name, properties;
  uint16_t checksum;
  int32_t type, userClass;
};

std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

int runDump(const GlobalOptions& opts, const std::string& format) {
  std::unique_ptr<DriveSession> session;
  if (int rc = openSynchronisedSession(opts, session)) return rc;
  auto& params = session->model().ParameterList;
  std::vector<Row> rows;
  for (int pos = 0; pos < params.Count(); ++pos) {
    zeb7::TParameter* p = params.At(pos);
    const auto& d = p->P;
    rows.push_back({p->Key(), d.iMyTarget, d.iMyIndex, p->i64Value, zeb7::Latin1ToUtf8(d.sCaption), formatValue(p->i64Value, d.iTypeNr),
                    zeb7::Latin1ToUtf8(p->sGroupName()), zeb7::Latin1ToUtf8(d.sControl),
                    zeb7::Latin1ToUtf8(d.sFirmwareName), zeb7::Latin1ToUtf8(d.sControlProperties), d.wChecksum,
                    d.iTypeNr, d.iUserClass});
  }
  if (format == "json") {
    auto arr = nlohmann::json::array();
    for (const auto& r : rows) {
      nlohmann::json value;
      if (r.type < 0)
        value = std::stod(r.value);
      else
        value = r.raw;
      arr.push_back({{"key", r.key},           {"target", r.target},     {"index", r.index},
                     {"caption", r.caption},   {"value", value},         {"group", r.group},
                     {"control", r.control},   {"firmwareName", r.name}, {"checksum", r.checksum},
                     {"properties", r.properties}, {"type", r.type},     {"userClass", r.userClass}});
    }
    std::cout << arr.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else if (format == "csv") {
    std::cout << "key,caption,value,group,control,firmware name,checksum,properties,type,user class\n";
    for (const auto& r : rows)
      std::cout << r.key << "," << csvField(r.caption) << "," << r.value << "," << csvField(r.group) << ","
                << csvField(r.control) << "," << csvField(r.name) << "," << r.checksum << ","
                << csvField(r.properties) << "," << r.type << "," << r.userClass << "\n";
  } else {
    for (const auto& r : rows) {
      char key[48];
      std::snprintf(key, sizeof key, "%7d (%d.%d)", r.key, r.target, r.index);
      char cs[8];
      std::snprintf(cs, sizeof cs, "%04X", r.checksum);
      std::cout << key << "  " << r.name << "  \"" << r.caption << "\" = " << r.value << "  group \"" << r.group
                << "\"  " << r.control << "  checksum " << cs << "  properties \"" << r.properties << "\"  type "
                << r.type << "  user class " << r.userClass << "\n";
    }
  }
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("dump", "synchronise and print every parameter of the drive");
  auto format = std::make_shared<std::string>("text");
  sc->add_option("--format", *format, "text, csv or json")->check(CLI::IsMember({"text", "csv", "json"}));
  return std::function<int()>([&opts, format] { return runDump(opts, *format); });
}}};

}  // namespace

}  // namespace zeb7ctl
