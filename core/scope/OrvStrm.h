#pragma once
// Tagged values of the oscillogram file: a 16-bit tag, then the value, all
// little-endian. Texts are stored as UTF-16 code units and held as UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zeb7 {

constexpr uint16_t kOrvTagString = 8888;
constexpr uint16_t kOrvTagInteger = 8889;
constexpr uint16_t kOrvTagBool = 8890;

std::u16string Utf8ToUtf16(std::string_view s);    // invalid bytes become U+FFFD
std::string Utf16ToUtf8(std::u16string_view s);    // lone surrogates become U+FFFD

class TOrvWriter {
 public:
  void WriteString(std::string_view sUtf8);
  void WriteInteger(int32_t i);
  void WriteBool(bool b);
  // Untagged raw values for headers.
  void WriteWord(uint16_t w);
  void WriteLong(uint32_t l);

  const std::vector<uint8_t>& Bytes() const { return baData; }

 private:
  std::vector<uint8_t> baData;
};

// Reads from a byte span and never past its end. After the first failure
// every read fails and ErrorText() says what was wrong and where.
class TOrvReader {
 public:
  explicit TOrvReader(std::span<const uint8_t> data) : baData(data) {}

  bool ReadString(std::string& sUtf8);
  bool ReadInteger(int32_t& i);
  bool ReadBool(bool& b);
  bool ReadWord(uint16_t& w);
  bool ReadLong(uint32_t& l);

  size_t Position() const { return uPos; }
  size_t Remaining() const { return baData.size() - uPos; }
  bool Failed() const { return !sError.empty(); }
  const std::string& ErrorText() const { return sError; }
  void Fail(const std::string& sWhat);

 private:
  bool Need(size_t n, const char* sWhat);
  bool ReadTag(uint16_t wExpected, const char* sWhat);

  std::span<const uint8_t> baData;
  size_t uPos = 0;
  std::string sError;
};

}  // namespace zeb7
