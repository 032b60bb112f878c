#include "workspace/IniFiles.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace zeb7 {

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Blanks and control characters around names and values are not part of them.
std::string TrimBlanks(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

}  // namespace

bool IniNameEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

int32_t IniStrToIntDef(const std::string& text, int32_t def) {
  std::string s = TrimBlanks(text);
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return def;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = AsciiLower(s[i]);
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return def;
    v = v * base + d;
    if (v > 0x100000000LL) return def;
  }
  if (neg) v = -v;
  // Hexadecimal spells the bit pattern: $FFFFFFFF is -1, as in 32-bit arithmetic.
  if (base == 16 && !neg && v <= 0xFFFFFFFFLL) return static_cast<int32_t>(static_cast<uint32_t>(v));
  if (v < INT32_MIN || v > INT32_MAX) return def;
  return static_cast<int32_t>(v);
}

// ---------------------------------------------------------------- TIniContent

namespace {

bool IsBlank(const std::string& line) { return TrimBlanks(line).empty(); }

// Where a new key goes: after the section's last non-blank line, so the blank
// line that parts it from the next section stays below it.
size_t InsertPosition(const TIniContent::Section& s) {
  size_t n = s.entries.size();
  while (n > 0 && !s.entries[n - 1].IsKey() && IsBlank(s.entries[n - 1].line)) --n;
  return n;
}

}  // namespace

TIniContent TIniContent::Parse(const std::string& text) {
  TIniContent c;
  Section* cur = nullptr;
  auto keep = [&](const std::string& raw) {
    if (cur) cur->entries.push_back(Entry{"", "", raw});
    else c.preamble_.push_back(raw);
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    std::string raw = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? text.size() : nl + 1;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == ';' || line[0] == '#') {
      keep(raw);
      continue;
    }
    if (line[0] == '[') {
      size_t close = line.find(']');
      if (close == std::string::npos) {
        c.sections_.push_back(Section{"", {}, raw, true});
        cur = &c.sections_.back();
        continue;
      }
      std::string name = TrimBlanks(line.substr(1, close - 1));
      cur = c.FindSection(name);
      if (!cur) {
        c.sections_.push_back(Section{name, {}, raw});
        cur = &c.sections_.back();
      }
      continue;
    }
    size_t eq = line.find('=');
    std::string key = eq == std::string::npos ? "" : TrimBlanks(line.substr(0, eq));
    if (key.empty() || !cur || cur->broken) {
      keep(raw);
      continue;
    }
    bool repeated = false;
    for (const auto& e : cur->entries)
      if (e.IsKey() && IniNameEquals(e.key, key)) {
        repeated = true;  // the first occurrence counts; the others stay as lines
        break;
      }
    if (repeated) keep(raw);
    else cur->entries.push_back(Entry{key, TrimBlanks(line.substr(eq + 1)), raw});
  }
  return c;
}

std::string TIniContent::Serialize(const std::string& eol) const {
  std::string out;
  for (const auto& l : preamble_) out += l + eol;
  bool lastBlank = preamble_.empty() || IsBlank(preamble_.back());
  for (const auto& s : sections_) {
    // A section read from the file keeps its layout; one the program adds gets
    // a blank line before it.
    if (s.header.empty() && !lastBlank) out += eol;
    out += (s.header.empty() ? "[" + s.name + "]" : s.header) + eol;
    lastBlank = false;
    for (const auto& e : s.entries) {
      if (!e.IsKey()) out += e.line + eol;
      else if (!e.line.empty()) out += e.line + eol;
      else out += e.key + "=" + e.value + eol;
      lastBlank = !e.IsKey() && IsBlank(e.line);
    }
  }
  return out;
}

const TIniContent::Section* TIniContent::FindSection(const std::string& name) const {
  for (const auto& s : sections_)
    if (!s.broken && IniNameEquals(s.name, name)) return &s;
  return nullptr;
}

TIniContent::Section* TIniContent::FindSection(const std::string& name) {
  for (auto& s : sections_)
    if (!s.broken && IniNameEquals(s.name, name)) return &s;
  return nullptr;
}

const TIniContent::Entry* TIniContent::FindEntry(const std::string& section,
                                                 const std::string& key) const {
  const Section* s = FindSection(section);
  if (!s) return nullptr;
  for (const auto& e : s->entries)
    if (e.IsKey() && IniNameEquals(e.key, key)) return &e;
  return nullptr;
}

void TIniContent::Set(const std::string& section, const std::string& key,
                      const std::string& rawValue) {
  // A line break inside a value would split it into garbage lines on the next read.
  std::string value = rawValue;
  for (auto& ch : value)
    if (ch == '\r' || ch == '\n') ch = ' ';
  Section* s = FindSection(section);
  if (!s) {
    sections_.push_back(Section{section, {}, ""});
    s = &sections_.back();
  }
  for (auto& e : s->entries)
    if (e.IsKey() && IniNameEquals(e.key, key)) {
      if (e.value != value) e.line.clear();  // an unchanged line keeps its spelling
      e.value = value;
      return;
    }
  s->entries.insert(s->entries.begin() + std::ptrdiff_t(InsertPosition(*s)), Entry{key, value, ""});
}

bool TIniContent::DeleteKey(const std::string& section, const std::string& key) {
  Section* s = FindSection(section);
  if (!s) return false;
  for (auto it = s->entries.begin(); it != s->entries.end(); ++it)
    if (it->IsKey() && IniNameEquals(it->key, key)) {
      s->entries.erase(it);
      return true;
    }
  return false;
}

bool TIniContent::EraseSection(const std::string& section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it)
    if (!it->broken && IniNameEquals(it->name, section)) {
      sections_.erase(it);
      return true;
    }
  return false;
}

// ------------------------------------------------------------- TCustomIniFile

int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& key,
                                    int32_t def) const {
  std::string v = ReadString(section, key, "");
  if (v.empty()) return def;
  return IniStrToIntDef(v, def);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key,
                                  int32_t value) {
  WriteString(section, key, std::to_string(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key,
                              bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool TCustomIniFile::SectionExists(const std::string& section) const {
  for (const auto& s : ReadSections())
    if (IniNameEquals(s, section)) return true;
  return false;
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& key) const {
  for (const auto& k : ReadSection(section))
    if (IniNameEquals(k, key)) return true;
  return false;
}

bool TCustomIniFile::LoadFile(TIniContent& content, std::string& eol) const {
  std::ifstream in(fileName_, std::ios::binary);
  if (!in) {
    content.Clear();
    // A missing file reads as empty; anything else is worth telling.
    if (errno != ENOENT && !fileName_.empty()) {
      lastError_ = "Cannot read " + fileName_ + ": " + std::strerror(errno);
      return false;
    }
    return true;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  size_t nl = text.find('\n');
  if (nl != std::string::npos) eol = (nl > 0 && text[nl - 1] == '\r') ? "\r\n" : "\n";
  content = TIniContent::Parse(text);
  return true;
}

bool TCustomIniFile::SaveFile(const TIniContent& content, const std::string& eol) {
  if (fileName_.empty()) {
    lastError_ = "Cannot write an INI file without a name";
    return false;
  }
  std::string why;
  if (!WriteFileAtomically(fileName_, content.Serialize(eol), why)) {
    // The user's text names the file once and the system's reason.
    const size_t colon = why.rfind(": ");
    lastError_ = "Cannot write " + fileName_ + ": " + (colon == std::string::npos ? why : why.substr(colon + 2));
    return false;
  }
  lastError_.clear();
  return true;
}

// ------------------------------------------------------------------ TIniFile

TIniContent TIniFile::Load(std::string* eol) const {
  TIniContent c;
  std::string e = "\r\n";
  LoadFile(c, e);
  if (eol) *eol = e;
  return c;
}

template <class F>
void TIniFile::Modify(F&& change) {
  std::string eol = "\r\n";
  TIniContent c;
  if (!LoadFile(c, eol)) return;  // never overwrite a file we could not read
  if (change(c)) SaveFile(c, eol);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  TIniContent c = Load();
  const auto* e = c.FindEntry(section, key);
  return e ? e->value : def;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  Modify([&](TIniContent& c) {
    c.Set(section, key, value);
    return true;
  });
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  TIniContent c = Load();
  if (const auto* s = c.FindSection(section))
    for (const auto& e : s->entries)
      if (e.IsKey()) keys.push_back(e.key);
  return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  TIniContent c = Load();
  for (const auto& s : c.Sections())
    if (!s.broken) names.push_back(s.name);
  return names;
}

void TIniFile::EraseSection(const std::string& section) {
  Modify([&](TIniContent& c) { return c.EraseSection(section); });
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  Modify([&](TIniContent& c) { return c.DeleteKey(section, key); });
}

// --------------------------------------------------------------- TMemIniFile

TMemIniFile::TMemIniFile(std::string fileName) : TCustomIniFile(std::move(fileName)) {
  LoadFile(content_, eol_);
}

std::string TMemIniFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& def) const {
  const auto* e = content_.FindEntry(section, key);
  return e ? e->value : def;
}

void TMemIniFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
  content_.Set(section, key, value);
}

std::vector<std::string> TMemIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  if (const auto* s = content_.FindSection(section))
    for (const auto& e : s->entries)
      if (e.IsKey()) keys.push_back(e.key);
  return keys;
}

std::vector<std::string> TMemIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const auto& s : content_.Sections())
    if (!s.broken) names.push_back(s.name);
  return names;
}

void TMemIniFile::EraseSection(const std::string& section) { content_.EraseSection(section); }

void TMemIniFile::DeleteKey(const std::string& section, const std::string& key) {
  content_.DeleteKey(section, key);
}

bool TMemIniFile::UpdateFile() { return SaveFile(content_, eol_); }

}  // namespace zeb7
