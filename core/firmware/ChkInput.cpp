#include "firmware/ChkInput.h"

#include <optional>
#include <string>

#include "firmware/NumberText.h"

namespace zeb7 {

namespace {

using numbertext::TRadixValue;

std::optional<TRadixValue> ParseDecimal64(std::string_view s) {
  bool negative = false;
  std::size_t i = 0;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    i = 1;
  }
  if (i == s.size()) return std::nullopt;
  std::uint64_t v = 0;
  const std::uint64_t limit = negative ? (std::uint64_t{1} << 63) : (std::uint64_t{1} << 63) - 1;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    const auto d = static_cast<std::uint64_t>(s[i] - '0');
    if (v > (limit - d) / 10) return std::nullopt;  // a 64-bit overflow is a conversion error
    v = v * 10 + d;
  }
  return TRadixValue{negative ? 0 - v : v, false};
}

}  // namespace

std::int64_t HexToInt64(std::string_view text) {
  const auto r = numbertext::ParseRadixText(text, 16);
  if (!r) throw EConvertError("invalid hex number");
  return static_cast<std::int64_t>(r->value);
}

std::int64_t BinToInt64(std::string_view text) {
  const auto r = numbertext::ParseRadixText(text, 2);
  if (!r) throw EConvertError("invalid binary number");
  return static_cast<std::int64_t>(r->value);
}

bool ParseNumber(std::string_view text, std::int32_t& value) {
  std::string s(numbertext::Trim(text));
  for (char& c : s) c = numbertext::LowerAscii(c);
  if (s.empty()) return false;
  std::optional<TRadixValue> r;
  if (s.back() == 'h' || s.find("0x") != std::string::npos) {
    r = numbertext::ParseRadixText(s, 16);
  } else if (s.back() == 'b') {
    r = numbertext::ParseRadixText(s, 2);
  } else {
    r = ParseDecimal64(s);
  }
  if (!r || r->overflow) return false;
  const auto v = static_cast<std::int64_t>(r->value);
  // Wrapping a longer number into 32 bits would turn a mistyped address into a valid-looking one.
  if (v < INT32_MIN || v > static_cast<std::int64_t>(UINT32_MAX)) return false;
  value = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
  return true;
}

}  // namespace zeb7
