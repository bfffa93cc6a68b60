// The header block, account list and first-name rules at their edges.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "addresses/Headers.h"

namespace {

using namespace kvl::addresses;

// The comments name the rule that decides (with none: male).
TEST(GenderRules, LaterRulesOverrideEarlierOnes) {
  for (const auto& [name, gender] : std::vector<std::pair<std::string, char>>{
           {"Peter", '1'}, {"Maria", '2'}, {"Heike", '2'}, {"Dani", '2'},  // none; 1
           {"e", '2'},                                                  // one letter is enough
           {"Andre", '1'}, {"Anika", '1'}, {"re", '1'},                  // 2 over 1; two letters are enough
           {"Hannah", '2'}, {"Jenny", '2'}, {"Britt", '2'},             // 3
           {"Katrin", '2'}, {"Beatrix", '2'}, {"Ines", '2'},            // 4, 5
           {"nes", '1'},                                                // three of its four letters are not enough
           {"Firma", '0'}, {"FA", '0'}, {" Familie\t", '0'}, {"fam", '0'},  // 6 over 1, trimmed and lowered first
           {"Fam.", '1'}, {"  ", '0'}})                                 // only the exact word
    EXPECT_EQ(GuessGender(name), gender) << name;
}

TEST(HeaderBlock, UnfoldsContinuationLinesAndBlankRuns) {
  EXPECT_EQ(UnfoldHeaderBlock("Subject: a\r\n\tlong\r\n   one\r\nTo:  x \t y \r\n"),
            "Subject: a long one\r\nTo: x y\r\n");
  // The text after the last CR LF is not taken, and does not continue the line before it.
  EXPECT_EQ(UnfoldHeaderBlock("A: 1\r\n 2"), "A: 1\r\n");
  EXPECT_EQ(UnfoldHeaderBlock("A: 1\r\n 2\r\n"), "A: 1 2\r\n");
  EXPECT_EQ(UnfoldHeaderBlock("A: 1"), "");
  EXPECT_EQ(UnfoldHeaderBlock(""), "");
  // An empty line ends a header like any other; a lone LF ends no line.
  EXPECT_EQ(UnfoldHeaderBlock("A: 1\r\n\r\nB: 2\n C\r\n"), "A: 1\r\n\r\nB: 2\n C\r\n");
  // Many blanks become one in one pass (a run of 10 000 would take 14 repeated halvings).
  EXPECT_EQ(UnfoldHeaderBlock("A:" + std::string(10000, ' ') + "b" + std::string(3, '\t') + "c\r\n"), "A: b c\r\n");
}

TEST(HeaderBlock, HeaderValueFindsTheFirstWholeName) {
  const std::string block = "Content-Language: de-CH\r\nX-Content-Language: fr\r\ncontent-language: en\r\nX-Empty:\r\nLast: z";
  EXPECT_EQ(HeaderValue(block, "content-LANGUAGE"), "de-CH");  // the first line counts, case kept
  EXPECT_EQ(HeaderValue(block, "X-Content-Language"), "fr");
  EXPECT_EQ(HeaderValue("X: \t\x01 v w \r\n", "x"), "v w ");  // only leading blanks and controls go
  // Empty, no CR LF after it, not at the start of its line, no block.
  EXPECT_EQ(HeaderValue(block, "X-Empty") + HeaderValue(block, "Last") + HeaderValue(block, "Language") +
                HeaderValue("", "X"),
            "");
}

TEST(HeaderBlock, MailerIsTheFirstMatchingLine) {
  for (const auto& [block, mailer] : std::vector<std::pair<std::string, std::optional<std::string>>>{
           {"From: a\r\n  x-MAILER:  Foo 1.0 \r\nUser-Agent: Bar\r\n", "Foo 1.0"},
           {"User-Agent: Bar/2\nX-Mailer: Foo\n", "Bar/2"}, {"USER-AGENT: b\n", "b"}, {"X-Mailer: x\n", "x"},
           {"X-Mailer:Foo\nUser-Agent:Bar\n", std::nullopt},  // the blank is required
           {"X-Mailer: \n", std::nullopt},                      // trimmed, the prefix is one short
           {"X-Mailer: Foo", std::nullopt},                     // a line without its LF is not read
           {"X-Mailers: Foo\n", std::nullopt}})
    EXPECT_EQ(MailerName(block), mailer) << block;
}

TEST(AccountOrder, KindsSelectTheBackslashForms) {
  const std::string file = "\\\\Work\r\n\\\\\\Shared\rplain\n\\Single\r\n\\\\\r\n\\\\\\\\Four\n\\\\Home";
  EXPECT_EQ(AccountNames(file, 0, ";") + "|" + AccountNames(file, 1, ";"), "Work;;Home|Shared;\\Four");
  EXPECT_EQ(AccountNames(file, 2, ", "), "Work, Shared, , \\Four, Home");
  EXPECT_EQ(AccountNames(file, 3, ";") + AccountNames(file, -1, ";") + AccountNames("", 2, ";"), "");
  EXPECT_EQ(AccountNames("\\\\a\r\n\\\\b\r\n", 0, "\r\n"), "a\r\nb");
}

TEST(LanguageLists, CodesMatchWholeListEntries) {
  EXPECT_TRUE(Listed("|de|at|", "de") && AnyCodeListed("|de|", "fr, de") && AnyCodeListed("|de|", "de"));
  EXPECT_FALSE(Listed("|de|at|", "d") || Listed("||", ""));
  EXPECT_FALSE(AnyCodeListed("|de|", "fr,,  ,en") || AnyCodeListed("||", " , ") || AnyCodeListed("|de|", "de;q=0.5"));
}

}  // namespace
