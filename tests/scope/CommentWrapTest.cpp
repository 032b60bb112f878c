// The spaces the printout's comment gets before it is drawn wrapped at spaces.
#include <gtest/gtest.h>

#include "scope/CommentWrap.h"

using namespace zeb7;

namespace {
// Every character 10 units wide.
int32_t Width(std::u16string_view s) { return static_cast<int32_t>(s.size()) * 10; }
}  // namespace

TEST(CommentWrap, ShortTextStaysAsItIs) {
  EXPECT_EQ(PrepareCommentForWrapping(u"kurzer Text", 1000, Width), u"kurzer Text");
  EXPECT_EQ(PrepareCommentForWrapping(u"", 100, Width), u"");
}

TEST(CommentWrap, AWordWiderThanTheLineIsSplitBySpaces) {
  const std::u16string out = PrepareCommentForWrapping(std::u16string(30, u'x'), 100, Width);
  ASSERT_GT(out.size(), 30u);
  // No piece between spaces is wider than the limit plus the one character of
  // slack that the limit (the line width less a font height) leaves.
  size_t start = 0;
  while (start <= out.size()) {
    size_t end = out.find(u' ', start);
    if (end == std::u16string::npos) end = out.size();
    EXPECT_LE(Width(std::u16string_view(out).substr(start, end - start)), 110) << "piece at " << start;
    start = end + 1;
  }
  EXPECT_EQ(std::count(out.begin(), out.end(), u'x'), 30);
}

TEST(CommentWrap, ABreakBeforeAnOperatorGetsASpaceAndLineEndsRestartTheCount) {
  // "aaaa+bbbbbb": the line is full inside the b's, the break is the "+".
  EXPECT_EQ(PrepareCommentForWrapping(u"aaaa+bbbbbb", 80, Width), u"aaaa +bbbbbb");
  // After a line end the new line counts from zero: nothing is inserted.
  EXPECT_EQ(PrepareCommentForWrapping(u"aaaaaa\nbbbbbb", 80, Width), u"aaaaaa\nbbbbbb");
}
