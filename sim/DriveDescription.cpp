#include "DriveDescription.h"
#include "link/TextCodec.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace zeb7::sim {

using nlohmann::json;

namespace {

// FNV-1a, enough to make every descriptor or table change show in a checksum.
struct Fnv {
  uint32_t h = 2166136261u;
  void byte(uint8_t b) { h = (h ^ b) * 16777619u; }
  void word(uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(uint8_t(v >> (8 * i)));
  }
  void text(const std::string& s) {
    for (unsigned char c : s) byte(c);
    byte(0);
  }
};

std::string where(const std::string& ctx, const std::string& key) { return ctx + "." + key; }

int64_t toInt(const json& v, const std::string& ctx) {
  if (v.is_number_integer()) return v.get<int64_t>();
  if (v.is_number_unsigned()) return int64_t(v.get<uint64_t>());
  if (v.is_string()) {
    const std::string s = v.get<std::string>();
    try {
      size_t pos = 0;
      long long r = std::stoll(s, &pos, 0);
      if (pos == s.size()) return r;
    } catch (const std::exception&) {
    }
    // Large unsigned hex values such as 0xFFFFFFFFFFFFFFFF.
    try {
      size_t pos = 0;
      unsigned long long r = std::stoull(s, &pos, 0);
      if (pos == s.size()) return int64_t(r);
    } catch (const std::exception&) {
    }
  }
  throw DriveDescriptionError(ctx + ": expected an integer (decimal or 0x hex), got " + v.dump());
}

int64_t intIn(const json& obj, const char* key, int64_t def, int64_t lo, int64_t hi,
              const std::string& ctx) {
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return def;
  int64_t v = toInt(*it, where(ctx, key));
  if (v < lo || v > hi)
    throw DriveDescriptionError(where(ctx, key) + ": " + std::to_string(v) + " is outside " +
                                std::to_string(lo) + ".." + std::to_string(hi));
  return v;
}

std::string textIn(const json& obj, const char* key, const std::string& ctx) {
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return {};
  if (!it->is_string()) throw DriveDescriptionError(where(ctx, key) + ": expected a string");
  return Utf8ToLatin1(it->get<std::string>());
}

bool boolIn(const json& obj, const char* key, bool def, const std::string& ctx) {
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return def;
  if (!it->is_boolean()) throw DriveDescriptionError(where(ctx, key) + ": expected true or false");
  return it->get<bool>();
}

std::vector<std::string> textList(const json& obj, const char* key, const std::string& ctx) {
  std::vector<std::string> out;
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return out;
  if (!it->is_array()) throw DriveDescriptionError(where(ctx, key) + ": expected an array of strings");
  for (size_t i = 0; i < it->size(); ++i) {
    if (!(*it)[i].is_string())
      throw DriveDescriptionError(where(ctx, key) + "[" + std::to_string(i) + "]: expected a string");
    out.push_back(Utf8ToLatin1((*it)[i].get<std::string>()));
  }
  return out;
}

SimParameter parameterFromJson(const json& p, const std::string& ctx) {
  if (!p.is_object()) throw DriveDescriptionError(ctx + ": expected an object");
  SimParameter r;
  r.sFirmwareName = textIn(p, "name", ctx);
  r.sControl = textIn(p, "control", ctx);
  r.sCaption = textIn(p, "caption", ctx);
  r.sControlProperties = textIn(p, "properties", ctx);
  r.bGroup = uint8_t(intIn(p, "group", 0, 0, 255, ctx));
  r.iType = int8_t(intIn(p, "type", 0, -128, 127, ctx));
  r.wide = boolIn(p, "wide", false, ctx);
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (p.contains("min")) r.minValue = intIn(p, "min", 0, kMin, kMax, ctx);
  if (p.contains("max")) r.maxValue = intIn(p, "max", 0, kMin, kMax, ctx);
  auto v = p.find("value");
  if (v != p.end() && v->is_number_float()) {
    if (r.iType >= 0)
      throw DriveDescriptionError(where(ctx, "value") + ": a fractional value needs a negative type");
    r.value = int64_t(int32_t(std::bit_cast<uint32_t>(float(v->get<double>()))));
  } else {
    r.value = intIn(p, "value", 0, kMin, kMax, ctx);
  }
  if (!r.wide) r.value = int64_t(int32_t(uint32_t(r.value)));
  if (p.contains("checksum")) r.fixedChecksum = uint16_t(intIn(p, "checksum", 0, 1, 65535, ctx));
  return r;
}

SimTarget targetFromJson(const json& t, const std::string& ctx) {
  SimTarget r;
  r.present = boolIn(t, "present", true, ctx);
  std::string absent = t.value("absent", std::string("nak"));
  if (absent == "nak")
    r.absentMode = AbsentMode::Nak;
  else if (absent == "silent")
    r.absentMode = AbsentMode::Silent;
  else
    throw DriveDescriptionError(where(ctx, "absent") + ": expected \"nak\" or \"silent\"");
  r.version = uint32_t(intIn(t, "version", 0x01000000, 0, 0xFFFFFFFFLL, ctx));
  if (t.contains("checksum")) r.fixedGlobalChecksum = uint32_t(intIn(t, "checksum", 0, 0, 0xFFFFFFFFLL, ctx));
  r.paramVersion = uint16_t(intIn(t, "paramVersion", 0, 0, 65535, ctx));
  r.word7 = uint16_t(intIn(t, "word7", 0, 0, 65535, ctx));
  r.word8 = uint16_t(intIn(t, "word8", 0, 0, 65535, ctx));
  r.word10 = uint16_t(intIn(t, "word10", 0, 0, 65535, ctx));
  r.hasGroupDescriptions = boolIn(t, "groupDescriptions", true, ctx);
  r.hasGroupParents = boolIn(t, "groupParents", true, ctx);
  r.typePlate = textList(t, "typePlate", ctx);
  r.driveModes = textList(t, "driveModes", ctx);
  if (auto g = t.find("groups"); g != t.end() && !g->is_null()) {
    if (!g->is_array()) throw DriveDescriptionError(where(ctx, "groups") + ": expected an array");
    for (size_t i = 0; i < g->size(); ++i) {
      const std::string gctx = where(ctx, "groups") + "[" + std::to_string(i) + "]";
      const json& e = (*g)[i];
      SimGroup grp;
      if (e.is_string()) {
        grp.name = Utf8ToLatin1(e.get<std::string>());
      } else if (e.is_object()) {
        grp.name = textIn(e, "name", gctx);
        grp.description = textIn(e, "description", gctx);
        grp.parent = textIn(e, "parent", gctx);
      } else {
        throw DriveDescriptionError(gctx + ": expected a string or an object");
      }
      r.groups.push_back(std::move(grp));
    }
  }
  if (auto ps = t.find("parameters"); ps != t.end() && !ps->is_null()) {
    if (!ps->is_array()) throw DriveDescriptionError(where(ctx, "parameters") + ": expected an array");
    if (ps->size() > 65535) throw DriveDescriptionError(where(ctx, "parameters") + ": more than 65535");
    for (size_t i = 0; i < ps->size(); ++i)
      r.parameters.push_back(
          parameterFromJson((*ps)[i], where(ctx, "parameters") + "[" + std::to_string(i) + "]"));
  }
  return r;
}

std::string hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

}  // namespace

DriveDescription driveFromJsonChecked(const json& j);

uint16_t SimParameter::checksum(int index) const {
  if (fixedChecksum) return *fixedChecksum;
  Fnv f;
  f.word(uint32_t(index));
  f.text(sFirmwareName);
  f.text(sControl);
  f.text(sCaption);
  f.text(sControlProperties);
  f.byte(bGroup);
  f.byte(uint8_t(iType));
  uint16_t c = uint16_t(f.h ^ (f.h >> 16));
  return c == 0 ? 1 : c;
}

uint32_t SimTarget::globalChecksum() const {
  if (fixedGlobalChecksum) return *fixedGlobalChecksum;
  Fnv f;
  f.word(uint32_t(parameters.size()));
  for (size_t i = 0; i < parameters.size(); ++i) {
    f.word(parameters[i].checksum(int(i)));
    f.text(parameters[i].sFirmwareName);
  }
  for (const auto& g : groups) {
    f.text(g.name);
    f.text(g.description);
    f.text(g.parent);
  }
  return f.h;
}

DriveDescription driveFromJson(const json& j) {
  try {
    return driveFromJsonChecked(j);
  } catch (const json::exception& e) {
    throw DriveDescriptionError(std::string("drive description: ") + e.what());
  }
}

DriveDescription driveFromJsonChecked(const json& j) {
  if (!j.is_object()) throw DriveDescriptionError("drive description: expected a JSON object");
  DriveDescription d;
  auto ts = j.find("targets");
  if (ts == j.end() || !ts->is_array())
    throw DriveDescriptionError("drive description: \"targets\" must be an array");
  std::array<bool, 10> seen{};
  for (size_t i = 0; i < ts->size(); ++i) {
    const json& t = (*ts)[i];
    const std::string ctx = "targets[" + std::to_string(i) + "]";
    if (!t.is_object()) throw DriveDescriptionError(ctx + ": expected an object");
    int n = int(intIn(t, "target", int64_t(i), 0, 9, ctx));
    if (seen[n]) throw DriveDescriptionError(ctx + ": target " + std::to_string(n) + " given twice");
    seen[n] = true;
    d.targets[n] = targetFromJson(t, ctx);
  }
  if (auto s = j.find("status"); s != j.end() && !s->is_null()) {
    if (!s->is_object()) throw DriveDescriptionError("status: expected an object");
    const std::string ctx = "status";
    d.status.wControllerStatus = uint16_t(intIn(*s, "controllerStatus", 0, 0, 65535, ctx));
    d.status.bStatus2 = uint8_t(intIn(*s, "status2", 0, 0, 255, ctx));
    d.status.bDriveMode = uint8_t(intIn(*s, "driveMode", 0, 0, 255, ctx));
    d.status.bActiveSet = uint8_t(intIn(*s, "activeSet", 0, 0, 15, ctx));
    d.status.wValidSets = uint16_t(intIn(*s, "validSets", 1, 0, 65535, ctx));
    d.status.controllerError = textIn(*s, "controllerError", ctx);
    d.status.runtimeError = textIn(*s, "runtimeError", ctx);
    if (auto m = s->find("messages"); m != s->end() && m->is_array()) {
      uint16_t next = 1;
      for (size_t i = 0; i < m->size(); ++i) {
        const std::string mctx = "status.messages[" + std::to_string(i) + "]";
        SimStatusMessage msg;
        if ((*m)[i].is_string()) {
          msg.number = next;
          msg.text = Utf8ToLatin1((*m)[i].get<std::string>());
        } else if ((*m)[i].is_object()) {
          msg.number = uint16_t(intIn((*m)[i], "number", next, 0, 65535, mctx));
          msg.text = textIn((*m)[i], "text", mctx);
        } else {
          throw DriveDescriptionError(mctx + ": expected a string or an object");
        }
        next = uint16_t(msg.number + 1);
        d.status.messages.push_back(std::move(msg));
      }
    }
  }
  return d;
}

DriveDescription loadDriveFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DriveDescriptionError("cannot open drive description " + path + ": " + std::strerror(errno));
  std::stringstream ss;
  ss << in.rdbuf();
  json j;
  try {
    j = json::parse(ss.str());
  } catch (const json::parse_error& e) {
    throw DriveDescriptionError(path + ": not valid JSON: " + e.what());
  }
  try {
    return driveFromJson(j);
  } catch (const DriveDescriptionError& e) {
    throw DriveDescriptionError(path + ": " + e.what());
  } catch (const json::exception& e) {
    throw DriveDescriptionError(path + ": " + e.what());
  }
}

json driveToJson(const DriveDescription& d) {
  json j;
  j["targets"] = json::array();
  for (int n = 0; n < 10; ++n) {
    const SimTarget& t = d.targets[n];
    if (!t.present && t.parameters.empty()) continue;
    json jt;
    jt["target"] = n;
    jt["present"] = t.present;
    jt["absent"] = t.absentMode == AbsentMode::Nak ? "nak" : "silent";
    jt["version"] = hex32(t.version);
    if (t.fixedGlobalChecksum) jt["checksum"] = *t.fixedGlobalChecksum;
    jt["paramVersion"] = t.paramVersion;
    jt["groupDescriptions"] = t.hasGroupDescriptions;
    jt["groupParents"] = t.hasGroupParents;
    jt["groups"] = json::array();
    for (const auto& g : t.groups)
      jt["groups"].push_back({{"name", Latin1ToUtf8(g.name)},
                              {"description", Latin1ToUtf8(g.description)},
                              {"parent", Latin1ToUtf8(g.parent)}});
    jt["typePlate"] = json::array();
    for (const auto& l : t.typePlate) jt["typePlate"].push_back(Latin1ToUtf8(l));
    if (!t.driveModes.empty()) {
      jt["driveModes"] = json::array();
      for (const auto& l : t.driveModes) jt["driveModes"].push_back(Latin1ToUtf8(l));
    }
    jt["parameters"] = json::array();
    for (const auto& p : t.parameters) {
      json jp{{"name", Latin1ToUtf8(p.sFirmwareName)},  {"control", Latin1ToUtf8(p.sControl)},
              {"caption", Latin1ToUtf8(p.sCaption)},    {"properties", Latin1ToUtf8(p.sControlProperties)},
              {"group", p.bGroup},                      {"type", p.iType},
              {"value", p.value}};
      if (p.wide) jp["wide"] = true;
      if (p.minValue) jp["min"] = *p.minValue;
      if (p.maxValue) jp["max"] = *p.maxValue;
      if (p.fixedChecksum) jp["checksum"] = *p.fixedChecksum;
      jt["parameters"].push_back(std::move(jp));
    }
    j["targets"].push_back(std::move(jt));
  }
  json s;
  s["controllerStatus"] = d.status.wControllerStatus;
  s["status2"] = d.status.bStatus2;
  s["driveMode"] = d.status.bDriveMode;
  s["activeSet"] = d.status.bActiveSet;
  s["validSets"] = d.status.wValidSets;
  s["controllerError"] = Latin1ToUtf8(d.status.controllerError);
  s["runtimeError"] = Latin1ToUtf8(d.status.runtimeError);
  s["messages"] = json::array();
  for (const auto& m : d.status.messages)
    s["messages"].push_back({{"number", m.number}, {"text", Latin1ToUtf8(m.text)}});
  j["status"] = std::move(s);
  return j;
}

namespace {

SimParameter P(const char* name, const char* control, const char* caption, const char* props,
               uint8_t group, int8_t type, int64_t value, std::optional<int64_t> lo = {},
               std::optional<int64_t> hi = {}) {
  SimParameter p;
  p.sFirmwareName = name;
  p.sControl = control;
  p.sCaption = caption;
  p.sControlProperties = props;
  p.bGroup = group;
  p.iType = type;
  p.value = value;
  p.minValue = lo;
  p.maxValue = hi;
  return p;
}

int64_t floatBits(float f) { return int64_t(int32_t(std::bit_cast<uint32_t>(f))); }

}  // namespace

DriveDescription defaultDrive() {
  DriveDescription d;
  SimTarget& a = d.targets[0];
  a.present = true;
  a.version = 0x01234567;
  a.paramVersion = 3;
  a.groups = {
      {"Drive", "Settings of the whole drive", ""},
      {"Motor", "Motor data plate", "Drive"},
      {"Controller", "Control loops", "Drive"},
      {"Current loop", "Current controller", "Controller"},
      {"Speed loop", "Speed controller", "Controller"},
      {"Position loop", "Position controller", "Controller"},
      {"I/O", "Digital inputs and outputs", ""},
      {"Status", "Drive status indicators", ""},
  };
  a.typePlate = {"Servo drive ZEB7-A", "Serial number 0042-1977", "Rated current 8.0 A",
                 "Firmware built 2026-11-30"};
  a.driveModes = {"Torque control", "Speed control", "Position control", "Homing"};
  a.parameters = {
      // Drive (group 0)
      P("DRVNAME", "Numeric", "Drive address", "3|0|1|", 0, 0, 1, 0, 255),
      P("PWMFREQ", "RADIO", "PWM frequency", "4 kHz|8 kHz|16 kHz", 0, 0, 1, 0, 2),
      P("MAINSV", "NUMERIC", "Mains voltage", "-4|1|0.1|V", 0, 0, 2300, 0, 4800),
      P("AUTOEN", "Check", "Auto enable", "Enable after power on", 0, 0, 0, 0, 1),
      P("DRVMODE", "RADIO", "Operating mode", "Torque|Speed|Position|Homing", 0, 0, 1, 0, 3),
      // Motor (group 1)
      P("MPOLES", "THUMB", "Pole pairs", "2|0|1|", 1, 0, 4, 1, 64),
      P("MICONT", "NUMERIC", "Continuous current", "4|2|0.01|A", 1, 0, 450, 0, 2000),
      P("MIPEAK", "NUMERIC", "Peak current", "4|2|0.01|A", 1, 0, 1200, 0, 4000),
      P("MKT", "NUMERIC", "Torque constant", "6f|0|1|Nm/A", 1, -1, floatBits(0.85f)),
      P("MNMAX", "THUMB", "Maximum speed", "5|0|1|rpm", 1, 0, 6000, 0, 20000),
      P("MTEMPS", "radio", "Temperature sensor", "None|KTY84|PTC", 1, 0, 1, 0, 2),
      // Current loop (group 3)
      P("KPI", "THUMB", "Current gain", "-5|3|0.001|", 3, 0, 1500, -30000, 30000),
      P("TNI", "NUMERIC", "Current integral time", "4|2|0.01|ms", 3, 0, 80, 1, 10000),
      P("ILIM", "NUMERIC", "Current limit", "4|2|0.01|A", 3, 0, 1000, 0, 4000),
      P("IFILT", "Check", "Current filter", "Setpoint filter on", 3, 0, 1, 0, 1),
      // Speed loop (group 4)
      P("KPN", "THUMB", "Speed gain", "-5|3|0.001|", 4, 0, 2500, -30000, 30000),
      P("TNN", "NUMERIC", "Speed integral time", "4|1|0.1|ms", 4, 0, 120, 1, 10000),
      P("NFILT", "NUMERIC", "Speed filter", "6f|0|1|ms", 4, -1, floatBits(0.5f)),
      P("NACT", "NUMERIC", "Actual speed", "-5|0|1|rpm", 4, 0, 0),
      P("NREF", "NUMERIC", "Speed setpoint", "-5|0|1|rpm", 4, 0, 1500, -20000, 20000),
      // Position loop (group 5)
      P("KPX", "THUMB", "Position gain", "5|2|0.01|1/s", 5, 0, 3000, 0, 30000),
      P("XACT", "NUMERIC", "Actual position", "-10|0|1|inc", 5, 0, 0),
      P("XMAX", "NUMERIC", "Software limit", "10x", 5, 0, 0x7FFFFFF0),
      P("XHOME", "RADIO", "Homing method", "Switch|Index|Switch+Index|Current position", 5, 0, 0, 0, 3),
      P("XFOLLOW", "numeric", "Following error window", "-10|0|1|inc", 5, 0, 10000, 0, 1000000),
      // I/O (group 6)
      P("DIN", "LEDARRAY", "Digital inputs", "GGGGRR|Enable|Start|Limit+|Limit-|Home|Fault", 6, 0, 0x05),
      P("DOUT", "LEDARRAY", "Digital outputs", "Y|Ready|Brake|Warning|Error", 6, 0, 0x01),
      P("DOUTSET", "Check", "Brake override", "Release brake", 6, 0, 0, 0, 1),
      P("AIN1", "NUMERIC", "Analog input 1", "-5|3|0.001|V", 6, 0, 1234),
      // Status (group 7)
      P("READY", "LED", "Ready", "GR|Ready", 7, 0, 1),
      P("FAULT", "LED", "Fault", "R|Fault", 7, 0, 0),
      P("STATE", "LEDRADIO", "Drive state", "YGGR|Off|Ready|Running|Error", 7, 0, 1),
      P("TEMP", "NUMERIC", "Heat sink temperature", "-4|1|0.1|C", 7, 0, 412),
      P("UPTIME", "NUMERIC", "Operating hours", "12|0|1|h", 7, 0, 0x123456789LL),
      P("WARN", "LED", "Warning", "YW|Warning", 7, 0, 0),
      P("CYCLES", "numeric", "Switching cycles", "12|0|1|", 7, 0, -5),
  };
  // Operating hours and switching cycles are 64-bit counters on the drive.
  for (auto& p : a.parameters)
    if (p.sFirmwareName == "UPTIME" || p.sFirmwareName == "CYCLES") p.wide = true;

  SimTarget& b = d.targets[1];
  b.present = true;
  b.version = 0x02010203;
  b.paramVersion = 1;
  b.groups = {{"Encoder", "Position sensor interface", ""},
              {"Brake", "Holding brake control", ""},
              {"Fan", "Cooling fan", "Brake"}};
  b.typePlate = {"Encoder option board", "Serial number 0042-2001"};
  b.parameters = {
      P("ENCTYPE", "RADIO", "Encoder type", "Incremental|SinCos|Resolver|Absolute", 0, 0, 0, 0, 3),
      P("ENCLINES", "THUMB", "Encoder lines", "5|0|1|", 0, 0, 2048, 1, 65535),
      P("ENCPOS", "NUMERIC", "Encoder position", "-10|0|1|inc", 0, 0, 0),
      P("ENCOK", "LED", "Encoder signal", "GR|Signal ok", 0, 0, 1),
      P("BRKDELAY", "NUMERIC", "Brake delay", "4|0|1|ms", 1, 0, 150, 0, 5000),
      P("BRKON", "Check", "Brake installed", "Motor has a brake", 1, 0, 1, 0, 1),
      P("BRKSTATE", "LEDRADIO", "Brake state", "RG|Closed|Open", 1, 0, 0),
      P("FANMODE", "RADIO", "Fan mode", "Off|Auto|On", 2, 0, 1, 0, 2),
      P("FANSPEED", "NUMERIC", "Fan speed", "6f|0|1|%", 2, -1, floatBits(62.5f)),
      P("FANLEDS", "LEDARRAY", "Fan alarms", "R|Blocked|Overheat", 2, 0, 0),
  };

  d.status.wControllerStatus = 0;
  d.status.bStatus2 = 0;
  d.status.bActiveSet = 0;
  d.status.wValidSets = 0x0003;
  d.status.messages = {{1, "Power on"}, {2, "Parameters loaded from flash"}, {3, "Ready"}};
  return d;
}

DriveDescription generatedDrive(int count0, int count1) {
  DriveDescription d = defaultDrive();
  static const char* const kinds[][2] = {
      {"NUMERIC", "-6|2|0.01|V"},         {"THUMB", "5|0|1|"},  {"CHECK", "Option on"},
      {"RADIO", "Off|Slow|Fast"},         {"LED", "GR|Active"}, {"LEDRADIO", "RGY|One|Two|Three"},
      {"LEDARRAY", "G|Bit 0|Bit 1|Bit 2"}, {"Numeric", "6f|0|1|"}, {"numeric", "4x|0|1|"}};
  const int counts[2] = {count0, count1};
  for (int t = 0; t < 2; ++t) {
    SimTarget& target = d.targets[t];
    const int have = int(target.parameters.size());
    for (int i = have; i < std::clamp(counts[t], 0, 65535); ++i) {
      const auto& k = kinds[i % 9];
      SimParameter p;
      char name[32];
      std::snprintf(name, sizeof name, "T%dP%04d", t, i);
      p.sFirmwareName = name;
      p.sControl = k[0];
      p.sCaption = std::string("Generated ") + name;
      p.sControlProperties = k[1];
      p.bGroup = uint8_t(i % target.groups.size());
      p.iType = i % 9 == 7 ? -1 : 0;
      p.value = p.iType < 0 ? floatBits(float(i) / 4) : (i * 7) % 1000 - 300;
      target.parameters.push_back(std::move(p));
    }
    if (counts[t] >= 0 && counts[t] < have) target.parameters.resize(size_t(counts[t]));
  }
  return d;
}

}  // namespace zeb7::sim
