#include "displays/DisplayMath.h"

#include <bit>
#include <climits>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace zeb7 {
namespace {

constexpr long double kTwo63 = 9223372036854775808.0L;  // 2^63, exact in every long double

std::vector<std::string_view> SplitFields(std::string_view s) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\r' || s[i] == '\n')) ++i;
    size_t start = i;
    char quote = 0;
    while (i < s.size()) {
      char c = s[i];
      if (quote) {
        if (c == quote) quote = 0;
        else if (c == '\r' || c == '\n') break;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == '|' || c == '\r' || c == '\n') {
        break;
      }
      ++i;
    }
    if (i > start) fields.push_back(s.substr(start, i - start));
    if (i < s.size()) ++i;  // the separator
  }
  return fields;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string ExtractString(std::string_view s, int index, const std::string& def) {
  if (index < 0) return def;
  auto f = SplitFields(s);
  return static_cast<size_t>(index) < f.size() ? std::string(f[index]) : def;
}

int32_t ExtractInteger(std::string_view s, int index, int32_t def) {
  if (index < 0) return def;
  auto f = SplitFields(s);
  if (static_cast<size_t>(index) >= f.size()) return def;
  std::string_view v = f[index];
  size_t n = 0;
  while (n < v.size() && (v[n] == '+' || v[n] == '-' || (v[n] >= '0' && v[n] <= '9'))) ++n;
  v = v.substr(0, n);
  bool neg = false;
  if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
    neg = v[0] == '-';
    v.remove_prefix(1);
  }
  if (v.empty()) return def;
  int64_t r = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return def;  // a second sign
    r = r * 10 + (c - '0');
    if (r > 2147483648LL) return def;
  }
  if (neg) r = -r;
  if (r > INT32_MAX || r < INT32_MIN) return def;
  return static_cast<int32_t>(r);
}

double ExtractFloat(std::string_view s, int index, double def) {
  if (index < 0) return def;
  auto f = SplitFields(s);
  if (static_cast<size_t>(index) >= f.size()) return def;
  std::string_view v = TrimBlanks(f[index]);
  if (!v.empty() && v[0] == '+') v.remove_prefix(1);
  if (v.empty() || v[0] == '+') return def;
  double r = 0;
  auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), r);
  if (ec != std::errc() || p != v.data() + v.size() || !std::isfinite(r)) return def;
  return r;
}

int CountFields(std::string_view s) { return static_cast<int>(SplitFields(s).size()); }

int64_t RoundHalfEven(long double x, bool* ok) {
  if (ok) *ok = true;
  if (std::isnan(x)) {
    if (ok) *ok = false;
    return 0;
  }
  long double r = std::floor(x);
  long double diff = x - r;
  if (diff > 0.5L || (diff == 0.5L && std::fmod(r, 2.0L) != 0)) r += 1;
  if (r >= kTwo63) {
    if (ok) *ok = false;
    return std::numeric_limits<int64_t>::max();
  }
  if (r < -kTwo63) {
    if (ok) *ok = false;
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(r);
}

long double RoundC(long double x) {
  if (std::isnan(x) || std::isinf(x) || std::fabs(x) >= kTwo63) return x;  // already integral
  return static_cast<long double>(RoundHalfEven(x));
}

int32_t RoundI(long double x) {
  if (std::isnan(x)) return 0;
  bool ok = true;
  int64_t r = RoundHalfEven(x, &ok);
  if (!ok) return x >= 0 ? 2147483647 : -2147483647;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r)));
}

int64_t ExtendedToInt64(long double x) { return RoundHalfEven(x); }

uint64_t AbsClamped(int64_t v) {
  if (v == std::numeric_limits<int64_t>::min()) return static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  return static_cast<uint64_t>(v < 0 ? -v : v);
}

int32_t NearestRaster(int32_t v, bool roundUp) {
  int64_t w = static_cast<int64_t>(v) + (roundUp ? 7 : 0);
  int64_t r = (w / kRaster) * kRaster;
  if (r > INT32_MAX) r -= kRaster;  // the last raster point that fits
  return static_cast<int32_t>(r);
}

int64_t Pow10i(int n) {
  if (n < 0) return 1;
  if (n > 18) n = 18;
  int64_t r = 1;
  while (n-- > 0) r *= 10;
  return r;
}

long double Pow10l(int n) { return std::pow(10.0L, static_cast<long double>(n)); }

int64_t AllNines(int digits) {
  if (digits < 1) return 0;
  return Pow10i(digits > 18 ? 18 : digits) - 1;
}

float RawToSingle(int64_t raw) {
  return std::bit_cast<float>(static_cast<uint32_t>(static_cast<uint64_t>(raw)));
}

int64_t SingleToRaw(float f) {
  return static_cast<int64_t>(static_cast<int32_t>(std::bit_cast<uint32_t>(f)));
}

float ToSingle(long double x) {
  if (std::isnan(x)) return std::numeric_limits<float>::quiet_NaN();
  constexpr long double kMax = std::numeric_limits<float>::max();
  if (x > kMax) return std::numeric_limits<float>::infinity();
  if (x < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(x);
}

}  // namespace zeb7
