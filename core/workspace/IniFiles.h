#pragma once
// The two INI file kinds: TIniFile writes every change to disk at once (the
// settings file), TMemIniFile keeps the file in memory and writes it whole on
// UpdateFile (project files). Both read CR LF and LF files; sections and keys
// compare case-insensitively (ASCII), as the files are edited by hand.
#include <cstdint>
#include <string>
#include <vector>

namespace zeb7 {

// Parsed content of one INI file, in file order. The file is the user's: every
// line the program does not understand (comments, blank and stray lines, keys
// before the first section, repeated keys, the lines under a broken header) is
// kept as it stands and written back in its place.
class TIniContent {
 public:
  struct Entry {
    std::string key;    // empty: an uninterpreted line, kept verbatim in `line`
    std::string value;
    std::string line;   // the line as read; cleared when the program changes the value
    bool IsKey() const { return !key.empty(); }
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
    std::string header;  // "[name]" as read, empty for a section the program added
    // A header without "]": it and the lines below it are kept but belong to no
    // section; it is never found by name, so nothing is added below it.
    bool broken = false;
  };

  // Only "[section]" headers and "key=value" lines below a header are read; the
  // first of repeated keys counts. A repeated section is merged into the first.
  static TIniContent Parse(const std::string& text);
  // Writes with the given line end ("\r\n" or "\n"); content parsed and written
  // unchanged gives the same lines.
  std::string Serialize(const std::string& eol) const;

  const Section* FindSection(const std::string& name) const;
  Section* FindSection(const std::string& name);
  const Entry* FindEntry(const std::string& section, const std::string& key) const;

  void Set(const std::string& section, const std::string& key, const std::string& value);
  bool DeleteKey(const std::string& section, const std::string& key);
  bool EraseSection(const std::string& section);

  const std::vector<Section>& Sections() const { return sections_; }
  void Clear() {
    sections_.clear();
    preamble_.clear();
  }

 private:
  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
};

// ASCII case-insensitive equality, the comparison for section and key names.
bool IniNameEquals(const std::string& a, const std::string& b);

// Integer as an INI value: optional sign, decimal, or hexadecimal with "$" or "0x".
// Anything else, or a value outside 32 bits, yields `def`.
int32_t IniStrToIntDef(const std::string& s, int32_t def);

// Shared read/write vocabulary of both kinds.
class TCustomIniFile {
 public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  virtual ~TCustomIniFile() = default;
  TCustomIniFile(const TCustomIniFile&) = delete;
  TCustomIniFile& operator=(const TCustomIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }

  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const = 0;
  virtual void WriteString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
  virtual std::vector<std::string> ReadSection(const std::string& section) const = 0;
  virtual std::vector<std::string> ReadSections() const = 0;
  virtual void EraseSection(const std::string& section) = 0;
  virtual void DeleteKey(const std::string& section, const std::string& key) = 0;

  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  void WriteBool(const std::string& section, const std::string& key, bool value);
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;

  // Empty while every file access succeeded; otherwise the last failure as a
  // user-readable line ("Cannot write /x/Zeb7Setup.ini: Permission denied").
  const std::string& LastError() const { return lastError_; }

 protected:
  // Reads the whole file; a missing file is empty content and no error.
  bool LoadFile(TIniContent& content, std::string& eol) const;
  // Writes beside the file and renames it into place, so a crash never leaves half a file.
  bool SaveFile(const TIniContent& content, const std::string& eol);

  std::string fileName_;
  mutable std::string lastError_;
};

// Write-through: each read sees the file as it is on disk, each write changes it at once.
class TIniFile : public TCustomIniFile {
 public:
  explicit TIniFile(std::string fileName) : TCustomIniFile(std::move(fileName)) {}

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const override;
  void WriteString(const std::string& section, const std::string& key,
                   const std::string& value) override;
  std::vector<std::string> ReadSection(const std::string& section) const override;
  std::vector<std::string> ReadSections() const override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& key) override;

 private:
  TIniContent Load(std::string* eol = nullptr) const;
  template <class F>
  void Modify(F&& change);
};

// In memory: read once on construction, written whole by UpdateFile.
class TMemIniFile : public TCustomIniFile {
 public:
  explicit TMemIniFile(std::string fileName);

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const override;
  void WriteString(const std::string& section, const std::string& key,
                   const std::string& value) override;
  std::vector<std::string> ReadSection(const std::string& section) const override;
  std::vector<std::string> ReadSections() const override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& key) override;

  // Writes the content to FileName(); false (and LastError) when that fails.
  bool UpdateFile();
  void Clear() { content_.Clear(); }
  // Line end used by UpdateFile: the one of the file read, CR LF for a new file.
  const std::string& LineEnd() const { return eol_; }

 private:
  TIniContent content_;
  std::string eol_ = "\r\n";
};

}  // namespace zeb7
