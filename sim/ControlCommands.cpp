#include "ControlCommands.h"

#include <nlohmann/json.hpp>

namespace zeb7::sim {

namespace {

int targetOf(const nlohmann::json& j) {
  int t = j.value("target", 0);
  if (t < 0 || t > 9) throw std::runtime_error("target must be 0 to 9");
  return t;
}

SimParameter& parameterOf(VirtualDrive& drive, const nlohmann::json& j) {
  auto& params = drive.description().targets[targetOf(j)].parameters;
  int index = j.at("index").get<int>();
  if (index < 0 || index >= int(params.size()))
    throw std::runtime_error("no parameter " + std::to_string(index) + " on that target");
  return params[size_t(index)];
}

}  // namespace

std::string applyControl(VirtualDrive& drive, const std::string& jsonLine) {
  try {
    const nlohmann::json j = nlohmann::json::parse(jsonLine);
    if (!j.is_object()) return "expected a JSON object";
    const std::string op = j.value("op", std::string());
    DriveDescription& d = drive.description();
    if (op == "set-value") {
      SimParameter& p = parameterOf(drive, j);
      int64_t v = j.at("value").get<int64_t>();
      p.value = p.wide ? v : int64_t(int32_t(uint32_t(v)));
    } else if (op == "set-caption") {
      parameterOf(drive, j).sCaption = utf8ToLatin1(j.at("caption").get<std::string>());
    } else if (op == "set-checksum") {
      SimTarget& t = d.targets[targetOf(j)];
      if (j.at("checksum").is_null())
        t.fixedGlobalChecksum.reset();
      else
        t.fixedGlobalChecksum = j.at("checksum").get<uint32_t>();
    } else if (op == "raise-error") {
      raiseDriveError(d.status, utf8ToLatin1(j.value("controller", std::string())),
                      utf8ToLatin1(j.value("runtime", std::string())));
    } else if (op == "message") {
      pushStatusMessage(d.status, utf8ToLatin1(j.at("text").get<std::string>()));
    } else if (op == "target") {
      SimTarget& t = d.targets[targetOf(j)];
      t.present = j.at("present").get<bool>();
    } else {
      return "unknown op \"" + op + "\"";
    }
    return {};
  } catch (const std::exception& e) {
    return std::string("bad control command: ") + e.what();
  }
}

}  // namespace zeb7::sim
