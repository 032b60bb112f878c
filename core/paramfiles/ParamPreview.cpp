#include "paramfiles/ParamPreview.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "displays/DisplayMath.h"
#include "link/TextCodec.h"
#include "model/DriveModel.h"
#include "paramfiles/ParamFile.h"

namespace zeb7 {

namespace {

std::string Trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

int CompareText(std::string_view a, std::string_view b) {
  const std::string x = Trimmed(a), y = Trimmed(b);
  const size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    const auto cx = static_cast<unsigned char>(Lower(x[i])), cy = static_cast<unsigned char>(Lower(y[i]));
    if (cx != cy) return cx < cy ? -1 : 1;
  }
  return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

std::optional<int64_t> AsInt(const std::string& v) {
  int64_t n = 0;
  if (!ParseInt64(Trimmed(v), n)) return std::nullopt;
  return n;
}

std::string Str(int64_t v) { return std::to_string(v); }

// Position of `name` in the group names of target t, or -1.
int FindGroup(const TStringLists& s, int t, const std::string& name) {
  const TControllerStringList* names = s.GroupNameLists[t].get();
  for (int i = 0; names && i < names->Count(); ++i)
    if (SameText(names->At(i)->sCaption, name)) return names->At(i)->iMyIndex;
  return -1;
}

std::string Description(const TStringLists& s, int t, int i) {
  return s.GroupDescriptionLists[t] ? s.GroupDescriptionLists[t]->GetString(i) : std::string();
}
std::string Parent(const TStringLists& s, int t, int i) {
  return s.GroupParentLists[t] ? s.GroupParentLists[t]->GetString(i) : std::string();
}

}  // namespace

int CompareRows(const TPreviewRow& a, const TPreviewRow& b) {
  if (int c = CompareText(a.MP, b.MP)) return -c;
  if (int c = CompareText(a.Group, b.Group)) return c;
  return CompareText(a.Caption, b.Caption);
}

std::string GroupPath(const TStringLists& s, int target, const std::string& group) {
  if (target < 0 || target >= kTargetCount) return group;
  const int i = FindGroup(s, target, group);
  if (i < 0) return group;
  std::string text = Description(s, target, i);
  std::string parent = Parent(s, target, i);
  for (int step = 0; step < 11 && !parent.empty(); ++step) {
    bool found = false;
    std::string next;
    for (int t = 0; t < kTargetCount; ++t) {
      const int k = FindGroup(s, t, parent);
      if (k < 0) continue;
      if (!found) {
        text = Description(s, t, k) + " -> " + text;
        found = true;
      }
      next = Parent(s, t, k);
      if (!next.empty()) break;  // else a namesake elsewhere may have a parent
    }
    if (!found) break;
    parent = next;
  }
  return text;
}

std::string CheckFormat(const std::string& props, const std::string& v) {
  const int64_t n = AsInt(v).value_or(-1);
  if (n == 0) return props + " = NO";
  if (n == -1) return "Unknown (" + v + ")";
  return props + " = YES";
}

std::string LedFormat(const std::string& props, const std::string& v) {
  return CheckFormat(ExtractString(props, 1, ""), v);
}

std::string ListFormat(const std::string& props, const std::string& v, int offset) {
  const int64_t n = AsInt(v).value_or(999);
  if (n < 0) return "???";
  if (n + offset >= CountFields(props)) return "Unknown (" + Str(n) + ")";
  return ExtractString(props, static_cast<int>(n + offset), "");
}

std::string BitListFormat(const std::string& props, const std::string& v) {
  uint64_t a = static_cast<uint64_t>(AsInt(v).value_or(999));
  std::string text;
  const int fields = CountFields(props);
  for (int i = 1; i < fields; ++i) {
    text += (i == 1 ? " " : " | ") + ExtractString(props, i, "") + ((a & 1) ? "=ON" : "=off");
    a >>= 1;
  }
  if (a != 0) return "Unknown (" + Str(static_cast<int64_t>(a)) + ")";
  return text;
}

std::optional<std::string> NumericFormat(const std::string& props, const std::string& v, int32_t typeNr) {
  const std::string f0 = ExtractString(props, 0, "");
  const int32_t field0 = ExtractInteger(props, 0, 5);
  int64_t w = std::llabs(static_cast<int64_t>(field0));
  const bool isSigned = field0 < 0;
  const bool hex = f0.find('x') != std::string::npos;
  int d = 0;
  if (!hex && f0.find('f') == std::string::npos) {
    const int32_t dec = ExtractInteger(props, 1, 0);
    if (dec >= 1 && dec <= 10) {
      d = dec;
      w += d;
    }
  }
  const long double factor = ExtractFloat(props, 2, 1.0);
  const std::string unit = ExtractString(props, 3, "");
  const auto rawOpt = AsInt(v);
  if (!rawOpt) return std::nullopt;
  int64_t raw = *rawOpt;
  long double x;
  if (typeNr < 0) {
    const float single = ToSingle(factor * static_cast<long double>(RawToSingle(raw)));
    x = single;
    raw = SingleToRaw(single);
  } else {
    x = static_cast<long double>(raw) * factor;
  }
  std::string text;
  if (hex) {
    uint64_t value = static_cast<uint64_t>(factor != 1 ? ExtendedToInt64(x) : raw);
    if (w >= 1 && w <= 15) value &= (uint64_t(1) << (4 * w)) - 1;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%0*llX", static_cast<int>(std::min<int64_t>(w, 16)),
                  static_cast<unsigned long long>(value));
    text = std::string(buf) + "  HEX";
  } else {
    const int64_t n = ExtendedToInt64(x * Pow10l(d));
    uint64_t m = AbsClamped(n);
    if (w >= 1 && w <= 15) m = std::min<uint64_t>(m, static_cast<uint64_t>(AllNines(static_cast<int>(w))));
    const bool negative = n < 0 && isSigned && m != 0;
    std::string digits = std::to_string(m);
    if (d > 0) {
      if (digits.size() < size_t(d) + 1) digits.insert(0, size_t(d) + 1 - digits.size(), '0');
      digits.insert(digits.size() - size_t(d), ".");
    }
    text = (negative ? "-" : (m != 0 ? "+" : "")) + digits;
  }
  if (!unit.empty()) text += "  " + unit;
  return text;
}

std::optional<std::string> FormatValue(const std::string& control, const std::string& props, const std::string& v,
                                       int32_t typeNr, std::string* mp) {
  auto measured = [mp] {
    if (mp) *mp = "M";
  };
  if (control == "THUMB") return NumericFormat(props, v, typeNr);
  if (control == "NUMERIC") {
    measured();
    return NumericFormat(props, v, typeNr);
  }
  if (control == "RADIO") return ListFormat(props, v, 0);
  if (control == "LEDRADIO") {
    measured();
    return ListFormat(props, v, 1);
  }
  if (control == "LEDARRAY") {
    measured();
    return BitListFormat(props, v);
  }
  if (control == "CHECK") return CheckFormat(props, v);
  if (control == "LED") {
    measured();
    return LedFormat(props, v);
  }
  return std::string();
}

bool TParamPreview::AddRow(TPreviewRow row) {
  auto it = std::lower_bound(rows_.begin(), rows_.end(), row,
                             [](const TPreviewRow& a, const TPreviewRow& b) { return CompareRows(a, b) < 0; });
  if (it != rows_.end() && CompareRows(*it, row) == 0) return false;
  rows_.insert(it, std::move(row));
  return true;
}

bool TParamPreview::AddFileRow(TDriveModel* model, int32_t target, const std::string& group,
                               const std::string& name, const std::string& value, const std::string& control,
                               const std::string& caption, const std::string& props, int32_t typeNr, bool found,
                               int32_t key) {
  TPreviewRow r;
  r.Target = target;
  r.GroupName = group;
  r.FirmwareName = name;
  r.ValueText = value;
  r.Key = found ? key : -1;
  const std::string kind = AsciiUpper(control);
  r.Writable = kind == "THUMB" || kind == "CHECK" || kind == "RADIO";
  r.Found = found ? "YES" : "NO";
  r.MP = "P";
  const auto formatted = FormatValue(kind, props, value, typeNr, &r.MP);
  if (!formatted) {
    error_ = "\"" + Latin1ToUtf8(value) + "\" is not a valid integer value (" + Latin1ToUtf8(name) + ")";
    return false;
  }
  r.Group = model ? GroupPath(model->Strings, target, group) : group;
  r.Caption = caption.empty() ? "[" + name + "]" : caption;
  r.Value = formatted->empty() ? "[" + value + "]" : *formatted;
  if (found && model) {
    const TParameter* p = model->ParameterList.Find(key);
    if (p) {
      const std::string now = std::to_string(p->i64Value);
      const auto shown = FormatValue(kind, props, now, typeNr);
      r.DriveValue = shown && !shown->empty() ? *shown : "[" + now + "]";
      const auto fileValue = AsInt(value);
      r.Differs = !fileValue || *fileValue != p->i64Value;
    }
  }
  AddRow(std::move(r));
  return true;
}

bool TParamPreview::Display(const std::vector<std::string>& lines, const std::string& fileName, TDriveModel* model) {
  rows_.clear();
  log_.clear();
  error_.clear();
  iNotFound_ = 0;
  oldFormat_ = false;
  log_.push_back("Loading File " + fileName + "...");
  std::unique_lock<std::recursive_mutex> lock;
  if (model) lock = model->Lock();
  const int params = FindSection(lines, "[Parameters]");
  const int extended = FindSection(lines, "[Parameters_Extended]");
  auto lookup = [model](const std::string& group, const std::string& name, int32_t target,
                        bool byGroup) -> TParameter* {
    if (!model || target < 0 || target >= kTargetCount) return nullptr;
    TParameter* p = byGroup ? model->ParameterList.GetParameterByNameAndGroup(group, name, target)
                            : model->ParameterList.GetParameterByName(name, target);
    return UsableParameter(p) ? p : nullptr;
  };
  bool ok = true;
  if (extended >= 0) {
    std::vector<std::string> f;
    for (const std::string& line : SectionLines(lines, extended)) {
      if (SplitFields(line, 8, f) < 8 || f.size() < 8) continue;
      int64_t n = 0;
      const int32_t target = ParseInt64(f[0], n) && n >= INT32_MIN && n <= INT32_MAX ? int32_t(n) : 0;
      const int32_t type = ParseInt64(f[7], n) && n >= INT32_MIN && n <= INT32_MAX ? int32_t(n) : 0;
      TParameter* p = lookup(f[1], f[2], target, true);
      if (!AddFileRow(model, target, f[1], f[2], f[3], f[4], f[5], f[6], type, p != nullptr, p ? p->Key() : -1)) {
        ok = false;
        break;
      }
    }
  } else if (params >= 0) {
    oldFormat_ = true;
    log_.push_back(
        "Old file format: Can only display detailed information on parameters which are also present in "
        "connected ZEB (Found=YES)");
    std::vector<TParamLine> values;
    std::string error;
    ok = ReadParametersSection(lines, values, error);
    if (!ok) error_ = error;
    for (const TParamLine& l : values) {
      TParameter* p = lookup(l.Group, l.Name, l.Target, l.HasGroup);
      const std::string v = std::to_string(l.Value);
      if (p) {
        const std::string group = l.HasGroup ? l.Group : p->sGroupName();
        AddFileRow(model, l.Target, group, l.Name, v, p->P.sControl, p->P.sCaption, p->P.sControlProperties,
                   p->P.iTypeNr, true, p->Key());
      } else {
        ++iNotFound_;
        AddFileRow(model, l.Target, l.Group, l.Name, v, "", "", "", 0, false, -1);
      }
    }
  }
  if (!ok) {
    log_.push_back(error_);
    return false;
  }
  log_.push_back("Done");
  return true;
}

TPreviewRow HeaderRow() {
  TPreviewRow r;
  r.Found = "Found";
  r.MP = "M/P";
  r.Group = "Group";
  r.Caption = "Caption";
  r.Value = "Value";
  return r;
}

std::string CsvLine(const TPreviewRow& r) {
  return "\"" + r.Found + "\";\"" + r.MP + "\";\"" + r.Group + "\";\"" + r.Caption + "\";\"->  " + r.Value + "\"";
}

std::string TxtLine(const TPreviewRow& r) {
  auto pad = [](const std::string& s, size_t w, bool left) {
    if (s.size() >= w) return s;
    return left ? s + std::string(w - s.size(), ' ') : std::string(w - s.size(), ' ') + s;
  };
  return pad(r.Found, 5, true) + " " + pad(r.MP, 3, false) + " " + pad(r.Group, 12, true) + pad(r.Caption, 40, false) +
         " -> " + r.Value;
}

std::string BuildCsv(const std::vector<TPreviewRow>& rows) {
  std::string out = CsvLine(HeaderRow()) + "\r\n";
  for (const auto& r : rows) out += CsvLine(r) + "\r\n";
  return Latin1ToCp1252(out);
}

std::string BuildTxt(const std::vector<TPreviewRow>& rows) {
  std::string out = TxtLine(HeaderRow()) + "\r\n";
  for (const auto& r : rows) out += TxtLine(r) + "\r\n";
  return Latin1ToCp1252(out);
}

}  // namespace zeb7
