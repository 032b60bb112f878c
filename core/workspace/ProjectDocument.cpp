#include "workspace/ProjectDocument.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "link/TextCodec.h"
#include "platform/AtomicFile.h"
#include "workspace/ProjectIni.h"

namespace zeb7 {
namespace {

constexpr size_t kMaxProjectFileBytes = 64u << 20;

// Values are single lines in the file.
std::string FileValue(const std::string& latin1) {
  std::string v = Latin1ToCp1252(latin1);
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  return v;
}

bool ParseSectionIndex(const std::string& name, int64_t& index) {
  static const std::string kPrefix = "Display";
  if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 10) return false;
  if (!IniNameEquals(name.substr(0, kPrefix.size()), kPrefix)) return false;
  int64_t v = 0;
  for (size_t i = kPrefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    v = v * 10 + (name[i] - '0');
  }
  index = v;
  return true;
}

// Reads the keys of one section, collecting what was wrong with them.
class TSectionReader {
 public:
  TSectionReader(const TIniContent::Section& s, std::vector<std::string>& messages)
      : s_(s), messages_(messages) {}

  const std::string* Raw(const char* key) const {
    for (const auto& e : s_.entries)
      if (e.IsKey() && IniNameEquals(e.key, key)) return &e.value;
    return nullptr;
  }
  std::string String(const char* key, const std::string& def) const {
    const std::string* v = Raw(key);
    if (!v) return def;
    std::string t = Cp1252ToLatin1(*v);
    for (char& c : t)
      if (c == '\r') c = ' ';  // a lone CR inside a line: written back as a blank anyway
    return t;
  }
  int32_t Int(const char* key, int32_t def, int32_t lo = INT32_MIN, int32_t hi = INT32_MAX) const {
    const std::string* v = Raw(key);
    if (!v) return def;
    constexpr int32_t kBad = INT32_MIN;
    int32_t r = IniStrToIntDef(*v, kBad);
    if (r == kBad && IniStrToIntDef(*v, 0) != kBad) {
      Note(std::string("\"") + key + "\" is not a number: \"" + Cp1252ToUtf8(*v) + "\"");
      return def;
    }
    if (r < lo || r > hi) {
      Note(std::string("\"") + key + "\" out of range: " + std::to_string(r));
      r = std::clamp(r, lo, hi);
    }
    return r;
  }
  void Note(const std::string& what) const { messages_.push_back(s_.name + ": " + what); }

 private:
  const TIniContent::Section& s_;
  std::vector<std::string>& messages_;
};

void ReadSheet(const TSectionReader& r, TProjectItem& it) {
  it.Name = r.String("Name", "");
  it.Parent = kPageControlName;  // sheets always go into the page control
  it.Caption = r.String("Caption", "");
  it.Height = r.Int("Height", 0, 0, kMaxProjectCoordinate);
  it.Width = r.Int("Width", 0, 0, kMaxProjectCoordinate);
  it.Top = r.Int("Top", 0, -kMaxProjectCoordinate, kMaxProjectCoordinate);
  it.Left = r.Int("Left", 0, -kMaxProjectCoordinate, kMaxProjectCoordinate);
  it.PageIndex = r.Int("PageIndex", -1, -1, kMaxProjectEntries);
  it.ClientTop = r.Int("ClientTop", 0, -kMaxProjectCoordinate, kMaxProjectCoordinate);
  it.ClientLeft = r.Int("ClientLeft", 0, -kMaxProjectCoordinate, kMaxProjectCoordinate);
}

void ReadDisplay(const TSectionReader& r, TProjectItem& it) {
  it.Index = r.Int("Index", -1);
  it.FwName = r.String("FwName", "???");
  it.Checksum = static_cast<uint16_t>(r.Int("Checksum", 0, 0, 65535));
  it.Group = r.String("Group", "???");
  it.GroupNr = r.Int("GroupNr", 0, INT32_MIN + 1000, INT32_MAX - 1000);
  it.TypeNr = r.Int("TypeNr", 0);
  it.UserClass = r.Int("UserClass", 0);
  it.Target = r.Int("Target", -1);
  it.Name = r.String("Name", "");
  it.Parent = r.String("Parent", "DUMMY");
  it.Caption = r.String("Caption", "");
  it.ControlProperties = r.String("ControlProperties", "");
  it.Height = r.Int("Height", 23, 0, kMaxProjectCoordinate);
  it.Width = r.Int("Width", 168, 0, kMaxProjectCoordinate);
  it.Top = r.Int("Top", 0, -kMaxProjectCoordinate, kMaxProjectCoordinate);
  it.Left = r.Int("Left", 0, -kMaxProjectCoordinate, kMaxProjectCoordinate);
  if (IsNumericClass(it.Class)) it.DigLeft = r.Int("DigLeft", 50, -kMaxProjectCoordinate, kMaxProjectCoordinate);
}

bool IsValidUtf8WithMultibyte(std::string_view s) {
  bool multi = false;
  for (size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size() || (len == 2 && b < 0xC2)) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    multi = multi || len > 1;
    i += len;
  }
  return multi;
}

}  // namespace

std::string DecodeProjectBytes(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    bytes.remove_prefix(3);
    return Latin1ToCp1252(Utf8ToLatin1(bytes));
  }
  if (IsValidUtf8WithMultibyte(bytes)) return Latin1ToCp1252(Utf8ToLatin1(bytes));
  return std::string(bytes);
}

// ------------------------------------------------------------------ document

std::vector<size_t> TProjectDocument::Sheets() const {
  std::vector<size_t> out;
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].IsSheet()) out.push_back(i);
  return out;
}

std::vector<size_t> TProjectDocument::Children(size_t parent) const {
  std::vector<size_t> out;
  for (size_t i = 0; i < Items.size(); ++i)
    if (!Items[i].IsSheet() && Items[i].ParentItem == parent) out.push_back(i);
  return out;
}

std::string TProjectDocument::GroupTableName(int32_t target, int32_t groupNr) const {
  if (target < 0 || target > 9) return {};
  const TIniContent::Entry* e = DriveSections.FindEntry(std::to_string(target) + "Groups", std::to_string(groupNr));
  return e ? Cp1252ToLatin1(e->value) : std::string();
}

void TProjectDocument::Normalize() {
  // Parents by name among the sheets and group boxes before each item.
  const size_t n = Items.size();
  for (size_t i = 0; i < n; ++i) {
    TProjectItem& it = Items[i];
    it.ParentItem = kNoParent;
    if (it.IsSheet() || it.Parent == kPageControlName) continue;
    for (size_t k = 0; k < n; ++k) {
      if (k == i) continue;
      const TProjectItem& p = Items[k];
      if ((p.IsSheet() || p.IsGroupBox()) && p.Name == it.Parent) {
        it.ParentItem = k;
        break;
      }
    }
  }
  // Tab order: sheets in their order, then each remembered position applied
  // in ascending order, so the result does not depend on the section order.
  std::vector<size_t> pages;
  for (size_t i = 0; i < n; ++i)
    if (Items[i].IsSheet()) pages.push_back(i);
  std::vector<size_t> byPos;
  for (size_t p : pages)
    if (Items[p].PageIndex >= 0) byPos.push_back(p);
  std::stable_sort(byPos.begin(), byPos.end(),
                   [&](size_t a, size_t b) { return Items[a].PageIndex < Items[b].PageIndex; });
  for (size_t p : byPos) {
    size_t want = static_cast<size_t>(Items[p].PageIndex);
    if (want >= pages.size()) continue;
    pages.erase(std::find(pages.begin(), pages.end(), p));
    pages.insert(pages.begin() + static_cast<ptrdiff_t>(want), p);
  }
  // Depth-first: a container before what it holds; a cycle of group boxes
  // naming each other is cut by visiting every item once.
  std::vector<size_t> order;
  std::vector<bool> seen(n, false);
  std::function<void(size_t)> visit = [&](size_t parent) {
    for (size_t c = 0; c < n; ++c) {
      if (seen[c] || Items[c].IsSheet() || Items[c].ParentItem != parent) continue;
      seen[c] = true;
      order.push_back(c);
      if (Items[c].IsGroupBox()) visit(c);
    }
  };
  for (size_t p : pages) {
    seen[p] = true;
    order.push_back(p);
    visit(p);
  }
  visit(kNoParent);
  for (size_t i = 0; i < n; ++i)
    if (!seen[i]) order.push_back(i);  // inside a cycle: kept, on the page control
  std::vector<size_t> newIndex(n);
  for (size_t k = 0; k < order.size(); ++k) newIndex[order[k]] = k;
  std::vector<TProjectItem> sorted;
  sorted.reserve(n);
  for (size_t k : order) {
    TProjectItem it = std::move(Items[k]);
    if (it.ParentItem != kNoParent) it.ParentItem = newIndex[it.ParentItem];
    sorted.push_back(std::move(it));
  }
  Items = std::move(sorted);
  // A parent that comes after its child (a cycle) would not exist yet when
  // the child is made: such items go onto the page control.
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].ParentItem != kNoParent && Items[i].ParentItem >= i) {
      Items[i].ParentItem = kNoParent;
      Items[i].Parent = kPageControlName;
    }
  int32_t page = 0;
  for (auto& it : Items)
    if (it.IsSheet()) it.PageIndex = page++;
}

// ------------------------------------------------------------------ reading

TProjectReadResult ReadProjectText(std::string_view bytes) {
  TProjectReadResult res;
  res.Ok = true;
  TIniContent content = TIniContent::Parse(DecodeProjectBytes(bytes));
  TProjectDocument& doc = res.Doc;
  auto& msg = res.Messages;

  for (const auto& s : content.Sections())
    if (IsDriveSection(s.name))
      for (const auto& e : s.entries)
        if (e.IsKey()) doc.DriveSections.Set(s.name, e.key, e.value);

  int32_t count = kDefaultProjectCount;
  if (const TIniContent::Entry* e = content.FindEntry("Displays", "Count")) {
    constexpr int32_t kBad = INT32_MIN;
    count = IniStrToIntDef(e->value, kBad);
    if (count == kBad) {
      msg.push_back("Displays: \"Count\" is not a number: \"" + Cp1252ToUtf8(e->value) + "\"");
      count = kDefaultProjectCount;
    } else if (count < 0) {
      msg.push_back("Displays: \"Count\" is negative: " + std::to_string(count));
      count = 0;
    } else if (count > kMaxProjectEntries) {
      msg.push_back("Displays: \"Count\" " + std::to_string(count) + " limited to " +
                    std::to_string(kMaxProjectEntries));
      count = kMaxProjectEntries;
    }
  }

  // Only the sections that exist are visited, so a huge count costs nothing.
  std::vector<std::pair<int64_t, const TIniContent::Section*>> sections;
  for (const auto& s : content.Sections()) {
    int64_t idx;
    if (ParseSectionIndex(s.name, idx) && idx < count) sections.emplace_back(idx, &s);
  }
  std::stable_sort(sections.begin(), sections.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  std::set<std::string> names;
  auto findContainer = [&](const std::string& name) -> size_t {
    for (size_t k = 0; k < doc.Items.size(); ++k)
      if ((doc.Items[k].IsSheet() || doc.Items[k].IsGroupBox()) && doc.Items[k].Name == name) return k;
    return kNoParent;
  };

  for (size_t si = 0; si < sections.size(); ++si) {
    if (si > 0 && sections[si].first == sections[si - 1].first) continue;  // "Display01" beside "Display1"
    const TIniContent::Section& sec = *sections[si].second;
    try {
      TSectionReader r(sec, msg);
      TProjectItem it;
      it.Section = sec.name;
      const std::string* control = r.Raw("Control");
      if (control && !control->empty()) {
        it.Class = DisplayClassFromControl(*control);
      } else if (const std::string* cls = r.Raw("ClassName")) {
        it.Class = DisplayClassFromClassName(*cls);
      }
      if (it.Class == dcNone) {
        const std::string* what = control && !control->empty() ? control : r.Raw("ClassName");
        r.Note(what ? "unknown control \"" + Cp1252ToUtf8(*what) + "\", skipped" : "no control, skipped");
        continue;
      }
      if (it.IsSheet()) ReadSheet(r, it);
      else ReadDisplay(r, it);

      if (!it.IsSheet()) {
        // A group that the project's group table names differently is not
        // the same group: the number no longer matches any.
        std::string gn = doc.GroupTableName(it.Target, it.GroupNr);
        if (!gn.empty() && gn != it.Group) it.GroupNr += 100;

        std::string parent = it.Parent;
        if (parent.empty() || parent == "DUMMY") parent = kLostPageName;
        if (parent == kPageControlName) {
          it.ParentItem = kNoParent;
        } else {
          size_t p = findContainer(parent);
          if (p == kNoParent) {
            msg.push_back("Parent " + Latin1ToUtf8(parent) + " not found!");
            // A display already has that name: the page gets one of its own.
            if (names.count(parent))
              parent = UniqueComponentName(parent + "_", [&](const std::string& n) { return names.count(n) > 0; });
            TProjectItem page;
            page.Class = dcSheet;
            page.Name = parent;
            page.Parent = kPageControlName;
            page.Caption = parent == kLostPageName ? kMissingPageCaption : kBrokenParametersCaption;
            page.Placeholder = true;
            page.Height = page.Width = 0;
            names.insert(parent);
            doc.Items.push_back(std::move(page));
            doc.Modified = true;
            p = doc.Items.size() - 1;
            msg.push_back("Dummy Page " + Latin1ToUtf8(parent) + " created!");
          }
          it.ParentItem = p;
        }
        it.Parent = parent;
      }
      // After the parent: a display naming itself as its parent gave the page that name.
      if (!it.Name.empty() && !names.insert(it.Name).second) {
        r.Note("name \"" + Latin1ToUtf8(it.Name) + "\" used twice, renamed");
        it.Name.clear();
        doc.Modified = true;
      }
      doc.Items.push_back(std::move(it));
    } catch (const std::exception& e) {
      msg.push_back(sec.name + ": skipped (" + e.what() + ")");
    }
  }
  doc.Normalize();
  return res;
}

TProjectReadResult ReadProjectFile(const std::string& path) {
  TProjectReadResult res;
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) {
    res.Error = "Cannot open " + path + ": " + ErrnoText(errno);
    return res;
  }
  if (!S_ISREG(st.st_mode)) {  // a folder, or a pipe or device that would never end
    res.Error = "Cannot open " + path + (S_ISDIR(st.st_mode) ? ": it is a directory" : ": not a regular file");
    return res;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    res.Error = "Cannot open " + path + ": " + ErrnoText(errno);
    return res;
  }
  std::string bytes;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    bytes.append(buf, static_cast<size_t>(in.gcount()));
    if (bytes.size() > kMaxProjectFileBytes) {
      res.Error = "Cannot open " + path + ": larger than " + std::to_string(kMaxProjectFileBytes >> 20) + " MB";
      return res;
    }
  }
  if (in.bad()) {
    res.Error = "Cannot read " + path + ": " + ErrnoText(errno);
    return res;
  }
  res = ReadProjectText(bytes);
  return res;
}

// ------------------------------------------------------------------ writing

namespace {

class TWriter {
 public:
  void Section(const std::string& name) {
    if (!out_.empty()) out_ += "\r\n";
    out_ += "[" + name + "]\r\n";
  }
  void Key(const char* key, const std::string& fileValue) {
    out_ += key;
    out_ += '=';
    out_ += fileValue;
    out_ += "\r\n";
  }
  void Text(const char* key, const std::string& latin1) { Key(key, FileValue(latin1)); }
  void Int(const char* key, int64_t v) { Key(key, std::to_string(v)); }
  std::string& Out() { return out_; }

 private:
  std::string out_;
};

void WriteDriveSections(TWriter& w, const TIniContent& drive) {
  std::vector<std::string> order = {"Global", "DriveModes"};
  for (const char* kind : {"Groups", "GroupDescriptions", "GroupParents"})
    for (int t = 0; t <= 9; ++t) order.push_back(std::to_string(t) + kind);
  for (const auto& name : order) {
    const TIniContent::Section* s = drive.FindSection(name);
    if (!s || std::none_of(s->entries.begin(), s->entries.end(), [](const auto& e) { return e.IsKey(); }))
      continue;
    w.Section(name);
    for (const auto& e : s->entries) {
      if (!e.IsKey()) continue;
      std::string v = e.value;
      for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
      w.Key(e.key.c_str(), v);
    }
  }
}

}  // namespace

std::string WriteProjectText(const TProjectDocument& doc) {
  TWriter w;
  WriteDriveSections(w, doc.DriveSections);
  w.Section("Displays");
  w.Int("Count", static_cast<int64_t>(doc.Items.size()));
  for (size_t i = 0; i < doc.Items.size(); ++i) {
    const TProjectItem& it = doc.Items[i];
    w.Section("Display" + std::to_string(i));
    w.Key("Control", ControlKeyword(it.Class));
    if (it.IsSheet()) {
      w.Text("Name", it.Name);
      w.Text("Parent", it.Parent.empty() ? std::string(kPageControlName) : it.Parent);
      w.Text("Caption", it.Caption);
      w.Int("Height", it.Height);
      w.Int("Width", it.Width);
      w.Int("Top", it.Top);
      w.Int("Left", it.Left);
      w.Int("PageIndex", it.PageIndex);
      w.Int("ClientTop", it.ClientTop);
      w.Int("ClientLeft", it.ClientLeft);
      continue;
    }
    w.Int("Index", it.Index);
    w.Text("FwName", it.FwName);
    w.Int("Checksum", it.Checksum);
    w.Text("Group", it.Group);
    w.Int("GroupNr", it.GroupNr);
    w.Int("TypeNr", it.TypeNr);
    if (it.UserClass != 0) w.Int("UserClass", it.UserClass);
    w.Int("Target", it.Target);
    w.Text("Name", it.Name);
    w.Text("Parent", it.Parent);
    w.Text("Caption", it.Caption);
    w.Text("ControlProperties", it.ControlProperties);
    if (it.Height != 23) w.Int("Height", it.Height);
    if (it.Width != 168) w.Int("Width", it.Width);
    w.Int("Top", it.Top);
    w.Int("Left", it.Left);
    if (IsNumericClass(it.Class)) w.Int("DigLeft", it.DigLeft);
  }
  return std::move(w.Out());
}

std::string ProjectBackupName(const std::string& path, int n) { return path + ".bak" + std::to_string(n); }

bool SaveProjectFile(const std::string& pathIn, const TProjectDocument& doc, std::string& error) {
  // A link stays a link: the file it points to is what gets replaced.
  std::string path = pathIn;
  struct stat st{};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      path = real;
      ::free(real);
    }
  }
  bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    error = "Cannot save " + pathIn + ": it is not a regular file";
    return false;
  }
  const std::string bytes = WriteProjectText(doc);
  // The complete new file lies beside the old one, flushed, before anything
  // else changes.
  const std::string fresh = path + ".saving";
  if (!WriteFileAtomically(fresh, bytes, error)) {
    error = "Cannot save " + pathIn + ": " + error;
    return false;
  }
  if (exists) {
    ::chmod(fresh.c_str(), st.st_mode & 07777);  // the project keeps its permissions
    // Failures of the rotation are not fatal: the new file still goes in.
    std::remove(ProjectBackupName(path, kProjectBackups - 1).c_str());
    for (int n = kProjectBackups - 1; n >= 1; --n)
      std::rename(ProjectBackupName(path, n - 1).c_str(), ProjectBackupName(path, n).c_str());
    std::remove(ProjectBackupName(path, 0).c_str());
    if (::link(path.c_str(), ProjectBackupName(path, 0).c_str()) != 0) {
      // No hard links here: copy instead, the previous file stays in place.
      std::ifstream in(path, std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      std::string ignored;
      WriteFileAtomically(ProjectBackupName(path, 0), ss.str(), ignored);
    }
  }
  if (std::rename(fresh.c_str(), path.c_str()) != 0) {
    error = "Cannot replace " + pathIn + ": " + ErrnoText(errno);
    std::remove(fresh.c_str());
    return false;
  }
  return true;
}

std::string ProjectFileFromArgument(const std::string& arg, const std::string& currentDir) {
  std::string p = arg;
  size_t slash = p.rfind('/');
  size_t dot = p.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash) && dot > (slash == std::string::npos ? 0 : slash + 1))
    p.erase(dot);
  p += std::string(".") + kProjectExtension;
  if (!p.empty() && p[0] != '/') p = (currentDir.empty() ? std::string(".") : currentDir) + "/" + p;
  return p;
}

std::string FirstFreeUntitled(const std::string& dir) {
  for (int i = 0;; ++i) {
    std::string p = dir + "/Untitled" + std::to_string(i) + "." + kProjectExtension;
    if (::access(p.c_str(), F_OK) != 0 || i == 1000000) return p;
  }
}

}  // namespace zeb7
