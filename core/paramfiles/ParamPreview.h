#pragma once
// The preview of a parameter file: one row per parameter with its group path,
// caption and value formatted as the display windows show it, whether the
// connected drive has it and, beyond that, the drive's current value. Rows
// sorted by CompareRows; CSV and text exports.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb7 {

class TDriveModel;
class TStringLists;

struct TPreviewRow {
  // The five grid cells (Latin-1).
  std::string Found, MP, Group, Caption, Value;
  // Beyond the grid: what the row came from and how the drive stands.
  int32_t Target = 0;
  std::string GroupName, FirmwareName, ValueText;
  int32_t Key = -1;           // the drive's usable parameter, -1 if none
  std::string DriveValue;     // formatted like Value; empty without a drive parameter
  bool Differs = false;       // the drive holds another value than the file
  bool Writable = false;      // THUMB, CHECK or RADIO: the values a download writes
};

// <0: a first, 0: equal, >0: b first. "M/P" descending, then "Group", then
// "Caption" ascending, trimmed and without regard to letter case.
int CompareRows(const TPreviewRow& a, const TPreviewRow& b);

// "Upper -> Current" for group G of target t (names compared without case).
std::string GroupPath(const TStringLists& strings, int target, const std::string& group);

// The value formats. `error` is set when V must be an integer and is not.
std::string CheckFormat(const std::string& props, const std::string& v);
std::string LedFormat(const std::string& props, const std::string& v);
std::string ListFormat(const std::string& props, const std::string& v, int offset);
std::string BitListFormat(const std::string& props, const std::string& v);
std::optional<std::string> NumericFormat(const std::string& props, const std::string& v, int32_t typeNr);
// By control kind (upper case); M/P is set to "M" for measurements. Empty
// for kinds without a format. Nullopt when V is not the integer the format needs.
std::optional<std::string> FormatValue(const std::string& control, const std::string& props, const std::string& v,
                                       int32_t typeNr, std::string* mp = nullptr);

class TParamPreview {
 public:
  // Fills the rows from the file's lines; the drive model (may be null) says
  // which parameters are present and their values. False with Error() when a
  // value text is not an integer where one is needed; the rows so far stay.
  bool Display(const std::vector<std::string>& lines, const std::string& fileName, TDriveModel* model);

  const std::vector<TPreviewRow>& Rows() const { return rows_; }
  const std::vector<std::string>& Log() const { return log_; }
  const std::string& Error() const { return error_; }
  bool OldFormat() const { return oldFormat_; }
  int NotFound() const { return iNotFound_; }

  // Adds a row unless one compares equal; keeps the order.
  bool AddRow(TPreviewRow row);

 private:
  bool AddFileRow(TDriveModel* model, int32_t target, const std::string& group, const std::string& name,
                  const std::string& value, const std::string& control, const std::string& caption,
                  const std::string& props, int32_t typeNr, bool found, int32_t key);

  std::vector<TPreviewRow> rows_;
  std::vector<std::string> log_;
  std::string error_;
  bool oldFormat_ = false;
  int iNotFound_ = 0;
};

// The exports, header row first, Windows-1252 with CR LF.
std::string CsvLine(const TPreviewRow& r);
std::string TxtLine(const TPreviewRow& r);
TPreviewRow HeaderRow();
std::string BuildCsv(const std::vector<TPreviewRow>& rows);
std::string BuildTxt(const std::vector<TPreviewRow>& rows);

}  // namespace zeb7
