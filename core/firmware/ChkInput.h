#pragma once
// Conversion of user-typed numbers (hexadecimal, base 2 or decimal) for the firmware windows.
#include <cstdint>
#include <string_view>

#include "firmware/Psscanf.h"  // EConvertError

namespace zeb7 {

// Hexadecimal text to a 64-bit integer (wrapping). Throws EConvertError("invalid hex number").
std::int64_t HexToInt64(std::string_view text);

// Base-2 text ("+"/"-" first, optional trailing "b") to a 64-bit integer (wrapping).
// Throws EConvertError("invalid binary number").
std::int64_t BinToInt64(std::string_view text);

// A number typed by the user: a trailing "h" or any "0x" means hexadecimal, else a trailing "b"
// means base 2, else signed decimal. Blanks around the text are ignored; a dot is never accepted.
// Returns false for anything that does not convert, and for values that need more than 32 bits
// (neither a signed nor an unsigned 32-bit reading fits), instead of storing their low 32 bits.
bool ParseNumber(std::string_view text, std::int32_t& value);

}  // namespace zeb7
