#pragma once
// Drive texts are kept as Latin-1 code points (one byte per character, byte
// value = character code), exactly as they travel on the wire, so checksums
// and write-backs see the drive's own code units. These helpers convert at the
// edges: UTF-8 for display, Windows-1252 for files.
#include <string>
#include <string_view>

namespace zeb7 {

std::string Latin1ToUtf8(std::string_view latin1);
// Code points above U+00FF and malformed sequences become '?'.
std::string Utf8ToLatin1(std::string_view utf8);

// Latin-1 U+0080..U+009F have no Windows-1252 form except the five unused
// bytes, which keep their value; the others become '?'.
std::string Latin1ToCp1252(std::string_view latin1);
// Windows-1252 characters outside Latin-1 (the euro sign and friends) become '?'.
std::string Cp1252ToLatin1(std::string_view cp1252);

std::string Cp1252ToUtf8(std::string_view cp1252);

// Upper-cases the letters a to z only.
std::string AsciiUpper(std::string_view s);

}  // namespace zeb7
