// Project files: any bytes read without a crash; what is written reads back as
// the same sheets and displays in the same places, and the tree is sound.
#include <cstddef>
#include <cstdint>
#include <string>

#include "workspace/ProjectDocument.h"

namespace {

void CheckTree(const zeb7::TProjectDocument& doc) {
  int32_t page = 0;
  for (size_t i = 0; i < doc.Items.size(); ++i) {
    const auto& it = doc.Items[i];
    if (it.Class == zeb7::dcNone) __builtin_trap();
    if (it.IsSheet() && it.PageIndex != page++) __builtin_trap();
    if (it.ParentItem != zeb7::kNoParent) {
      if (it.ParentItem >= i) __builtin_trap();  // a container comes first
      const auto& p = doc.Items[it.ParentItem];
      if (!p.IsSheet() && !p.IsGroupBox()) __builtin_trap();
    }
    if (it.Height < 0 || it.Height > zeb7::kMaxProjectCoordinate) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const zeb7::TProjectReadResult first = zeb7::ReadProjectText(bytes);
  CheckTree(first.Doc);
  const std::string once = zeb7::WriteProjectText(first.Doc);
  const zeb7::TProjectReadResult second = zeb7::ReadProjectText(once);
  CheckTree(second.Doc);
  if (second.Doc.Items.size() != first.Doc.Items.size()) __builtin_trap();
  for (size_t i = 0; i < first.Doc.Items.size(); ++i) {
    const auto& a = first.Doc.Items[i];
    const auto& b = second.Doc.Items[i];
    if (a.Class != b.Class || a.ParentItem != b.ParentItem || a.Left != b.Left || a.Top != b.Top) __builtin_trap();
    // Names and captions change only when the written file reads as UTF-8
    // (bytes that happen to form UTF-8 sequences).
    if (zeb7::DecodeProjectBytes(once) == once && (a.Name != b.Name || a.Caption != b.Caption)) __builtin_trap();
  }
  return 0;
}
