// INI text (settings and project files): parsing never fails, a rewrite is stable
// (what was written reads back the same and writes the same again).
#include <cstddef>
#include <cstdint>
#include <string>

#include "workspace/IniFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const zeb7::TIniContent first = zeb7::TIniContent::Parse(text);
  const std::string once = first.Serialize("\r\n");
  const zeb7::TIniContent second = zeb7::TIniContent::Parse(once);
  if (second.Serialize("\r\n") != once) __builtin_trap();
  if (second.Sections().size() != first.Sections().size()) __builtin_trap();
  for (const auto& s : first.Sections())
    for (const auto& e : s.entries) {
      if (!e.IsKey()) continue;
      const auto* back = second.FindEntry(s.name, e.key);
      if (!back || back->value != e.value) __builtin_trap();
    }
  return 0;
}
