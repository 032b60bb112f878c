#include "scope/OrvStrm.h"

namespace zeb7 {

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    size_t len = 1;
    size_t need = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
      need = 1, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      need = 2, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      need = 3, cp = b0 & 0x07, min = 0x10000;
    }
    if (need > 0) {
      bool ok = i + need < s.size();  // continuation bytes i+1 .. i+need present
      for (size_t k = 1; ok && k <= need; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
          ok = false;
        } else {
          cp = (cp << 6) | (b & 0x3F);
        }
      }
      if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
      if (ok)
        len = need + 1;
      else
        cp = 0xFFFD;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

void TOrvWriter::WriteWord(uint16_t w) {
  baData.push_back(static_cast<uint8_t>(w));
  baData.push_back(static_cast<uint8_t>(w >> 8));
}

void TOrvWriter::WriteLong(uint32_t l) {
  WriteWord(static_cast<uint16_t>(l));
  WriteWord(static_cast<uint16_t>(l >> 16));
}

void TOrvWriter::WriteString(std::string_view sUtf8) {
  const std::u16string u = Utf8ToUtf16(sUtf8);
  WriteWord(kOrvTagString);
  WriteLong(static_cast<uint32_t>(u.size()));
  for (char16_t c : u) WriteWord(static_cast<uint16_t>(c));
}

void TOrvWriter::WriteInteger(int32_t i) {
  WriteWord(kOrvTagInteger);
  WriteLong(static_cast<uint32_t>(i));
}

void TOrvWriter::WriteBool(bool b) {
  WriteWord(kOrvTagBool);
  baData.push_back(b ? 1 : 0);
}

void TOrvReader::Fail(const std::string& sWhat) {
  if (sError.empty()) sError = "offset " + std::to_string(uPos) + ": " + sWhat;
}

bool TOrvReader::Need(size_t n, const char* sWhat) {
  if (Failed()) return false;
  if (Remaining() < n) {
    Fail(std::string("file ends inside ") + sWhat);
    return false;
  }
  return true;
}

bool TOrvReader::ReadWord(uint16_t& w) {
  if (!Need(2, "a 16-bit value")) return false;
  w = static_cast<uint16_t>(baData[uPos] | (baData[uPos + 1] << 8));
  uPos += 2;
  return true;
}

bool TOrvReader::ReadLong(uint32_t& l) {
  if (!Need(4, "a 32-bit value")) return false;
  l = static_cast<uint32_t>(baData[uPos]) | (static_cast<uint32_t>(baData[uPos + 1]) << 8) |
      (static_cast<uint32_t>(baData[uPos + 2]) << 16) | (static_cast<uint32_t>(baData[uPos + 3]) << 24);
  uPos += 4;
  return true;
}

bool TOrvReader::ReadTag(uint16_t wExpected, const char* sWhat) {
  if (!Need(2, sWhat)) return false;
  uint16_t w = 0;
  ReadWord(w);
  if (w != wExpected) {
    uPos -= 2;
    Fail(std::string("expected ") + sWhat + " (tag " + std::to_string(wExpected) + "), found tag " +
         std::to_string(w));
    return false;
  }
  return true;
}

bool TOrvReader::ReadString(std::string& sUtf8) {
  if (!ReadTag(kOrvTagString, "a text item")) return false;
  uint32_t l = 0;
  if (!Need(4, "a text item")) return false;
  ReadLong(l);
  const auto n = static_cast<int32_t>(l);
  if (n < 0 || static_cast<size_t>(n) > Remaining() / 2) {
    uPos -= 4;
    Fail("text length " + std::to_string(n) + " does not fit the " + std::to_string(Remaining() - 4) +
         " bytes left");
    return false;
  }
  std::u16string u;
  u.reserve(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    u.push_back(static_cast<char16_t>(baData[uPos] | (baData[uPos + 1] << 8)));
    uPos += 2;
  }
  sUtf8 = Utf16ToUtf8(u);
  return true;
}

bool TOrvReader::ReadInteger(int32_t& i) {
  if (!ReadTag(kOrvTagInteger, "an integer item")) return false;
  uint32_t l = 0;
  if (!Need(4, "an integer item")) return false;
  ReadLong(l);
  i = static_cast<int32_t>(l);
  return true;
}

bool TOrvReader::ReadBool(bool& b) {
  if (!ReadTag(kOrvTagBool, "a flag item")) return false;
  if (!Need(1, "a flag item")) return false;
  const uint8_t v = baData[uPos];
  if (v > 1) {
    Fail("flag value " + std::to_string(v) + " is neither 0 nor 1");
    return false;
  }
  ++uPos;
  b = v == 1;
  return true;
}

}  // namespace zeb7
