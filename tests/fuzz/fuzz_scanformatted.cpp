// Input = format text, a newline, then the text to scan (no newline: both are the input).
#include <cstdint>
#include <string>
#include <string_view>

#include "firmware/Psscanf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const auto nl = all.find('\n');
  const std::string_view format = nl == std::string_view::npos ? all : all.substr(0, nl);
  const std::string_view input = nl == std::string_view::npos ? all : all.substr(nl + 1);

  std::int32_t a = 0, b = 0, c = 0;
  long double f = 0;
  double d = 0;
  std::string s, t;
  const zeb7::TScanDest dests[] = {&a, &b, &s, &f, &c, &d, &t};
  const int n = zeb7::ScanFormatted(input, format, dests, 7);
  if (n < 0 || n > 7) __builtin_trap();
  if (s.size() > 255 || t.size() > 255) __builtin_trap();

  const auto v = zeb7::TryHexToInt(input);
  try {
    if (zeb7::HexToInt(input) != *v) __builtin_trap();
  } catch (const zeb7::EConvertError&) {
    if (v) __builtin_trap();
  }
  for (std::size_t w = 0; w <= 3 && w <= input.size(); ++w) (void)zeb7::ScanHexField(input.data(), input.size(), w);
  return 0;
}
