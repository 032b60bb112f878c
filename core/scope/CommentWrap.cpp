#include "scope/CommentWrap.h"

namespace zeb7 {

namespace {
bool IsBreakChar(char16_t c) { return c == u' ' || c == u'(' || c == u'*' || c == u'+' || c == u'-' || c == u'/'; }
}  // namespace

std::u16string PrepareCommentForWrapping(std::u16string t, int32_t iLimit, const TTextWidth& width) {
  // 1-based positions as the renderer counts them: s line start, b last break.
  auto at = [&t](size_t pos) { return t[pos - 1]; };
  size_t s = 1, b = 1;
  for (size_t i = 2; i <= t.size(); ++i) {
    const int32_t w = width(std::u16string_view(t).substr(s - 1, i - s));
    if (w < iLimit) {
      if (IsBreakChar(at(i))) b = i;
      if (at(i) == u'\r' || at(i) == u'\n') {
        b = i;
        s = i + 1;
        ++i;
      }
    } else if (b > s) {
      if (at(b) != u' ') {
        t.insert(b - 1, 1, u' ');
        ++i;
      }
      s = b;
    } else {
      t.insert(i - 2, 1, u' ');  // before character i - 1
      s = i + 1;
      ++i;
    }
  }
  return t;
}

}  // namespace zeb7
