#include <cstdint>
#include <string>
#include <string_view>

#include "firmware/ChkInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::int32_t value = 0;
  if (zeb7::ParseNumber(text, value)) {
    // Whatever was accepted reads back the same from its decimal form.
    std::int32_t again = 0;
    if (!zeb7::ParseNumber(std::to_string(value), again) || again != value) __builtin_trap();
  }
  try {
    (void)zeb7::HexToInt64(text);
  } catch (const zeb7::EConvertError&) {
  }
  try {
    (void)zeb7::BinToInt64(text);
  } catch (const zeb7::EConvertError&) {
  }
  return 0;
}
