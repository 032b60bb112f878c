#pragma once
// The printout's comment is drawn by a renderer that wraps at spaces only, so
// the text first gets extra spaces: before a break character when a line is
// full, and inside any word wider than a whole line.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zeb7 {

// Width of a piece of text in the units of iLimit.
using TTextWidth = std::function<int32_t(std::u16string_view)>;

// Returns the text with the spaces inserted; lines stay narrower than iLimit.
std::u16string PrepareCommentForWrapping(std::u16string sText, int32_t iLimit, const TTextWidth& width);

}  // namespace zeb7
