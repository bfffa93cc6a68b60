// The header block, account list and first-name rules at their edges.
#include <gtest/gtest.h>

#include "addresses/Headers.h"

namespace {

using namespace kvl::addresses;

TEST(GenderRules, LaterRulesOverrideEarlierOnes) {
  EXPECT_EQ(GuessGender("Peter"), '1');    // no rule: male
  EXPECT_EQ(GuessGender("Maria"), '2');    // 1: a
  EXPECT_EQ(GuessGender("Heike"), '2');    // 1: e
  EXPECT_EQ(GuessGender("Dani"), '2');     // 1: i
  EXPECT_EQ(GuessGender("e"), '2');        // one letter is enough
  EXPECT_EQ(GuessGender("Andre"), '1');    // 2 over 1
  EXPECT_EQ(GuessGender("Anika"), '1');    // 2 over 1
  EXPECT_EQ(GuessGender("re"), '1');       // two letters are enough
  EXPECT_EQ(GuessGender("Hannah"), '2');   // 3
  EXPECT_EQ(GuessGender("Jenny"), '2');
  EXPECT_EQ(GuessGender("Britt"), '2');
  EXPECT_EQ(GuessGender("Katrin"), '2');   // 4
  EXPECT_EQ(GuessGender("Beatrix"), '2');
  EXPECT_EQ(GuessGender("Ines"), '2');     // 5
  EXPECT_EQ(GuessGender("nes"), '1');      // three of its four letters are not enough
  EXPECT_EQ(GuessGender("Firma"), '0');    // 6 over 1
  EXPECT_EQ(GuessGender("FA"), '0');
  EXPECT_EQ(GuessGender(" Familie\t"), '0');  // trimmed and lowered first
  EXPECT_EQ(GuessGender("fam"), '0');
  EXPECT_EQ(GuessGender("Fam."), '1');     // only the exact word
  EXPECT_EQ(GuessGender("  "), '0');
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
  EXPECT_EQ(HeaderValue("X: \t\x01 v w \r\n", "x"), "v w ");    // only leading blanks and controls go
  EXPECT_EQ(HeaderValue(block, "X-Empty"), "");
  EXPECT_EQ(HeaderValue(block, "Last"), "");   // no CR LF after it
  EXPECT_EQ(HeaderValue(block, "Language"), "");  // a name starts its line
  EXPECT_EQ(HeaderValue("", "X"), "");
}

TEST(HeaderBlock, MailerIsTheFirstMatchingLine) {
  EXPECT_EQ(MailerName("From: a\r\n  x-MAILER:  Foo 1.0 \r\nUser-Agent: Bar\r\n"), "Foo 1.0");
  EXPECT_EQ(MailerName("User-Agent: Bar/2\nX-Mailer: Foo\n"), "Bar/2");
  EXPECT_EQ(MailerName("USER-AGENT: b\n"), "b");
  EXPECT_EQ(MailerName("X-Mailer:Foo\nUser-Agent:Bar\n"), std::nullopt);  // the blank is required
  EXPECT_EQ(MailerName("X-Mailer: \n"), std::nullopt);  // trimmed, the prefix is one short
  EXPECT_EQ(MailerName("X-Mailer: x\n"), "x");
  EXPECT_EQ(MailerName("X-Mailer: Foo"), std::nullopt);  // a line without its LF is not read
  EXPECT_EQ(MailerName("X-Mailers: Foo\n"), std::nullopt);
}

TEST(AccountOrder, KindsSelectTheBackslashForms) {
  const std::string file = "\\\\Work\r\n\\\\\\Shared\rplain\n\\Single\r\n\\\\\r\n\\\\\\\\Four\n\\\\Home";
  EXPECT_EQ(AccountNames(file, 0, ";"), "Work;;Home");
  EXPECT_EQ(AccountNames(file, 1, ";"), "Shared;\\Four");
  EXPECT_EQ(AccountNames(file, 2, ", "), "Work, Shared, , \\Four, Home");
  EXPECT_EQ(AccountNames(file, 3, ";"), "");
  EXPECT_EQ(AccountNames(file, -1, ";"), "");
  EXPECT_EQ(AccountNames("\\\\a\r\n\\\\b\r\n", 0, "\r\n"), "a\r\nb");
  EXPECT_EQ(AccountNames("", 2, ";"), "");
}

TEST(LanguageLists, CodesMatchWholeListEntries) {
  EXPECT_TRUE(Listed("|de|at|", "de"));
  EXPECT_FALSE(Listed("|de|at|", "d"));
  EXPECT_FALSE(Listed("||", ""));
  EXPECT_TRUE(AnyCodeListed("|de|", "fr, de"));
  EXPECT_TRUE(AnyCodeListed("|de|", "de"));
  EXPECT_FALSE(AnyCodeListed("|de|", "fr,,  ,en"));
  EXPECT_FALSE(AnyCodeListed("||", " , "));
  EXPECT_FALSE(AnyCodeListed("|de|", "de;q=0.5"));
}

}  // namespace
