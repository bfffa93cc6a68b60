// Text macros as a template author sees them, through the exports.
#include <set>

#include <gtest/gtest.h>

#include "tests/e2e/TestPlugin.h"

namespace {

using TextMacros = kvltest::PluginTest;
using kvltest::kCountError;
using kvltest::kValueError;

TEST_F(TextMacros, CuttingAndMeasuring) {
  expectResults({
      {"KVL_StrLen", {std::string("a\0b", 3)}, "3"}, {"KVL_StrLeft", {"abc", "-1"}, ""},
      {"KVL_StrLeft", {"abc", "9"}, "abc"}, {"KVL_StrRight", {"abc", "2"}, "bc"}, {"KVL_StrRight", {"abc", "0"}, ""},
      {"KVL_StrMid", {"abcdef", "0", "2"}, "ab"}, {"KVL_StrMid", {"abcdef", "-5", "2"}, "ab"},
      {"KVL_StrMid", {"abcdef", "3"}, "cdef"}, {"KVL_StrMid", {"abcdef", "5", "-1"}, ""},
      {"KVL_StrMid", {"abcdef", "6"}, "f"},  // a start at the last character
      {"KVL_StrMid", {"abcdef", "7"}, ""}, {"KVL_StrMid", {"abcdef", "5", "2"}, "ef"},
      {"KVL_StrMid", {"abcdef", "5", "3"}, "ef"}, {"KVL_StrMid", {"abcdef", "2", "0"}, ""},
      {"KVL_StrChar", {"72", "0", "105"}, std::string("H\0i", 3)}, {"KVL_StrChar", {"72", "300", "105"}, kValueError},
      {"KVL_StrChar", {"255"}, "\xFF"}, {"KVL_StrChar", {"256"}, kValueError}, {"KVL_StrChar", {"-1"}, kValueError},
      {"KVL_StrC", {"\\c072i\\w"}, "Hi\r\n"}, {"KVL_StrCheck", {"", "L"}, "1"},
      {"KVL_StrCheck", {"Ab-1", "uLn", "-"}, "1"}, {"KVL_StrCheck", {"\xE4", "LUN"}, "0"},
      {"KVL_StrRev", {"abc"}, "cba"}, {"KVL_StrWordCnt", {"\xE4pfel, Birnen;(x)[y]\t\"z\" it's"}, "6"},
      {"KVL_StrDup", {"ab", "3"}, "ababab"}, {"KVL_StrDup", {"ab", "0"}, ""},
  });
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
  expectResults({
      // The case flags of StrPos and StrCount fold ASCII letters only.
      {"KVL_StrPos", {"Hello", "L"}, "0"}, {"KVL_StrPos", {"Hello", "L", "1"}, "3"},
      {"KVL_StrPos", {"Hello", "L", "2"}, "0"}, {"KVL_StrPos", {"Hello", ""}, "0"},
      {"KVL_StrPos", {"x\xC4x", "\xE4", "1"}, "0"}, {"KVL_StrCount", {"\xC9t\xE9 \xE9", "\xE9", "1"}, "2"},
      {"KVL_StrCount", {"aAa", "a", "2"}, "2"},
      // StrRepl's ignore-case flag follows the locale (code page 1252 here).
      {"KVL_StrRepl", {"x\xC4x\xE4", "\xE4", "ae", "1"}, "xaexae"}, {"KVL_StrRepl", {"x\xC4x\xE4", "\xE4", "ae"}, "x\xC4xae"},
      // ... while the repeat flag's "still there?" test folds ASCII only, so this stops after one pass.
      {"KVL_StrRepl", {"\xC9\xC9\xC9\xC9", "\xE9\xE9", "\xC9", "1", "1"}, "\xC9\xC9"},
  });
}

TEST_F(TextMacros, EditingThroughTheExports) {
  expectResults({
      {"KVL_StrIns", {"abcdef", "XY", "L"}, "XYcdef"}, {"KVL_StrIns", {"abcdef", "XY", "R"}, "abcdXY"},
      {"KVL_StrIns", {"abcdef", "XY", "M"}, "abXYef"}, {"KVL_StrIns", {"abcdef", "XY", "N"}, "abXYef"},
      {"KVL_StrIns", {"abcdef", "X", "M"}, "abXdef"}, {"KVL_StrIns", {"abcdef", "X", "N"}, "abcXef"},
      {"KVL_StrIns", {"abcdef", "X", "NR"}, "abcdeX"},   // R is looked for before N
      {"KVL_StrIns", {"abcdef", "XY", "RL"}, "XYcdef"},  // L is tested first
      {"KVL_StrIns", {"ab", "XYZ", "N"}, "XYZ"}, {"KVL_StrIns", {"abc", "XYZ", "R"}, "XYZ"},
      {"KVL_StrIns", {"abcdef", "XY", "m"}, "XYabcdef"},  // mode letters are upper case: "m" is position 0
      {"KVL_StrIns", {"abcdef", "XY", "6"}, "abcdeXYf"}, {"KVL_StrIns", {"abcdef", "XY", "7"}, "abcdefXY"},
      {"KVL_StrIns", {"abcdef", "XY", "3", "2"}, "abXYef"}, {"KVL_StrIns", {"abcdef", "XY", "3", "-1"}, "abXYbcdef"},
      {"KVL_StrIns", {"abcdef", "XY"}, "XYabcdef"}, {"KVL_StrIns", {"abcdef", "XY", "2", "99"}, "aXY"},
      {"KVL_StrRepl", {"aaa", "aa", "a", "0", "1"}, "a"}, {"KVL_StrRepl", {"a", "a", "ba", "0", "1"}, "ba"},
      {"KVL_StrRepl", {"aaa", "aa", "a", "0", "2"}, "aa"},  // flags count only as 1
      {"KVL_StrRepl", {"xABCx", "abc", "-", "2"}, "xABCx"}, {"KVL_StrRepl", {"xABCx", "abc", "-", "1"}, "x-x"},
      {"KVL_StrTr", {"hello", "el", "ip"}, "hippo"}, {"KVL_StrTr", {"hello", "abc", "x"}, kValueError},
      {"KVL_StrTr", {"hello", "el", " "}, "ho"}, {"KVL_StrTr", {"a\tb", "\\t", "_"}, "a_b"},
      {"KVL_StrTr", {"HeLLo", "l", "_", "L"}, "He__o"},
      {"KVL_StrTr", {"HeLLo", "L", "_", "L"}, "He__o"},  // the from-set is lowered too
      {"KVL_StrTr", {"hello", "l", "xy", "D"}, "heo"}, {"KVL_StrTrim", {"   ", "L"}, " "},
      {"KVL_StrTrim", {"123abc456", "r", "1"}, "123abc"}, {"KVL_StrTrim", {"123abc456", "LR", "1"}, "abc"},
      {"KVL_StrWrap", {"abcd", "10", " c "}, "   abcd\r\n"}, {"KVL_StrWrap", {"aaaa bbbb cccc", "0"}, "aaaa bbbb cccc\r\n"},
      {"KVL_StrWrap", {""}, ""},
      // Without a width, 70: a line of 70 characters stays whole, one of 71 breaks.
      {"KVL_StrWrap", {std::string(68, 'a') + " b"}, std::string(68, 'a') + " b\r\n"},
      {"KVL_StrWrap", {std::string(69, 'a') + " b"}, std::string(69, 'a') + "\r\nb\r\n"},
      {"KVL_Rot13", {"AMNZamnz"}, "NZAMnzam"},
  });
  EXPECT_EQ(plugin.call("KVL_Rot13", {plugin.call("KVL_Rot13", {"Hello, World \xE4 123"})}), "Hello, World \xE4 123");
}

TEST_F(TextMacros, ListsAndLines) {
  const std::string lines = "a\r\nb\r\nc\r\nd";
  expectResults({
      {"KVL_StrItem", {"a;b;;d", ";", "4"}, "d"}, {"KVL_StrItem", {"a<>b", "<>", "2"}, "b"},
      {"KVL_StrItem", {"aaa", "aa", "2"}, "a"},  // the rest after the last delimiter, though short
      {"KVL_StrItemCnt", {"a;b;;d", ";"}, "4"}, {"KVL_StrItemCnt", {"abc", ""}, "0"},
      {"KVL_StrItemCnt", {"", ";"}, "0"}, {"KVL_StrItemCnt", {";", ";"}, "2"},
      {"KVL_StrLines", {lines}, "a\r\nb\r\n"}, {"KVL_StrLines", {lines, "2"}, "b\r\nc\r\n"},
      {"KVL_StrLines", {lines, "3", "9"}, "c\r\nd\r\n"}, {"KVL_StrLines", {lines, "1", "0"}, "a\r\nb\r\nc\r\nd\r\n"},
      {"KVL_StrLines", {"a\nb\r\n", "2", "1"}, "\r\n"},  // the line after the last break
      {"KVL_StrLnCnt", {"a\r\nb\r\n"}, "3"},
  });
  plugin.session.items[254] = "x\ny\nz";
  EXPECT_EQ(plugin.call("KVL_StrLnCnt"), "3");
  plugin.session.items[241] = "one line";
  EXPECT_EQ(plugin.call("KVL_StrLnCnt"), "1");
}

TEST_F(TextMacros, EncodingsThroughTheExports) {
  const std::string line(100, 'x');
  expectResults({
      {"KVL_Encode", {"x", "B", "1"}, kCountError}, {"KVL_Encode", {"x", "Q", "1", "1"}, kCountError},
      {"KVL_Decode", {"YWJj", "b", "extra", "more"}, "abc"}, {"KVL_Encode", {"x", "U"}, kValueError},
      {"KVL_Encode", {"a b?", "Q", "1"}, "a_b=3F"}, {"KVL_Encode", {"a b?", "Q", "2"}, "a b?"},
      {"KVL_Decode", {"a_b", "Q", "1"}, "a b"}, {"KVL_Decode", {"a_b", "Q", "1", "1"}, kCountError},
      {"KVL_Decode", {"x", "U"}, kValueError},
      {"KVL_Encode", {line, "Q"}, line.substr(0, 75) + "=\r\n" + line.substr(75)},
      {"KVL_UrlDec", {"50%zz off"}, "50 off"}, {"KVL_HtmlEnc", {"<\xE9>", "H"}, "&lt;\xE9&gt;"},
      {"KVL_HtmlEnc", {"caf\xE9"}, "caf"},  // no SpecialChars.lst: dropped
      {"KVL_HtmlDec", {"&#65;&amp;", "HE"}, "A&"}, {"KVL_HtmlDec", {"&#65;&amp;", "H"}, "&#65;&"},
  });
}

TEST(TextMacrosWithEntities, SpecialCharsListBesideThePlugin) {
  kvltest::PluginFolder folder;
  folder.write("SpecialChars.lst", "233\t\xE9\teacute\t233\r\n201\t\xC9\tEacute\t\r\n");
  kvltest::LoadedPlugin plugin(folder.pluginPath());
  kvltest::ExpectResults(plugin, {
      {"KVL_HtmlEnc", {"caf\xE9 <\xC9>"}, "caf&eacute; <&Eacute;>"},
      {"KVL_HtmlEnc", {"caf\xE9 <\xC9>", "HU"}, "caf&#233; &lt;&#201;&gt;"},
      {"KVL_HtmlDec", {"caf&eacute; &#201;&#233;&Eacute;"}, "caf\xE9 \xC9\xE9\xC9"},
      // U wins over E; U alone decodes; without E, U or H nothing changes.
      {"KVL_HtmlEnc", {"caf\xE9", "EU"}, "caf&#233;"}, {"KVL_HtmlEnc", {"<\xE9>", "x"}, "<\xE9>"},
      {"KVL_HtmlDec", {"&eacute;&#201;", "U"}, "\xE9\xC9"}, {"KVL_HtmlDec", {"&eacute;&lt;", "x"}, "&eacute;&lt;"},
  });
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
  expectResults({{"KVL_Random", {"5", "5"}, "0"}, {"KVL_Random", {"0"}, "0"}});
}

TEST_F(TextMacros, OversizedResultsAnswerTheValueErrorQuickly) {
  expectResults({
      {"KVL_StrDup", {"abc", "2000000000"}, kValueError},
      {"KVL_StrWrap", {"x y", "2000000000", "R"}, kValueError},
      {"KVL_StrWrap", {std::string(45'000'000, 'x'), "3"}, kValueError},
      {"KVL_StrRepl", {std::string(40'000'000, 'a'), "a", "aa"}, kValueError},
  });
}

}  // namespace
