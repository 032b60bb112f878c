// Oscillogram file reader on arbitrary bytes: refuses or accepts without
// reading past the buffer, and whatever it accepts survives a write and a
// second read unchanged.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "scope/OscillData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zeb7::TOscillData d;
  std::string err;
  if (!zeb7::DecodeOscillogram(std::span<const uint8_t>(data, size), d, err)) {
    if (err.empty()) __builtin_trap();
    return 0;
  }
  const auto bytes = zeb7::EncodeOscillogram(d);
  zeb7::TOscillData e;
  if (!zeb7::DecodeOscillogram(bytes, e, err)) __builtin_trap();
  if (e.iaRecorderData != d.iaRecorderData || e.asFormula != d.asFormula || e.asName != d.asName ||
      e.aboChecked != d.aboChecked || e.iZoomXIndex != d.iZoomXIndex || e.iZoomYIndex != d.iZoomYIndex ||
      e.iMaxYIndex != d.iMaxYIndex || e.iMinYIndex != d.iMinYIndex ||
      static_cast<int16_t>(e.iUploadRecorder) != static_cast<int16_t>(d.iUploadRecorder))
    __builtin_trap();
  return 0;
}
