#pragma once
// The project file without widgets: sheets and display records in the order
// of the display list, the drive synchronisation's sections kept as they are.
// The GUI builds its sheets and windows from a TProjectDocument after
// ReadProjectFile, and fills one from its widget tree before SaveProjectFile
// (TDisplayCore::WriteRecord for each display; the drive sections from
// TFrmProjectState::WriteToIniFile into a TProjectIni). Texts in the items are
// Latin-1 (the model's form); the file is Windows-1252 with CR LF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "displays/DisplayKinds.h"
#include "workspace/IniFiles.h"

namespace zeb7 {

inline constexpr const char* kPageControlName = "PageControl1";
inline constexpr const char* kLostPageName = "LOST_PAGE";
inline constexpr const char* kMissingPageCaption = "<<-MISSING PAGE->>";
inline constexpr const char* kBrokenParametersCaption = "<<-BROKEN PARAMETERS->>";
inline constexpr const char* kSheetNameBase = "ScrollingTabSheet";
inline constexpr const char* kProjectExtension = "kvt";
inline constexpr int kProjectBackups = 5;
// Entries read at most, and the "Count" read when the key is missing.
inline constexpr int32_t kMaxProjectEntries = 100000;
inline constexpr int32_t kDefaultProjectCount = 100;
// Coordinates and sizes are clamped to this on reading.
inline constexpr int32_t kMaxProjectCoordinate = 32000;
inline constexpr size_t kNoParent = static_cast<size_t>(-1);

// One "Display<i>" section: a sheet (Class dcSheet) or a display window.
struct TProjectItem {
  TDisplayClass Class = dcNone;
  std::string Name;
  std::string Parent;  // sheets: "PageControl1"
  std::string Caption;
  // Displays: relative to the parent's content (a sheet unscrolled, a group
  // box its client area). Sheets: the sheet's bounds.
  int32_t Height = 23, Width = 168, Top = 0, Left = 0;

  // Display windows (defaults as read when a key is missing).
  int32_t Index = -1;
  std::string FwName = "???";
  uint16_t Checksum = 0;
  std::string Group = "???";
  int32_t GroupNr = 0;
  int32_t TypeNr = 0;
  int32_t UserClass = 0;
  int32_t Target = -1;
  std::string ControlProperties;
  int32_t DigLeft = 50;  // numeric display and thumb wheel

  // Sheets.
  int32_t PageIndex = -1;
  int32_t ClientTop = 0, ClientLeft = 0;  // the scroll origin when saved

  // Set by the reader.
  std::string Section;         // "Display7" as read ("" for placeholders)
  bool Placeholder = false;    // a page made for a parent that did not exist
  size_t ParentItem = kNoParent;  // index in Items of the sheet or group box; kNoParent: the page control

  bool IsSheet() const { return Class == dcSheet; }
  bool IsGroupBox() const { return Class == dcDisplayWin; }
};

struct TProjectDocument {
  // "Global", "DriveModes", "<t>Groups", "<t>GroupDescriptions",
  // "<t>GroupParents" as the file holds them (Windows-1252 values).
  TIniContent DriveSections;
  // Sheets in tab order, each followed by what lies on it depth-first (a
  // group box before its contents); displays on the page control itself last.
  std::vector<TProjectItem> Items;
  // Reading made placeholder pages or changed something: the project counts as modified.
  bool Modified = false;

  // The sheet indices in tab order.
  std::vector<size_t> Sheets() const;
  // Direct children of item `parent` (kNoParent: of the page control), in order.
  std::vector<size_t> Children(size_t parent) const;
  // Recomputes ParentItem from the names and puts Items into the order above.
  void Normalize();
  // The name of group `groupNr` of target `target` from "<t>Groups", "" if none (Latin-1).
  std::string GroupTableName(int32_t target, int32_t groupNr) const;
};

struct TProjectReadResult {
  bool Ok = false;         // false: the file could not be read at all
  std::string Error;       // why, for the user
  TProjectDocument Doc;
  // Status lines: skipped sections, clamped values, placeholder pages
  // ("Parent %s not found!", "Dummy Page %s created!").
  std::vector<std::string> Messages;
};

// Decodes and parses a whole file's bytes. Never fails: bad sections are
// skipped with a message.
TProjectReadResult ReadProjectText(std::string_view bytes);
// A missing or unreadable file gives Ok false and the reason.
TProjectReadResult ReadProjectFile(const std::string& path);

// The complete file: drive sections, "Displays"/"Count", "Display0"... in
// Items order; CR LF, Windows-1252.
std::string WriteProjectText(const TProjectDocument& doc);

// Writes the file beside the target and flushes it, then rotates the backups
// (".bak4" dropped, ".bak3" -> ".bak4" ... the previous file -> ".bak0") and
// renames the new file into place. On failure nothing on disk has changed
// and `error` says why.
bool SaveProjectFile(const std::string& path, const TProjectDocument& doc, std::string& error);
// path + ".bak" + n.
std::string ProjectBackupName(const std::string& path, int n);

// The files a project name refers to: the first command-line argument with
// its extension replaced by ".kvt" (added when it has none), absolute.
std::string ProjectFileFromArgument(const std::string& arg, const std::string& currentDir);
// "Untitled<i>.kvt" in `dir` for the smallest i >= 0 not taken.
std::string FirstFreeUntitled(const std::string& dir);

// Converts a file's bytes to Windows-1252: a file that is valid UTF-8 and
// holds non-ASCII characters is taken as UTF-8; anything else as it is.
std::string DecodeProjectBytes(std::string_view bytes);

}  // namespace zeb7
