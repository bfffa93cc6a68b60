// The subject and quote routines on their own, where a sanitizer can watch them.
#include <climits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

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
  for (const auto& [subject, clean] : std::vector<std::pair<std::string, std::string>>{
           {"", ""}, {" \t", ""}, {"Re:", ""}, {"Re", "Re"}, {"\x01Re: \x02x", "x"}, {"Antwort: x", "x"}})
    EXPECT_EQ(CleanSubject(subject, {}), clean) << subject;
  EXPECT_EQ(CountReplies("  ", false, {}, {}), "");
  EXPECT_EQ(CountReplies("Re[999]: AW[99]: Re[-1]: x", false, {}, {}), "1099");  // "[-1]" is no number
  // A long chain is walked once: every pass cuts at least one prefix off.
  std::string chain;
  for (int i = 0; i < 100000; ++i) chain += "Re: ";
  EXPECT_EQ(CleanSubject(chain + "x", {}), "x");
  EXPECT_EQ(CountReplies(chain + "x", false, {}, {}), "100000");
}

TEST(Subjects, TheLaterListedWordDecidesAndExtraWordsComeLast) {
  EXPECT_EQ(CountReplies("Ref[3]: x", false, {}, {}), "3");       // "ref" is listed after "re"
  EXPECT_EQ(CountReplies("Ref[3]: x", false, {"re"}, {}), "0");   // an extra "re" comes later still: "f[3]" is no count
  EXPECT_EQ(CountReplies("SV: Fwd: Re: x", true, {"sv"}, {}), "2");
  EXPECT_EQ(CountReplies("SV: Fwd: Re: x", true, {}, {"sv"}), "1");  // an extra forward word is skipped too
}

// The words are a set: 200 000 of them against a chain of a million prefixes cost seven
// look-ups a step. Words of thousands of different lengths make every step cost their
// sum: such a walk gives up instead of running for minutes.
TEST(Subjects, LongWordListsAreASetAndCostlyOnesGiveUp) {
  std::string chain;
  for (int i = 0; i < 1 << 20; ++i) chain += "re: ";
  std::vector<std::string> words;
  for (int i = 0; i < 200000; ++i) words.push_back(std::string("w").append(std::to_string(i)));
  EXPECT_EQ(CleanSubject(chain + "x", words), "x");
  EXPECT_EQ(CountReplies(chain + "x", false, words, {}), std::to_string(1 << 20));

  std::vector<std::string> lengths;
  for (std::size_t n = 1; n <= 1000; ++n) lengths.push_back(std::string(n, 'q'));
  const std::string shortChain = chain.substr(0, 40000) + "x";
  EXPECT_EQ(CleanSubject(shortChain, lengths), std::nullopt);
  EXPECT_EQ(CountReplies(shortChain, false, {}, lengths), std::nullopt);
  EXPECT_EQ(CleanSubject("re: re: x", lengths), "x");  // a short chain with the same words is cheap
}

TEST(Quotes, MarksAtLineEndsAndExtremeWindows) {
  for (const auto& [text, window, marks, left] : std::vector<std::tuple<std::string, int, std::string, std::string>>{
           {">", 6, ">", "\r\n"}, {"x>", 2, ">", "\r\n"}, {"x>", 1, ">", "x>\r\n"}, {"> > >", INT_MAX, ">", "\r\n"},
           {"> x", INT_MIN, ">", "> x\r\n"},
           {"a\r\n", 6, "\r\n", "a\r\n\r\n"}})  // the line's own CR LF is no mark to strip
    EXPECT_EQ(DeleteQuotes(text, window, marks), left) << text << " " << window;
  EXPECT_EQ(AddQuotes("\r\n", ""), "\r\n\r\n");
}

}  // namespace
