#include "firmware/Psscanf.h"

#include <algorithm>
#include <charconv>

#include "firmware/NumberText.h"

namespace zeb7 {

namespace {

using numbertext::HexDigit;
using numbertext::IsBlank;

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return HexDigit(c) >= 0; }
bool IsFloatChar(char c) { return IsDecimal(c) || c == '.'; }

// Blanks, an optional sign and a run of characters from the set, all within [pos, limit).
// On success returns the text from the sign on and sets `end`; on failure nothing is consumed.
template <typename InSet>
std::optional<std::string_view> TakeNumberText(std::string_view in, std::size_t pos, std::size_t limit,
                                               InSet inSet, std::size_t& end) {
  std::size_t p = pos;
  while (p < limit && IsBlank(in[p])) ++p;
  const std::size_t start = p;
  if (p < limit && (in[p] == '+' || in[p] == '-')) ++p;
  const std::size_t digits = p;
  while (p < limit && inSet(in[p])) ++p;
  if (p == digits) return std::nullopt;
  end = p;
  return in.substr(start, p - start);
}

std::optional<std::int32_t> DecimalToInt32(std::string_view t) {
  bool negative = false;
  std::size_t i = 0;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    i = 1;
  }
  std::int64_t v = 0;
  for (; i < t.size(); ++i) {
    v = v * 10 + (t[i] - '0');
    if (v > 2147483648LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::optional<long double> TextToFloat(std::string_view t) {
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  long double v = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
  return negative ? -v : v;
}

template <typename T>
bool Store(const TScanDest& dest, T value) {
  if (auto* p = std::get_if<T*>(&dest); p && *p) {
    **p = value;
    return true;
  }
  return false;
}

bool StoreFloat(const TScanDest& dest, long double value) {
  if (Store<long double>(dest, value)) return true;
  return Store<double>(dest, static_cast<double>(value));
}

}  // namespace

std::optional<std::int32_t> TryHexToInt(std::string_view text) {
  const auto r = numbertext::ParseRadixText(text, 16);
  if (!r) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(r->value));
}

std::int32_t HexToInt(std::string_view text) {
  const auto v = TryHexToInt(text);
  if (!v) throw EConvertError("Invalid hex number");
  return *v;
}

std::optional<std::int32_t> ScanHexField(const char* p, std::size_t avail, std::size_t width) {
  const std::size_t limit = std::min(avail, width);
  if (limit == 2) {  // the common case of the hex readers: two plain digits
    const int hi = HexDigit(p[0]), lo = HexDigit(p[1]);
    if (hi >= 0 && lo >= 0) return hi * 16 + lo;
  }
  const std::string_view in(p, limit);
  std::size_t end = 0;
  const auto t = TakeNumberText(in, 0, limit, IsHex, end);
  if (!t) return std::nullopt;
  return TryHexToInt(*t);
}

int ScanFormatted(std::string_view input, std::string_view format, std::initializer_list<TScanDest> dests) {
  return ScanFormatted(input, format, dests.begin(), static_cast<int>(dests.size()));
}

int ScanFormatted(std::string_view input, std::string_view format, const TScanDest* dests, int destCount) {
  std::size_t ip = 0, fp = 0;
  int count = 0;
  bool ok = true;
  while (fp < format.size() && ip < input.size() && count < destCount && ok) {
    const char fc = format[fp++];
    if (fc != '%') {
      while (ip < input.size() && input[ip] == fc) ++ip;
      continue;
    }
    bool suppress = false;
    if (fp < format.size() && format[fp] == '*') {
      suppress = true;
      ++fp;
    }
    std::size_t width = 255;
    if (fp < format.size() && IsDecimal(format[fp])) {
      width = 0;
      while (fp < format.size() && IsDecimal(format[fp])) {
        width = std::min<std::size_t>(width * 10 + static_cast<std::size_t>(format[fp] - '0'), 1u << 20);
        ++fp;
      }
    }
    const char conv = fp < format.size() ? numbertext::LowerAscii(format[fp++]) : '\0';
    const std::size_t limit = std::min(input.size(), ip + width);
    const TScanDest* dest = suppress ? nullptr : &dests[count];
    std::size_t end = ip;
    switch (conv) {
      case 'd': {
        const auto t = TakeNumberText(input, ip, limit, IsDecimal, end);
        const auto v = t ? DecimalToInt32(*t) : std::nullopt;
        ok = v && (!dest || Store<std::int32_t>(*dest, *v));
        break;
      }
      case 'x': {
        const auto t = TakeNumberText(input, ip, limit, IsHex, end);
        const auto v = t ? TryHexToInt(*t) : std::nullopt;
        ok = v && (!dest || Store<std::int32_t>(*dest, *v));
        break;
      }
      case 'f': {
        const auto t = TakeNumberText(input, ip, limit, IsFloatChar, end);
        const auto v = t ? TextToFloat(*t) : std::nullopt;
        ok = v && (!dest || StoreFloat(*dest, *v));
        break;
      }
      case 's': {
        std::size_t p = ip;
        while (p < input.size() && IsBlank(input[p])) ++p;
        if (p >= input.size()) {
          ok = false;
          break;
        }
        end = p;
        while (end < input.size() && !IsBlank(input[end])) ++end;
        const std::size_t keep = std::min<std::size_t>({end - p, width, 255});
        ok = !dest || Store<std::string>(*dest, std::string(input.substr(p, keep)));
        break;
      }
      default:
        ok = false;
        break;
    }
    if (ok) {
      ip = end;
      if (!suppress) ++count;
    }
  }
  return count;
}

}  // namespace zeb7
