// Input = a parameter file. Runs the line splitter, the [Parameters] reader,
// SplitFields on every line, and the preview (with an empty drive model).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/DriveModel.h"
#include "paramfiles/ParamFile.h"
#include "paramfiles/ParamPreview.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = zeb7::SplitFileLines(bytes);
  std::vector<zeb7::TParamLine> values;
  std::string error;
  const bool ok = zeb7::ReadParametersSection(lines, values, error);
  if (!ok && error.empty()) __builtin_trap();
  for (const auto& v : values)
    if (v.Name.empty()) __builtin_trap();
  std::vector<std::string> fields;
  for (const auto& l : lines) {
    const int n = zeb7::SplitFields(l, 8, fields);
    if (n < 0 || n > 9 || static_cast<std::size_t>(n) != fields.size()) __builtin_trap();
  }
  static zeb7::TDriveModel model;
  {
    auto lock = model.Lock();
    (void)zeb7::MatchParameters(values, model.ParameterList);
  }
  zeb7::TParamPreview pv;
  (void)pv.Display(lines, "fuzz", &model);
  for (std::size_t i = 1; i < pv.Rows().size(); ++i)
    if (zeb7::CompareRows(pv.Rows()[i - 1], pv.Rows()[i]) >= 0) __builtin_trap();
  (void)zeb7::BuildCsv(pv.Rows());
  (void)zeb7::BuildTxt(pv.Rows());
  return 0;
}
