#pragma once
// Shared digit walking for the hexadecimal and binary converters (HexToInt, HexToInt64, BinToInt64).
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zeb7::numbertext {

inline bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Characters up to and including the blank are trimmed at both ends.
inline std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Hex digit values by character; -1 for every other character. A table, because the image
// readers look up two digits per data byte.
inline constexpr std::array<signed char, 256> kHexDigitValue = [] {
  std::array<signed char, 256> t{};
  for (auto& v : t) v = -1;
  for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<signed char>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) t[static_cast<std::size_t>(c)] = static_cast<signed char>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) t[static_cast<std::size_t>(c)] = static_cast<signed char>(c - 'A' + 10);
  return t;
}();

// Value 0..15 of a hex digit, or -1.
inline int HexDigit(char c) { return kHexDigitValue[static_cast<unsigned char>(c)]; }

struct TRadixValue {
  std::uint64_t value;  // two's-complement result, wrapped to 64 bits, sign applied
  bool overflow;        // the magnitude did not fit in 64 bits
};

// Radix 16: "+"/"-" only first, "h" only last, "x" only at position 1 or 2 right after a "0".
// Radix 2: "+"/"-" only first, "b" only last. At least one digit. Case-insensitive; the text is trimmed.
inline std::optional<TRadixValue> ParseRadixText(std::string_view text, int radix) {
  const std::string_view s = Trim(text);
  std::uint64_t v = 0;
  bool negative = false, overflow = false;
  int digits = 0;
  const std::size_t last = s.empty() ? 0 : s.size() - 1;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = LowerAscii(s[i]);
    int d = -1;
    if (radix == 16) {
      d = HexDigit(c);
    } else if (c == '0' || c == '1') {
      d = c - '0';
    }
    if (d >= 0) {
      const std::uint64_t r = static_cast<std::uint64_t>(radix);
      if (v > (UINT64_MAX - static_cast<std::uint64_t>(d)) / r) overflow = true;
      v = v * r + static_cast<std::uint64_t>(d);
      ++digits;
    } else if (c == '+' && i == 0) {
    } else if (c == '-' && i == 0) {
      negative = true;
    } else if (radix == 16 && c == 'h' && i == last) {
    } else if (radix == 16 && c == 'x' && (i == 1 || i == 2) && s[i - 1] == '0') {
    } else if (radix == 2 && c == 'b' && i == last) {
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  return TRadixValue{negative ? (0 - v) : v, overflow};
}

}  // namespace zeb7::numbertext
