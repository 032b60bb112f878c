#pragma once
// The parameter file (*.kvtp): type plates, [Parameters] with the values of
// THUMB, CHECK and RADIO parameters, [Parameters_Extended] with every
// parameter's descriptor. Windows-1252 with CR LF in the file; Latin-1 inside.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeb7 {

class TDriveModel;
class TParameterList;

// File lines without their line ends (CR LF, LF or a lone CR). A UTF-8 byte
// order mark is dropped and the text taken as UTF-8; otherwise Windows-1252.
// Either way the lines come back as Latin-1.
std::vector<std::string> SplitFileLines(std::string_view bytes);
// Reads a file into lines; false with `error` when it cannot be read.
bool ReadFileLines(const std::string& path, std::vector<std::string>& lines, std::string& error);

// The database holds every descriptor and a value read from the drive for
// every parameter of the present targets (only then may it be saved).
bool DatabaseComplete(TDriveModel& model);

// A 64-bit value as the file holds it: the signed 32-bit form when it fits,
// else the whole value.
std::string FileValueText(int64_t value);

// The whole file as Windows-1252 bytes with CR LF line ends.
std::string BuildParameterFile(TDriveModel& model);
// BuildParameterFile, written atomically; false with `error`.
bool WriteParameterFile(TDriveModel& model, const std::string& path, std::string& error);

// One line of [Parameters], its words read right-anchored: the target first,
// the value last, the firmware name before it, the group the words between.
struct TParamLine {
  int LineNumber = 0;   // 1-based line of the file
  int32_t Target = 0;
  bool HasGroup = false;  // false: three words, looked up by name alone
  std::string Group;    // Latin-1
  std::string Name;     // Latin-1
  int64_t Value = 0;
};

// Index of the first line equal to `section` (e.g. "[Parameters]"), or -1.
int FindSection(const std::vector<std::string>& lines, std::string_view section);
// The lines after `start` up to the first one beginning with "[".
std::vector<std::string> SectionLines(const std::vector<std::string>& lines, int start);

// Decimal text with an optional sign to a 64-bit integer, nothing else around it.
bool ParseInt64(std::string_view text, int64_t& value);

// Reads the [Parameters] section. Lines without a numeric target or with
// fewer than three words are skipped; a value that is not an integer fails
// the whole read (false, `error` names the line; `out` keeps the lines
// before it, for display only) so that nothing is sent.
bool ReadParametersSection(const std::vector<std::string>& lines, std::vector<TParamLine>& out,
                           std::string& error);

// A matched value: parameter key, not the parameter (it may be freed meanwhile).
struct TParamSetting {
  int32_t Key = 0;
  int64_t Value = 0;
  std::string Label;  // "group/name" or "name" for messages, Latin-1
};

struct TParamMatch {
  std::vector<TParamSetting> Settings;  // ascending key, one per parameter
  int Obsolete = 0;
  std::vector<std::string> ObsoleteMessages;  // "Parameter %s/%s could not be updated (obsolete)"
};

// The parameter is known, has a descriptor checksum and its checksum and
// firmware name are confirmed.
bool UsableParameter(const class TParameter* p);
// Matches the lines with the database; the first line of a parameter wins.
TParamMatch MatchParameters(const std::vector<TParamLine>& lines, TParameterList& params);

// Splits a line of [Parameters_Extended] into blank-separated and quoted
// fields; returns the number of fields (a field still open at the end counts).
// Stops once more than `count` fields are complete.
int SplitFields(std::string_view line, int count, std::vector<std::string>& fields);

}  // namespace zeb7

namespace zeb7 {

// The [TypePlate t] lines of a file that differ from the connected drive's
// type plates, one text per difference (Latin-1); empty when they agree or the
// file has none.
std::vector<std::string> TypePlateDifferences(const std::vector<std::string>& lines, TDriveModel& model);

}  // namespace zeb7
