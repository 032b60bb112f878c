#pragma once
// Arithmetic shared by every display window: the "|" field parser of control
// properties, the one rounding rule, the 8-pixel raster and the raw value of
// single-precision parameters. A widget never computes these itself.
#include <cstdint>
#include <string>
#include <string_view>

namespace zeb7 {

// Fields of a control-properties text, split at "|" (quotes protect a "|"),
// blanks and line breaks skipped before a field, empty fields dropped.
std::string ExtractString(std::string_view s, int index, const std::string& def);
// The leading "+", "-" and digits of the field as a decimal integer; `def`
// when the field is missing or that part is no number.
int32_t ExtractInteger(std::string_view s, int index, int32_t def);
// The field as a floating-point number with "." as separator, or `def`.
double ExtractFloat(std::string_view s, int index, double def);
// Number of non-empty fields.
int CountFields(std::string_view s);

// Rounds to the nearest integer, halves to the even neighbour. `ok` is false
// for NaN and for results outside int64; the result is then clamped
// (NaN to 0).
int64_t RoundHalfEven(long double x, bool* ok = nullptr);
// x rounded, as a float.
long double RoundC(long double x);
// Rounded to 64 bits and cut to the low 32; on overflow 2147483647 for x >= 0,
// -2147483647 below; NaN gives 0.
int32_t RoundI(long double x);
// Rounded to 64 bits; on overflow INT64_MAX for x >= 0, INT64_MIN below; NaN 0.
int64_t ExtendedToInt64(long double x);
// |v| without overflow: |INT64_MIN| is clamped to INT64_MAX.
uint64_t AbsClamped(int64_t v);

// ((v + 7 if roundUp) div 8) * 8, div truncating toward zero.
int32_t NearestRaster(int32_t v, bool roundUp);
inline constexpr int32_t kRaster = 8;

// 10^n for n = 0..18 as an integer.
int64_t Pow10i(int n);
long double Pow10l(int n);
// 10^digits - 1 for 1..18 digits (clamped beyond), the largest shown number.
int64_t AllNines(int digits);

// Single-precision parameters carry the IEEE 754 bit pattern in the low 32
// bits of the raw value.
float RawToSingle(int64_t raw);
// The bit pattern of `f`, sign-extended to 64 bits. NaN and infinities keep
// their pattern; out-of-range values become infinities as in a float cast.
int64_t SingleToRaw(float f);
// x narrowed to single precision without undefined behaviour (beyond the
// float range: +-infinity).
float ToSingle(long double x);

}  // namespace zeb7
