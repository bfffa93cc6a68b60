// Text macros as a template author sees them, through the exports.
#include <set>

#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

const std::string kValueError = " *** ERROR: Wrong parameter value *** ";
const std::string kCountError = " *** ERROR: Wrong parameter count *** ";

class TextMacros : public ::testing::Test {
 protected:
  kvltest::PluginFolder folder;
  kvltest::LoadedPlugin plugin{folder.pluginPath()};
};

TEST_F(TextMacros, CuttingAndMeasuring) {
  EXPECT_EQ(plugin.call("KVL_StrLen", {std::string("a\0b", 3)}), "3");
  EXPECT_EQ(plugin.call("KVL_StrLeft", {"abc", "-1"}), "");
  EXPECT_EQ(plugin.call("KVL_StrLeft", {"abc", "9"}), "abc");
  EXPECT_EQ(plugin.call("KVL_StrRight", {"abc", "2"}), "bc");
  EXPECT_EQ(plugin.call("KVL_StrRight", {"abc", "0"}), "");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "0", "2"}), "ab");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "-5", "2"}), "ab");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "3"}), "cdef");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "5", "-1"}), "");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "6"}), "f");  // a start at the last character
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "7"}), "");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "5", "2"}), "ef");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "5", "3"}), "ef");
  EXPECT_EQ(plugin.call("KVL_StrMid", {"abcdef", "2", "0"}), "");
  EXPECT_EQ(plugin.call("KVL_StrChar", {"72", "0", "105"}), std::string("H\0i", 3));
  EXPECT_EQ(plugin.call("KVL_StrChar", {"72", "300", "105"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_StrChar", {"255"}), "\xFF");
  EXPECT_EQ(plugin.call("KVL_StrChar", {"256"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_StrChar", {"-1"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_StrC", {"\\c072i\\w"}), "Hi\r\n");
  EXPECT_EQ(plugin.call("KVL_StrCheck", {"", "L"}), "1");
  EXPECT_EQ(plugin.call("KVL_StrCheck", {"Ab-1", "uLn", "-"}), "1");
  EXPECT_EQ(plugin.call("KVL_StrCheck", {"\xE4", "LUN"}), "0");
  EXPECT_EQ(plugin.call("KVL_StrRev", {"abc"}), "cba");
  EXPECT_EQ(plugin.call("KVL_StrWordCnt", {"\xE4pfel, Birnen;(x)[y]\t\"z\" it's"}), "6");
  EXPECT_EQ(plugin.call("KVL_StrDup", {"ab", "3"}), "ababab");
  EXPECT_EQ(plugin.call("KVL_StrDup", {"ab", "0"}), "");
}

TEST_F(TextMacros, WordSeparatorsAreExactlyTheListedCharacters) {
  const std::string listed = "(),./:;?[\\]{}";
  for (int c = 0; c < 256; ++c) {
    const bool separates = c <= 34 || listed.find(static_cast<char>(c)) != std::string::npos;
    EXPECT_EQ(plugin.call("KVL_StrWordCnt", {std::string("a") + static_cast<char>(c) + "b"}), separates ? "2" : "1")
        << "code " << c;
  }
}

TEST_F(TextMacros, AsciiFoldingAndLocaleFoldingDiffer) {
  // The case flags of StrPos and StrCount fold ASCII letters only.
  EXPECT_EQ(plugin.call("KVL_StrPos", {"Hello", "L"}), "0");
  EXPECT_EQ(plugin.call("KVL_StrPos", {"Hello", "L", "1"}), "3");
  EXPECT_EQ(plugin.call("KVL_StrPos", {"Hello", "L", "2"}), "0");
  EXPECT_EQ(plugin.call("KVL_StrPos", {"Hello", ""}), "0");
  EXPECT_EQ(plugin.call("KVL_StrPos", {"x\xC4x", "\xE4", "1"}), "0");
  EXPECT_EQ(plugin.call("KVL_StrCount", {"\xC9t\xE9 \xE9", "\xE9", "1"}), "2");
  EXPECT_EQ(plugin.call("KVL_StrCount", {"aAa", "a", "2"}), "2");
  // StrRepl's ignore-case flag follows the locale (code page 1252 here).
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"x\xC4x\xE4", "\xE4", "ae", "1"}), "xaexae");
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"x\xC4x\xE4", "\xE4", "ae"}), "x\xC4xae");
  // ... while the repeat flag's "still there?" test folds ASCII only, so this stops after one pass.
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"\xC9\xC9\xC9\xC9", "\xE9\xE9", "\xC9", "1", "1"}), "\xC9\xC9");
  // Methods are upper-cased by the locale too.
  EXPECT_EQ(plugin.call("KVL_Encode", {"Gr\xFC\xDF" "e", "q"}), "Gr=FC=DFe");
}

TEST_F(TextMacros, InsertOverlaysAndPositions) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"abcdef", "XY", "L"}, "XYcdef"},  {{"abcdef", "XY", "R"}, "abcdXY"}, {{"abcdef", "XY", "M"}, "abXYef"},
      {{"abcdef", "XY", "N"}, "abXYef"},  {{"abcdef", "X", "M"}, "abXdef"},  {{"abcdef", "X", "N"}, "abcXef"},
      {{"abcdef", "X", "NR"}, "abcdeX"},  // R is looked for before N
      {{"ab", "XYZ", "N"}, "XYZ"},        {{"abc", "XYZ", "R"}, "XYZ"},
      {{"abcdef", "XY", "m"}, "XYabcdef"},  // mode letters are upper case: "m" is position 0
      {{"abcdef", "XY", "6"}, "abcdeXYf"}, {{"abcdef", "XY", "7"}, "abcdefXY"}, {{"abcdef", "XY", "3", "2"}, "abXYef"},
  };
  for (const auto& [args, expected] : cases) EXPECT_EQ(plugin.call("KVL_StrIns", args), expected) << args[2];
}

TEST_F(TextMacros, EditingThroughTheExports) {
  EXPECT_EQ(plugin.call("KVL_StrIns", {"abcdef", "XY", "RL"}), "XYcdef");  // L is tested first
  EXPECT_EQ(plugin.call("KVL_StrIns", {"abcdef", "XY", "3", "-1"}), "abXYbcdef");
  EXPECT_EQ(plugin.call("KVL_StrIns", {"abcdef", "XY"}), "XYabcdef");
  EXPECT_EQ(plugin.call("KVL_StrIns", {"abcdef", "XY", "2", "99"}), "aXY");
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"aaa", "aa", "a", "0", "1"}), "a");
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"a", "a", "ba", "0", "1"}), "ba");
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"aaa", "aa", "a", "0", "2"}), "aa");  // flags count only as 1
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"xABCx", "abc", "-", "2"}), "xABCx");
  EXPECT_EQ(plugin.call("KVL_StrRepl", {"xABCx", "abc", "-", "1"}), "x-x");
  EXPECT_EQ(plugin.call("KVL_StrTr", {"hello", "el", "ip"}), "hippo");
  EXPECT_EQ(plugin.call("KVL_StrTr", {"hello", "abc", "x"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_StrTr", {"hello", "el", " "}), "ho");
  EXPECT_EQ(plugin.call("KVL_StrTr", {"a\tb", "\\t", "_"}), "a_b");
  EXPECT_EQ(plugin.call("KVL_StrTr", {"HeLLo", "l", "_", "L"}), "He__o");
  EXPECT_EQ(plugin.call("KVL_StrTr", {"HeLLo", "L", "_", "L"}), "He__o");  // the from-set is lowered too
  EXPECT_EQ(plugin.call("KVL_StrTr", {"hello", "l", "xy", "D"}), "heo");
  EXPECT_EQ(plugin.call("KVL_StrTrim", {"   ", "L"}), " ");
  EXPECT_EQ(plugin.call("KVL_StrTrim", {"123abc456", "r", "1"}), "123abc");
  EXPECT_EQ(plugin.call("KVL_StrTrim", {"123abc456", "LR", "1"}), "abc");
  EXPECT_EQ(plugin.call("KVL_StrWrap", {"abcd", "10", " c "}), "   abcd\r\n");
  EXPECT_EQ(plugin.call("KVL_StrWrap", {"aaaa bbbb cccc", "0"}), "aaaa bbbb cccc\r\n");
  EXPECT_EQ(plugin.call("KVL_StrWrap", {""}), "");
  // Without a width, 70: a line of 70 characters stays whole, one of 71 breaks.
  EXPECT_EQ(plugin.call("KVL_StrWrap", {std::string(68, 'a') + " b"}), std::string(68, 'a') + " b\r\n");
  EXPECT_EQ(plugin.call("KVL_StrWrap", {std::string(69, 'a') + " b"}), std::string(69, 'a') + "\r\nb\r\n");
  EXPECT_EQ(plugin.call("KVL_Rot13", {plugin.call("KVL_Rot13", {"Hello, World \xE4 123"})}), "Hello, World \xE4 123");
  EXPECT_EQ(plugin.call("KVL_Rot13", {"AMNZamnz"}), "NZAMnzam");
}

TEST_F(TextMacros, ListsAndLines) {
  EXPECT_EQ(plugin.call("KVL_StrItem", {"a;b;;d", ";", "4"}), "d");
  EXPECT_EQ(plugin.call("KVL_StrItem", {"a<>b", "<>", "2"}), "b");
  EXPECT_EQ(plugin.call("KVL_StrItem", {"aaa", "aa", "2"}), "a");  // the rest after the last delimiter, though short
  EXPECT_EQ(plugin.call("KVL_StrItemCnt", {"a;b;;d", ";"}), "4");
  EXPECT_EQ(plugin.call("KVL_StrItemCnt", {"abc", ""}), "0");
  EXPECT_EQ(plugin.call("KVL_StrItemCnt", {"", ";"}), "0");
  EXPECT_EQ(plugin.call("KVL_StrItemCnt", {";", ";"}), "2");
  const std::string lines = "a\r\nb\r\nc\r\nd";
  EXPECT_EQ(plugin.call("KVL_StrLines", {lines}), "a\r\nb\r\n");
  EXPECT_EQ(plugin.call("KVL_StrLines", {lines, "2"}), "b\r\nc\r\n");
  EXPECT_EQ(plugin.call("KVL_StrLines", {lines, "3", "9"}), "c\r\nd\r\n");
  EXPECT_EQ(plugin.call("KVL_StrLines", {lines, "1", "0"}), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(plugin.call("KVL_StrLines", {"a\nb\r\n", "2", "1"}), "\r\n");  // the line after the last break
  EXPECT_EQ(plugin.call("KVL_StrLnCnt", {"a\r\nb\r\n"}), "3");
  plugin.session.items[254] = "x\ny\nz";
  EXPECT_EQ(plugin.call("KVL_StrLnCnt"), "3");
  plugin.session.items[241] = "one line";
  EXPECT_EQ(plugin.call("KVL_StrLnCnt"), "1");
  EXPECT_EQ(plugin.call("KVL_StrLnCnt", {"a", "b"}), kCountError);
}

TEST_F(TextMacros, EncodingsThroughTheExports) {
  EXPECT_EQ(plugin.call("KVL_Encode", {"x", "B", "1"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_Encode", {"x", "Q", "1", "1"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_Decode", {"YWJj", "b", "extra", "more"}), "abc");
  EXPECT_EQ(plugin.call("KVL_Encode", {"x", "U"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_Encode", {"a b?", "Q", "1"}), "a_b=3F");
  EXPECT_EQ(plugin.call("KVL_Encode", {"a b?", "Q", "2"}), "a b?");
  EXPECT_EQ(plugin.call("KVL_Decode", {"a_b", "Q", "1"}), "a b");
  EXPECT_EQ(plugin.call("KVL_Decode", {"a_b", "Q", "1", "1"}), kCountError);
  EXPECT_EQ(plugin.call("KVL_Decode", {"x", "U"}), kValueError);
  // Codes 32 to 126 stay as they are; 31 and 127 are escaped.
  EXPECT_EQ(plugin.call("KVL_Encode", {"\x1F ~\x7F", "Q"}), "=1F ~=7F");
  const std::string line(100, 'x');
  EXPECT_EQ(plugin.call("KVL_Encode", {line, "Q"}), line.substr(0, 75) + "=\r\n" + line.substr(75));
  EXPECT_EQ(plugin.call("KVL_Decode", {"YW Jj", "B"}), "");
  EXPECT_EQ(plugin.call("KVL_UrlEnc", {"a b&c", "+&"}), "a+b&amp;c");
  EXPECT_EQ(plugin.call("KVL_UrlDec", {"50%zz off"}), "50 off");
  EXPECT_EQ(plugin.call("KVL_HtmlEnc", {"<\xE9>", "H"}), "&lt;\xE9&gt;");
  EXPECT_EQ(plugin.call("KVL_HtmlEnc", {"caf\xE9"}), "caf");  // no SpecialChars.lst: dropped
  EXPECT_EQ(plugin.call("KVL_HtmlDec", {"&#65;&amp;", "HE"}), "A&");
  EXPECT_EQ(plugin.call("KVL_HtmlDec", {"&#65;&amp;", "H"}), "&#65;&");
}

TEST(TextMacrosWithEntities, SpecialCharsListBesideThePlugin) {
  kvltest::PluginFolder folder;
  folder.write("SpecialChars.lst", "233\t\xE9\teacute\t233\r\n201\t\xC9\tEacute\t\r\n");
  kvltest::LoadedPlugin plugin(folder.pluginPath());
  EXPECT_EQ(plugin.call("KVL_HtmlEnc", {"caf\xE9 <\xC9>"}), "caf&eacute; <&Eacute;>");
  EXPECT_EQ(plugin.call("KVL_HtmlEnc", {"caf\xE9 <\xC9>", "HU"}), "caf&#233; &lt;&#201;&gt;");
  EXPECT_EQ(plugin.call("KVL_HtmlDec", {"caf&eacute; &#201;&#233;&Eacute;"}), "caf\xE9 \xC9\xE9\xC9");
  // U wins over E; U alone decodes; without E, U or H nothing changes.
  EXPECT_EQ(plugin.call("KVL_HtmlEnc", {"caf\xE9", "EU"}), "caf&#233;");
  EXPECT_EQ(plugin.call("KVL_HtmlEnc", {"<\xE9>", "x"}), "<\xE9>");
  EXPECT_EQ(plugin.call("KVL_HtmlDec", {"&eacute;&#201;", "U"}), "\xE9\xC9");
  EXPECT_EQ(plugin.call("KVL_HtmlDec", {"&eacute;&lt;", "x"}), "&eacute;&lt;");
}

TEST_F(TextMacros, RandomNumbersStayInTheirRange) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) seen.insert(plugin.call("KVL_Random", {"1", "2"}));
  EXPECT_EQ(seen, (std::set<std::string>{"1", "2"}));
  for (int i = 0; i < 50; ++i) {
    const long long value = std::stoll(plugin.call("KVL_Random", {"-2147483648", "2147483647"}));
    EXPECT_GE(value, -2147483648LL);
    EXPECT_LE(value, 2147483647LL);
    const int percent = std::stoi(plugin.call("KVL_Random"));
    EXPECT_TRUE(percent >= 1 && percent <= 100) << percent;
  }
  EXPECT_EQ(plugin.call("KVL_Random", {"5", "5"}), "0");
  EXPECT_EQ(plugin.call("KVL_Random", {"0"}), "0");
  EXPECT_EQ(plugin.call("KVL_Random", {"1", "2", "3"}), kCountError);
}

TEST_F(TextMacros, OversizedResultsAnswerTheValueErrorQuickly) {
  EXPECT_EQ(plugin.call("KVL_StrDup", {"abc", "2000000000"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_StrWrap", {"x y", "2000000000", "R"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_StrWrap", {std::string(45'000'000, 'x'), "3"}), kValueError);
  EXPECT_EQ(plugin.call("KVL_StrRepl", {std::string(40'000'000, 'a'), "a", "aa"}), kValueError);
}

}  // namespace
