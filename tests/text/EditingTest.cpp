// Replacement, translation, wrapping and justification rules.
#include <gtest/gtest.h>

#include "core/Limits.h"
#include "core/TextUtil.h"
#include "text/Editing.h"

namespace {

using namespace kvl;

TEST(Replace, OnePassAndRepetition) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("xAbCx abc", "abc", "-", AsciiUppered), "x-x -");
  EXPECT_EQ(ReplaceRepeatedly("aaa", "aa", "a", nullptr, nullptr), "a");
  EXPECT_EQ(ReplaceRepeatedly("a    b", "  ", " ", nullptr, nullptr), "a b");
  // Nested pairs need as many passes as the nesting is deep.
  EXPECT_EQ(ReplaceRepeatedly("((()))()", "()", "", nullptr, nullptr), "");
  // A replacement holding the search text is applied once instead of for ever.
  EXPECT_EQ(ReplaceRepeatedly("ab", "a", "aa", nullptr, nullptr), "aab");
  EXPECT_EQ(ReplaceRepeatedly("xAx", "a", "[A]", AsciiUppered, AsciiLowered), "x[A]x");
}

// Stretches between matches of every length up to three 16-byte blocks, results that
// outgrow their first room many times over, and the result cap on both sides.
TEST(Replace, StretchesGrowthAndTheCap) {
  auto reference = [](std::string_view text, std::string_view search, std::string_view replacement) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t found; (found = text.find(search, at)) != std::string_view::npos; at = found + search.size())
      out.append(text.substr(at, found - at)).append(replacement);
    return out.append(text.substr(at));
  };
  for (std::size_t gap = 0; gap <= 48; ++gap) {
    std::string text;
    for (int n = 0; n < 4; ++n) text += std::string(gap, static_cast<char>('a' + gap % 20)) + "<>";
    text += std::string(gap, 'z');
    for (std::string_view replacement : {"", "#", "[+]", "0123456789ABCDEFGHIJ"})
      ASSERT_EQ(ReplaceAll(text, "<>", replacement), reference(text, "<>", replacement)) << gap << " " << replacement;
  }
  const std::string many(1000, 'a');
  EXPECT_EQ(ReplaceAll(many, "a", "0123456789"), reference(many, "a", "0123456789"));
  EXPECT_EQ(ReplaceAll(std::string(kResultCap / 16, 'a'), "a", std::string(16, 'b')).size(), kResultCap);
  EXPECT_THROW(ReplaceAll(std::string(kResultCap / 16 + 1, 'a'), "a", std::string(16, 'b')), ResultTooLarge);
}

TEST(Replace, RepetitionThatWouldTakeTooLongEnds) {
  // Every pass removes only the innermost pair: quadratic work, stopped by the budget.
  const std::string nested = std::string(1000, '(') + std::string(1000, ')');
  EXPECT_EQ(ReplaceRepeatedly(nested, "()", "", nullptr, nullptr), "");  // a small text may nest deep
  const std::string deep = std::string(200000, '(') + std::string(200000, ')');
  EXPECT_THROW(ReplaceRepeatedly(deep, "()", "", nullptr, nullptr), ResultTooLarge);
}

TEST(Translate, MapsFirstOccurrenceAndDeletes) {
  EXPECT_EQ(TranslateChars("hello", "el", "ip", false, false), "hippo");
  EXPECT_EQ(TranslateChars("hello", "lel", "xyz", false, false), "hyxxo");  // first occurrence of l wins
  EXPECT_EQ(TranslateChars("HeLLo", "l", "_", false, true), "He__o");
  EXPECT_EQ(TranslateChars("HeLLo", "L", "_", false, false), "He__o");
  EXPECT_EQ(TranslateChars("a\tb c", "\t ", "", true, false), "abc");
}

TEST(Wrap, BreaksAtTheLastBlankOrHard) {
  EXPECT_EQ(WrapLines("aaaa bbbb cccc", 10), "aaaa bbbb\r\ncccc\r\n");
  EXPECT_EQ(WrapLines("aaaa\tbbbbbbb", 10), "aaaa\r\nbbbbbbb\r\n");
  EXPECT_EQ(WrapLines(" abcdefghijk", 10), "\r\nabcdefghij\r\nk\r\n");  // a blank at the front emits an empty line
  EXPECT_EQ(WrapLines("ab  cd", 3), "ab\r\n cd\r\n");                  // only one blank is dropped
  EXPECT_EQ(WrapLines("a\rb\nc\r\n\r\nd\r\n", 10), "a\r\nb\r\nc\r\n\r\nd\r\n");
  EXPECT_EQ(WrapLines("ab cd", 2), "ab cd");
  EXPECT_EQ(WrapLines("", 10), "");
}

TEST(Wrap, JustificationServesTheLastGapsFirst) {
  EXPECT_EQ(JustifyLine("a b c", 9), "a   b   c");
  EXPECT_EQ(JustifyLine("a b c", 8), "a  b   c");
  EXPECT_EQ(JustifyLine("  a b", 7), "  a   b");  // leading blanks are no gap
  EXPECT_EQ(JustifyLine("a b ", 6), "a  b  ");   // a run at the end is one
  EXPECT_EQ(JustifyLine("abc", 9), "abc");
  EXPECT_EQ(JustifyLine("a b c", 4), "a b c");
}

TEST(Wrap, AlignmentsWorkLineByLine) {
  const std::string text = "one two three four five six";
  // A blank just past the width is not looked at: "three four" breaks after "three".
  EXPECT_EQ(WrapAndAlign(text, 10, Alignment::Right), "   one two\r\n     three\r\n four five\r\n       six\r\n");
  EXPECT_EQ(WrapAndAlign(text, 10, Alignment::Centre), " one two\r\n  three\r\nfour five\r\n   six\r\n");
  EXPECT_EQ(WrapAndAlign(text, 10, Alignment::Justify), "one    two\r\nthree\r\nfour  five\r\nsix\r\n");
  // The last line of each paragraph stays; an empty line ends a paragraph.
  EXPECT_EQ(WrapAndAlign("a b\r\n\r\nc d e f g", 6, Alignment::Justify), "a b\r\n\r\nc d  e\r\nf g\r\n");
  // Narrow widths cut lines but still end each one in CR LF; right alignment keeps the tail.
  EXPECT_EQ(WrapAndAlign("abcd\nef", 2, Alignment::Left), "abcd\r\nef\r\n");
  EXPECT_EQ(WrapAndAlign("abcd", 2, Alignment::Right), "cd\r\n");
  EXPECT_EQ(WrapAndAlign("", 10, Alignment::Right), "");
  EXPECT_THROW(WrapAndAlign("x", 2000000000, Alignment::Right), ResultTooLarge);
}

}  // namespace
