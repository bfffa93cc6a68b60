// Regular-expression macros through the exports; Grep and ReX with kvlhost's own
// regular-expression host macros doing the matching.
#include <gtest/gtest.h>

#include "regex/PCRE.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using namespace std::string_literals;

using kvltest::kNoSuccess;
using RegexMacros = kvltest::PluginTest;

std::string Repeated(std::string_view piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

TEST_F(RegexMacros, IsMatchReplaceAndGrepModes) {
  const std::string date = "(\\d+)-(\\d+)-(\\d+)";
  const std::string text = "alpha\nbeta\ngamma";
  expectResults({
      {"KVL_REIsMatch", {"abc", "b", "3"}, "0"}, {"KVL_REIsMatch", {"abc", "b", "2"}, "1"},
      {"KVL_REIsMatch", {"abc", "b", "-5"}, "1"},
      {"KVL_REIsMatch", {"abc", "x*", "4"}, "1"},  // just past the end is still searched
      {"KVL_REIsMatch", {"abc", "x*", "5"}, "0"}, {"KVL_REIsMatch", {"ab", "^b", "2"}, "0"},
      {"KVL_REIsMatch", {"xabcx", "ABC", "1", "1"}, "1"}, {"KVL_REIsMatch", {"xabcx", "ABC", "1", "2"}, "0"},
      {"KVL_REIsMatch", {"abc", "(a"}, kNoSuccess},
      // The JIT backtracks on a stack sized for the subject, within a step limit for the
      // whole search; nested groups outgrow its stack, and the interpreter behind it stops
      // at its recursion limit instead of the stack's end.
      {"KVL_REIsMatch", {std::string(3000, 'a'), "(a|b)*c"}, "0"},
      {"KVL_REIsMatch", {std::string(300000, 'a'), "(a|b)*c"}, kNoSuccess},
      {"KVL_REIsMatch", {std::string(300000, 'a'), "((((((((a))))))))*c"}, kNoSuccess},
      {"KVL_RERepl", {"2024-05-01", date, "$3.$2.$1"}, "01.05.2024"},
      {"KVL_StrRERepl", {"2024-05-01", date, "$3.$2.$1"}, "01.05.2024"},
      {"KVL_RERepl", {"Re: RE: x", "re: ", "", "1"}, "x"}, {"KVL_RERepl", {"Re: RE: x", "re: ", "", "2"}, "Re: RE: x"},
      {"KVL_RERepl", {"a(b", "(", "x"}, kNoSuccess}, {"KVL_RERepl", {"ab", "(a)", "$2"}, kNoSuccess},
      {"KVL_RERepl", {"ab", "(?<n>a)", "${x}"}, kNoSuccess}, {"KVL_RERepl", {"caf\xE9", "\xE9", "e"}, "cafe"},
      {"KVL_ReX", {"id 12-34", "(\\d+)-(\\d+)"}, "12"}, {"KVL_ReX", {"nothing", "(\\d+)"}, ""},
      {"KVL_Grep", {text, "bet"}, "beta\n"}, {"KVL_Grep", {text, "bet", " m "}, "beta\n"},
      {"KVL_Grep", {text, "bet", "N"}, "alpha\ngamma\n"}, {"KVL_Grep", {text, "bet", "B"}, "alpha\n"},
      {"KVL_Grep", {text, "bet", "BI"}, "alpha\nbeta\n"}, {"KVL_Grep", {text, "bet", "A"}, "gamma\n"},
      {"KVL_Grep", {text, "bet", "ai"}, "beta\ngamma\n"}, {"KVL_Grep", {text, "bet", "X"}, "beta\n"},
      // A final LF makes a last, empty line; it is returned when it matches.
      {"KVL_Grep", {"a\r\nb\n", "\\n"}, "a\r\nb\n\n"},
      // A line for which the host produces nothing counts as not matching.
      {"KVL_Grep", {"a\nb", "x*", "N"}, "a\nb\n"},
  });
}

TEST_F(RegexMacros, PatternsAndTextsStayInsideTheirQuotes) {
  // A subject made to close the quoted pattern, call the plug-in and set a variable
  // from the host's template: all of it stays one pattern.
  plugin.session.items[223] = "x\"%KVL_StrDup(Q, 3)%_a=\"";
  plugin.session.processed.clear();
  EXPECT_EQ(plugin.expand("[%KVL_ReX(abc, %SUBJECT, 0)][%KVL_Grep(abc, %SUBJECT)]"), "[][]");
  const std::string hidden = "x\x02%KVL_StrDup(Q, 3)%_a=\x02";
  ASSERT_EQ(plugin.session.processed.size(), 2u);
  EXPECT_EQ(plugin.session.processed[0], "%SETPATTREGEXP=\"" + hidden + "\"%REGEXPBLINDMATCH=\"abc\"%SUBPATT=\"0\"");
  EXPECT_EQ(plugin.session.processed[1], "%SETPATTREGEXP=\"" + hidden + "\"%REGEXPMATCH=\"abc\n\"");

  // Quotes, percent signs, CR, LF, NUL and character 2 in both; a quote of the pattern
  // matches one of the text. The pattern ends at its NUL, as every PCRE pattern does.
  const std::string text = "1 \"q\" 50%\r\nx\x02y\0z\nno"s;
  plugin.session.processed.clear();
  EXPECT_EQ(plugin.call("KVL_Grep", {text, "\"q\" 50%\r\n|\x02y.z\0("s}), "1 \"q\" 50%\r\nx\x02y\0z\n"s);
  const std::string hostPattern = "%SETPATTREGEXP=\"\x02q\x02 50%\r\n|\x02y.z\0(\"%REGEXPMATCH="s;
  ASSERT_EQ(plugin.session.processed.size(), 3u);
  EXPECT_EQ(plugin.session.processed[0], hostPattern + "\"1 \x02q\x02 50%\r\n\"");
  EXPECT_EQ(plugin.session.processed[1], hostPattern + "\"x\x02y\0z\n\""s);
  EXPECT_EQ(plugin.session.processed[2], hostPattern + "\"no\n\"");
  // ReX hands back the host's group, its character 2 as quotes.
  EXPECT_EQ(plugin.call("KVL_ReX", {text, "(\"q\" 50%\r\n)x\x02y(.)\0"s, "1"}), "\"q\" 50%\r\n");
  EXPECT_EQ(plugin.call("KVL_ReX", {text, "(\"q\" 50%\r\n)x\x02y(.)\0"s, "2"}), "\0"s);
  EXPECT_EQ(plugin.call("KVL_ReX", {text, "(\\x02\\w)"}), "\"q");
  EXPECT_TRUE(plugin.session.variables.empty());
}

TEST_F(RegexMacros, SearchesThatCannotEndInTimeFail) {
  // Each of these searched for seconds to hours (the binding's own tests have the
  // single searches): a replacement's walk, and every line of a Grep backtracking to its limit.
  EXPECT_EQ(plugin.call("KVL_RERepl", {Repeated("ab", 524288), "b[ab]*c[ab]", "x"}), kNoSuccess);
  plugin.session.processed.clear();
  // (Asserted: without the check the host would take hours over the last one.)
  ASSERT_EQ(plugin.call("KVL_ReX", {Repeated("ab", 131072), "(b[ab]*c[ab])"}), kNoSuccess);
  ASSERT_EQ(plugin.call("KVL_Grep", {Repeated("ab", 131072), "b[ab]*c[ab]"}), kNoSuccess);
  ASSERT_EQ(plugin.call("KVL_Grep", {Repeated(std::string(50, 'a') + "b\n", 3), "(a|a)*$"}), kNoSuccess);
  EXPECT_EQ(plugin.call("KVL_Grep", {Repeated(std::string(50, 'a') + "b\n", 200000), "(a|a)*$"}), kNoSuccess);
  EXPECT_TRUE(plugin.session.processed.empty());  // the host was never asked
  // The same searches over text they can handle still answer.
  EXPECT_EQ(plugin.call("KVL_REIsMatch", {Repeated("ab", 1000) + "cb", "b[ab]*c[ab]"}), "1");
  EXPECT_EQ(plugin.call("KVL_ReX", {Repeated("ab", 1000) + "cb", "(b[ab]*c[ab])"}).size(), 2001u);
  EXPECT_EQ(plugin.call("KVL_Grep", {Repeated(std::string(20, 'a') + "b\n", 1000), "(a|a)*b$", "N"}), "\n");
  // Searches that fail otherwise are the host's to answer: a line that is no UTF-8
  // does not match a (*UTF8) pattern.
  EXPECT_EQ(plugin.call("KVL_Grep", {"caf\xE9 ok\nok", "(*UTF8)ok"}), "ok\n");
}

TEST_F(RegexMacros, GrepSharesOneBudgetForAllItsLines) {
  // Every line costs the same steps here and in the host; all of them together may take
  // what one search over the whole text may. With m lines of n bytes (each searched
  // with its LF) that holds while m * steps <= SearchStepLimit(m * (n + 1) - 1) / 2.
  const std::string line(179, 'a');
  const auto regex = kvl::regex::CreateRegex("a*a*[cd]", {});
  kvl::regex::StepBudget probe(kvl::regex::kSearchStepsMost);
  regex->IsMatch(line + "\n", 0, {}, probe);
  const unsigned long steps = kvl::regex::kSearchStepsMost - probe.left();
  auto lines = [&](std::size_t count) {
    std::string text = line;
    for (std::size_t i = 1; i < count; ++i) text += "\n" + line;
    return text;
  };
  std::size_t most = 1;
  while ((most + 1) * steps <= kvl::regex::SearchStepLimit(lines(most + 1).size()) / 2) ++most;
  ASSERT_GT(most, 2u);
  ASSERT_LT(most, 200u);
  plugin.session.processed.clear();
  EXPECT_EQ(plugin.call("KVL_Grep", {lines(most), "a*a*[cd]", "N"}), lines(most) + "\n");
  EXPECT_EQ(plugin.session.processed.size(), most);
  plugin.session.processed.clear();
  EXPECT_EQ(plugin.call("KVL_Grep", {lines(most + 1), "a*a*[cd]", "N"}), kNoSuccess);
  EXPECT_EQ(plugin.session.processed.size(), most);  // the line beyond the budget never reaches the host
}

TEST_F(RegexMacros, ReXReadsTheMessageTextInTemplates) {
  plugin.session.items[241] = "Order number: 4711\r\n";
  EXPECT_EQ(plugin.expand("#%KVL_ReX(%TEXT, \"number: (\\d+)\")"), "#4711");
}

}  // namespace
