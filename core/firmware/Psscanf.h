#pragma once
// Formatted text scanner: a small %d/%x/%f/%s scanner over one line of 8-bit text.
// Used by the firmware image readers and by the parameter file readers.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace zeb7 {

// Raised by the number converters; ParseNumber turns it into false, ScanFormatted into a failed field.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One destination of ScanFormatted. %d and %x store into int32_t, %f into long double or double,
// %s into std::string. A destination of the wrong kind fails the field instead of being written.
using TScanDest = std::variant<std::int32_t*, long double*, double*, std::string*>;

// Walks `format` over `input` and stores the converted fields into `dests` in order.
// Returns the number of fields stored; callers compare it with the count they expect.
//  - a literal character skips zero or more equal input characters and never fails;
//  - %[*][width]{d,x,f,s} (letter in either case); "*" scans without storing; width defaults to 255
//    and counts leading white space and the sign;
//  - white space is every character up to and including the blank.
int ScanFormatted(std::string_view input, std::string_view format, std::initializer_list<TScanDest> dests);
int ScanFormatted(std::string_view input, std::string_view format, const TScanDest* dests, int destCount);

// Hexadecimal text to a 32-bit integer (wrapping). Accepts surrounding blanks, a leading sign,
// "0x" after a leading "0" and a trailing "h". Throws EConvertError("Invalid hex number").
std::int32_t HexToInt(std::string_view text);

// Non-throwing form of HexToInt.
std::optional<std::int32_t> TryHexToInt(std::string_view text);

// Scans one %<width>X field at the start of `p` (at most `avail` characters), exactly as
// ScanFormatted would with the format "%<width>X". The hex readers call it per byte.
std::optional<std::int32_t> ScanHexField(const char* p, std::size_t avail, std::size_t width);

}  // namespace zeb7
