// The subject and quote routines on their own, where a sanitizer can watch them.
#include <climits>

#include <gtest/gtest.h>

#include "core/TextUtil.h"
#include "mailtext/MailText.h"

namespace {

using namespace kvl;

std::string Lowered(std::string_view text) { return AsciiLowered(text); }

TEST(PrefixWords, ItemsAreCutAtBarsLoweredAndEmptyOnesDropped) {
  EXPECT_EQ(PrefixWords("SV|Vs||", Lowered), (std::vector<std::string>{"sv", "vs"}));
  EXPECT_TRUE(PrefixWords("", Lowered).empty());
  EXPECT_TRUE(PrefixWords("|", Lowered).empty());
}

TEST(Subjects, ChainsEndWherePrefixesStop) {
  EXPECT_EQ(CleanSubject("", {}), "");
  EXPECT_EQ(CleanSubject(" \t", {}), "");
  EXPECT_EQ(CleanSubject("Re:", {}), "");
  EXPECT_EQ(CleanSubject("Re", {}), "Re");
  EXPECT_EQ(CleanSubject("\x01Re: \x02x", {}), "x");
  EXPECT_EQ(CountReplies("  ", false, {}, {}), "");
  EXPECT_EQ(CountReplies("Re[999]: AW[99]: Re[-1]: x", false, {}, {}), "1099");  // "[-1]" is no number
  // A long chain is walked once: every pass cuts at least one prefix off.
  std::string chain;
  for (int i = 0; i < 100000; ++i) chain += "Re: ";
  EXPECT_EQ(CleanSubject(chain + "x", {}), "x");
  EXPECT_EQ(CountReplies(chain + "x", false, {}, {}), "100000");
}

TEST(Quotes, MarksAtLineEndsAndExtremeWindows) {
  EXPECT_EQ(DeleteQuotes(">", 6, ">"), "\r\n");
  EXPECT_EQ(DeleteQuotes("x>", 2, ">"), "\r\n");
  EXPECT_EQ(DeleteQuotes("x>", 1, ">"), "x>\r\n");
  EXPECT_EQ(DeleteQuotes("> > >", INT_MAX, ">"), "\r\n");
  EXPECT_EQ(DeleteQuotes("> x", INT_MIN, ">"), "> x\r\n");
  EXPECT_EQ(DeleteQuotes("a\r\n", 6, "\r\n"), "a\r\n\r\n");  // the line's own CR LF is no mark to strip
  EXPECT_EQ(AddQuotes("\r\n", ""), "\r\n\r\n");
}

}  // namespace
