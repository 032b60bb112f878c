#include "paramfiles/ParamFile.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "link/TextCodec.h"
#include "model/DriveModel.h"
#include "platform/AtomicFile.h"

namespace zeb7 {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t b = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > b) out.emplace_back(line.substr(b, i - b));
  }
  return out;
}

bool ParseInt32(std::string_view text, int32_t& v) {
  int64_t w = 0;
  if (!ParseInt64(text, w) || w < INT32_MIN || w > INT32_MAX) return false;
  v = static_cast<int32_t>(w);
  return true;
}

}  // namespace

std::vector<std::string> SplitFileLines(std::string_view bytes) {
  bool utf8 = false;
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
    utf8 = true;
  }
  std::vector<std::string> lines;
  size_t b = 0;
  for (size_t i = 0; i <= bytes.size(); ++i) {
    if (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\r') continue;
    const std::string_view raw = bytes.substr(b, i - b);
    lines.push_back(utf8 ? Utf8ToLatin1(raw) : Cp1252ToLatin1(raw));
    if (i < bytes.size() && bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    b = i + 1;
  }
  // The line end of the last line does not start another one.
  if (!lines.empty() && lines.back().empty() && b > bytes.size()) lines.pop_back();
  return lines;
}

bool ReadFileLines(const std::string& path, std::vector<std::string>& lines, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open \"" + path + "\": " + ErrnoText(errno);
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read \"" + path + "\"";
    return false;
  }
  lines = SplitFileLines(bytes);
  return true;
}

bool DatabaseComplete(TDriveModel& model) {
  auto lock = model.Lock();
  if (!model.ProjectState.fAllParametersRead() || model.ProjectState.fUpdateInProgress()) return false;
  std::array<int, kTargetCount> seen{};
  for (int i = 0; i < model.ParameterList.Count(); ++i) {
    const TParameter* p = model.ParameterList.At(i);
    const int t = p->P.iMyTarget;
    if (t < 0 || t >= kTargetCount || model.TargetInfo[t].fNotPresent) continue;
    if (p->ParamState() != ParamStateAllOK) return false;
    ++seen[t];
  }
  for (int t = 0; t < kTargetCount; ++t)
    if (!model.TargetInfo[t].fNotPresent && seen[t] < model.TargetInfo[t].ParamCount) return false;
  return true;
}

std::string FileValueText(int64_t value) {
  if (value >= INT32_MIN && value <= INT32_MAX) return std::to_string(static_cast<int32_t>(value));
  return std::to_string(value);
}

std::string BuildParameterFile(TDriveModel& model) {
  auto lock = model.Lock();
  std::string out;
  auto line = [&out](const std::string& s) {
    out += s;
    out += "\r\n";
  };
  for (int t = 0; t < kTargetCount; ++t) {
    if (model.TargetInfo[t].fNotPresent) continue;
    line("[TypePlate " + std::to_string(t) + "]");
    const TControllerStringList* plate = model.Strings.TypePlateLists[t].get();
    for (int i = 0; plate && i < plate->Count(); ++i) {
      const TControllerString* s = plate->At(i);
      if (s && !s->sCaption.empty()) line("L" + std::to_string(s->iMyIndex) + " : \"" + s->sCaption + "\"");
    }
  }
  TParameterList& params = model.ParameterList;
  line("[Parameters]");
  for (int i = 0; i < params.Count(); ++i) {
    TParameter* p = params.At(i);
    const std::string control = AsciiUpper(p->P.sControl);
    if (control != "THUMB" && control != "CHECK" && control != "RADIO") continue;
    line(std::to_string(p->P.iMyTarget) + " " + p->sGroupName() + " " + p->P.sFirmwareName + " " +
         FileValueText(p->i64Value));
  }
  line("[Parameters_Extended]");
  for (int i = 0; i < params.Count(); ++i) {
    TParameter* p = params.At(i);
    line(std::to_string(p->P.iMyTarget) + " \"" + p->sGroupName() + "\" " + p->P.sFirmwareName + " " +
         FileValueText(p->i64Value) + " " + AsciiUpper(p->P.sControl) + " \"" + p->P.sCaption + "\" \"" +
         p->P.sControlProperties + "\" " + std::to_string(p->P.iTypeNr));
  }
  out += "\r\n";  // the empty last line
  return Latin1ToCp1252(out);
}

bool WriteParameterFile(TDriveModel& model, const std::string& path, std::string& error) {
  return WriteFileAtomically(path, BuildParameterFile(model), error);
}

int FindSection(const std::vector<std::string>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == section) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> SectionLines(const std::vector<std::string>& lines, int start) {
  std::vector<std::string> out;
  if (start < 0) return out;
  for (size_t i = size_t(start) + 1; i < lines.size() && !(lines[i].size() > 0 && lines[i][0] == '['); ++i)
    out.push_back(lines[i]);
  return out;
}

bool ParseInt64(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  const char* b = text.data();
  const char* e = b + text.size();
  if (*b == '+') ++b;
  if (b == e || *b == '+') return false;
  auto r = std::from_chars(b, e, value);
  return r.ec == std::errc() && r.ptr == e;
}

bool ReadParametersSection(const std::vector<std::string>& lines, std::vector<TParamLine>& out,
                           std::string& error) {
  out.clear();
  const int start = FindSection(lines, "[Parameters]");
  if (start < 0) return true;
  for (size_t i = size_t(start) + 1; i < lines.size(); ++i) {
    const std::string& text = lines[i];
    if (!text.empty() && text[0] == '[') break;
    const std::vector<std::string> w = Words(text);
    TParamLine pl;
    if (w.size() < 3 || !ParseInt32(w[0], pl.Target)) continue;
    pl.LineNumber = static_cast<int>(i) + 1;
    pl.Name = w[w.size() - 2];
    pl.HasGroup = w.size() > 3;
    for (size_t k = 1; k + 2 < w.size(); ++k) pl.Group += (k > 1 ? " " : "") + w[k];
    if (!ParseInt64(w.back(), pl.Value)) {
      error = "line " + std::to_string(pl.LineNumber) + ": \"" + Latin1ToUtf8(w.back()) +
              "\" is not an integer value";
      return false;
    }
    out.push_back(std::move(pl));
  }
  return true;
}

bool UsableParameter(const TParameter* p) {
  if (!p || p->P.wChecksum == 0) return false;
  const TParamState s = p->ParamState();
  return (s & ChecksumOK) && (s & FirmwareNameOK);
}

TParamMatch MatchParameters(const std::vector<TParamLine>& lines, TParameterList& params) {
  TParamMatch m;
  std::map<int32_t, TParamSetting> byKey;
  for (const TParamLine& l : lines) {
    TParameter* p = nullptr;
    if (l.Target >= 0 && l.Target < kTargetCount)
      p = l.HasGroup ? params.GetParameterByNameAndGroup(l.Group, l.Name, l.Target)
                     : params.GetParameterByName(l.Name, l.Target);
    const std::string label = l.HasGroup ? l.Group + "/" + l.Name : l.Name;
    if (!UsableParameter(p)) {
      ++m.Obsolete;
      m.ObsoleteMessages.push_back("Parameter " + label + " could not be updated (obsolete)");
      continue;
    }
    byKey.emplace(p->Key(), TParamSetting{p->Key(), l.Value, label});  // a second line is dropped
  }
  for (auto& [key, s] : byKey) m.Settings.push_back(std::move(s));
  return m;
}

int SplitFields(std::string_view line, int count, std::vector<std::string>& fields) {
  fields.clear();
  int complete = 0;
  size_t i = 0;
  while (i < line.size() && complete <= count) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '"') {
      const size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) {
        fields.emplace_back(line.substr(i + 1));
        return complete + 1;
      }
      fields.emplace_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      const size_t b = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      fields.emplace_back(line.substr(b, i - b));
      if (i >= line.size()) return complete + 1;  // open at the end of the line
      ++i;
    }
    ++complete;
  }
  return complete;
}

}  // namespace zeb7

namespace zeb7 {

std::vector<std::string> TypePlateDifferences(const std::vector<std::string>& lines, TDriveModel& model) {
  std::vector<std::string> out;
  auto lock = model.Lock();
  for (int t = 0; t < kTargetCount; ++t) {
    const int start = FindSection(lines, "[TypePlate " + std::to_string(t) + "]");
    if (start < 0) continue;
    std::map<int, std::string> file;
    for (const std::string& l : SectionLines(lines, start)) {
      int index = 0;
      const size_t colon = l.find(" : \"");
      if (l.size() < 2 || l[0] != 'L' || colon == std::string::npos) continue;
      if (!ParseInt32(std::string_view(l).substr(1, colon - 1), index)) continue;
      std::string text = l.substr(colon + 4);
      if (!text.empty() && text.back() == '"') text.pop_back();
      file[index] = text;
    }
    std::map<int, std::string> drive;
    const TControllerStringList* plate = model.Strings.TypePlateLists[t].get();
    if (!model.TargetInfo[t].fNotPresent)
      for (int i = 0; plate && i < plate->Count(); ++i)
        if (!plate->At(i)->sCaption.empty()) drive[plate->At(i)->iMyIndex] = plate->At(i)->sCaption;
    if (model.TargetInfo[t].fNotPresent) {
      out.push_back("target " + std::to_string(t) + " is not present on the drive");
      continue;
    }
    for (const auto& [i, text] : file) {
      auto it = drive.find(i);
      const std::string now = it == drive.end() ? std::string() : it->second;
      if (now != text)
        out.push_back("target " + std::to_string(t) + " L" + std::to_string(i) + ": file \"" + text + "\", drive \"" +
                      now + "\"");
    }
    for (const auto& [i, text] : drive)
      if (!file.count(i))
        out.push_back("target " + std::to_string(t) + " L" + std::to_string(i) + ": file \"\", drive \"" + text + "\"");
  }
  return out;
}

}  // namespace zeb7
