#include "ControlCommands.h"
#include "SimFlash.h"
#include "link/TextCodec.h"

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
      parameterOf(drive, j).sCaption = Utf8ToLatin1(j.at("caption").get<std::string>());
    } else if (op == "set-descriptor") {
      SimParameter p = parameterOf(drive, j);  // changed as a whole or not at all
      auto text = [&j](const char* key, std::string& field) {
        if (j.contains(key)) field = Utf8ToLatin1(j.at(key).get<std::string>());
      };
      text("name", p.sFirmwareName);
      text("control", p.sControl);
      text("caption", p.sCaption);
      text("properties", p.sControlProperties);
      if (j.contains("group")) {
        const int g = j.at("group").get<int>();
        if (g < 0 || g > 255) return "group must be 0 to 255";
        p.bGroup = uint8_t(g);
      }
      if (j.contains("type")) {
        const int t = j.at("type").get<int>();
        if (t < -128 || t > 127) return "type must be -128 to 127";
        p.iType = int8_t(t);
      }
      parameterOf(drive, j) = std::move(p);
    } else if (op == "parameter-count") {
      auto& params = d.targets[targetOf(j)].parameters;
      const int count = j.at("count").get<int>();
      if (count < 0 || count > 65535) return "count must be 0 to 65535";
      for (int i = int(params.size()); i < count; ++i) {
        SimParameter p;
        p.sFirmwareName = "ADDED" + std::to_string(i);
        p.sControl = "NUMERIC";
        p.sCaption = "Added parameter " + std::to_string(i);
        params.push_back(std::move(p));
      }
      params.resize(size_t(count));
    } else if (op == "set-checksum") {
      SimTarget& t = d.targets[targetOf(j)];
      if (j.at("checksum").is_null())
        t.fixedGlobalChecksum.reset();
      else
        t.fixedGlobalChecksum = j.at("checksum").get<uint32_t>();
    } else if (op == "raise-error") {
      raiseDriveError(d.status, Utf8ToLatin1(j.value("controller", std::string())),
                      Utf8ToLatin1(j.value("runtime", std::string())));
    } else if (op == "message") {
      pushStatusMessage(d.status, Utf8ToLatin1(j.at("text").get<std::string>()));
    } else if (op == "target") {
      SimTarget& t = d.targets[targetOf(j)];
      t.present = j.at("present").get<bool>();
    } else {
      bool flashOp = false;
      std::string refused = applyFlashControl(drive, op, jsonLine, flashOp);
      if (flashOp) return refused;
      return "unknown op \"" + op + "\"";
    }
    return {};
  } catch (const std::exception& e) {
    return std::string("bad control command: ") + e.what();
  }
}

}  // namespace zeb7::sim
