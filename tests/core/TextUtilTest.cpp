// The shared text routines at their edges.
#include <bitset>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Numbers.h"
#include "core/TextUtil.h"

namespace {

using namespace kvl;

TEST(FieldAt, EmptyItemsCountAndDelimitersMayBeLong) {
  struct Case {
    const char *text, *delimiter;
    int n;
    const char* field;
  };
  for (const Case& c : {Case{"a,b,c", ",", 1, "a"}, {"a,b,c", ",", 3, "c"}, {"a,b,c", ",", 0, ""}, {"a,b,c", ",", 4, ""},
                        {"x||y", "||", 2, "y"}, {"a||b", "|", 2, ""}, {"a||b", "|", 3, "b"}, {"a,", ",", 2, ""},
                        {"a,", ",", 3, ""}, {"abc", "", 1, ""}, {"", ",", 1, ""}})
    EXPECT_EQ(FieldAt(c.text, c.delimiter, c.n), c.field) << c.text << " " << c.delimiter << " " << c.n;
}

// One byte: 64-byte steps, 16-byte steps, then the tail; longer needles: candidates in
// the same steps, near misses (first and last byte right, middle wrong) before each hit.
// A hit on each side of every border, and found again from a later start.
TEST(FindText, NeedlesAcrossEveryBlockBorder) {
  for (const std::string needle : {"/", "ab", "abc", "a\x80z"}) {
    for (const std::size_t length : {0u, 1u, 15u, 16u, 17u, 63u, 64u, 65u, 66u, 80u, 130u, 140u}) {
      const std::string text(length, '.');
      EXPECT_EQ(FindText(text, needle), std::string_view::npos) << needle << " " << length;
      for (std::size_t at = 0; at + needle.size() <= length; ++at) {
        std::string marked = text;
        marked.replace(at, needle.size(), needle);
        EXPECT_EQ(FindText(marked, needle), at) << needle << " " << length;
        EXPECT_EQ(FindText(marked, needle, at + 1), std::string_view::npos) << needle << " " << length;
        EXPECT_EQ(FindText(marked + marked, needle, at + 1), length + at) << needle << " " << length;
        if (needle.size() == 3 && at >= 3) {
          std::string near = marked;
          near.replace(0, 3, std::string{needle[0], '.', needle[2]});
          EXPECT_EQ(FindText(near, needle), at) << needle << " " << length;
        }
      }
    }
  }
}

// Every needle of up to 6 letters over a two-letter alphabet in every text of up to 10
// letters of it (and of up to 6 with a third letter that never matches), from every start:
// what std::string_view finds.
TEST(FindText, TwoWayFindsWhatAPlainSearchFinds) {
  auto words = [](std::size_t most, std::string_view letters) {
    std::vector<std::string> all{""};
    for (std::size_t at = 0; at < all.size(); ++at)
      if (all[at].size() < most)
        for (const char c : letters) all.push_back(all[at] + c);
    return all;
  };
  const auto needles = words(6, "ab");
  auto texts = words(10, "ab");
  for (const std::string& text : words(6, "abc"))
    if (text.find('c') != std::string::npos) texts.push_back(text);
  for (const std::string& text : texts)
    for (const std::string& needle : needles)
      for (std::size_t from = 0; from <= text.size() + 1; ++from)
        ASSERT_EQ(FindTextTwoWay(text, needle, from), std::string_view(text).find(needle, from))
            << text << " / " << needle << " from " << from;
}

// Candidates that fail only after long comparisons: the search goes two-way part of the
// way through and still finds the first occurrence, on either side of where it changed.
TEST(FindText, CostlyCandidatesStillFindTheFirstOccurrence) {
  const std::string needle = std::string(300, 'a') + "b" + std::string(300, 'a');
  for (const std::size_t at : {0u, 100u, 5000u, 20000u, 69000u}) {
    std::string text(70000, 'a');
    text.replace(at, needle.size(), needle);
    EXPECT_EQ(FindText(text, needle), at) << at;
    EXPECT_EQ(FindText(text, needle, at + 1), std::string_view::npos) << at;
  }
}

// A needle of one letter repeated but near its end, in a long run of that letter: every
// place is a candidate. Linear, this takes milliseconds; compared place by place, minutes.
TEST(FindText, RepeatedLetterNeedleStaysLinear) {
  const std::string text(4u << 20, 'a');
  const std::string needle = std::string(100000, 'a') + "ba";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(FindText(text, needle), std::string_view::npos);
  EXPECT_EQ(CountOf(text + needle, needle), 1u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(CountOf, CountsWithoutOverlap) {
  EXPECT_EQ(CountOf("a\nb\nc", "\n"), 2u);
  EXPECT_EQ(CountOf("aaaa", "aa"), 2u);
  EXPECT_EQ(CountOf("aaa", "aa"), 1u);
}

TEST(TrimClasses, ClassesAndTheKeptLastCharacter) {
  EXPECT_EQ(TrimClasses(" \t abc1! ", " 1!"), "abc");
  EXPECT_EQ(TrimClasses("\xE9" "e\xE9", "8"), "e");
  EXPECT_EQ(TrimClasses("   ", " "), "");
  // The left trim never looks at the last character.
  EXPECT_EQ(TrimLeftClasses("   ", " "), " ");
  EXPECT_EQ(TrimLeftClasses(" ", " "), " ");
  EXPECT_EQ(TrimLeftClasses("12a", "1a"), "a");
  EXPECT_EQ(TrimRightClasses("ab12", "1"), "ab");
  EXPECT_EQ(TrimRightClasses("12", "1"), "");
  EXPECT_EQ(Trimmed("\x01 x \xA0 \r\n"), "x \xA0");
}

// Code by code, so a range that ends one code early or late shows.
TEST(TrimClasses, EachClassHoldsExactlyItsCodes) {
  auto codes = [](std::initializer_list<std::pair<int, int>> ranges) {
    std::bitset<256> set;
    for (const auto& [first, last] : ranges)
      for (int c = first; c <= last; ++c) set.set(static_cast<std::size_t>(c));
    return set;
  };
  const std::vector<std::pair<std::string, std::bitset<256>>> classes{
      {" ", codes({{0, 32}, {160, 160}, {255, 255}})},
      {"8", codes({{128, 255}})},
      {"S", codes({{192, 255}})},
      {"1", codes({{'0', '9'}})},
      {"A", codes({{'A', 'Z'}})},
      {"a", codes({{'a', 'z'}})},
      {"!", codes({{27, 27}, {33, 38}, {40, 47}, {58, 64}, {91, 96}, {123, 126}, {161, 191}, {215, 215}, {247, 247}})},
  };
  for (const auto& [letter, set] : classes)
    for (int c = 0; c < 256; ++c)
      EXPECT_EQ(TrimRightClasses(std::string(1, static_cast<char>(c)), letter).empty(), set.test(static_cast<std::size_t>(c)))
          << "class \"" << letter << "\", code " << c;
}

TEST(UnescapeText, EscapesAndTheirFailures) {
  // \c65: fewer digits at the end of the text.
  const std::pair<const char*, const char*> cases[] = {
      {"a\\tb\\\\c\\w", "a\tb\\c\r\n"}, {"\\n\\r\\N\\q", "\n\rNq"}, {"\\c065\\x41", "AA"}, {"\\c255", "\xFF"},
      {"\\c256", "c256"},   {"\\c999", "c999"},  {"\\cab1x", "cab1x"}, {"\\c65", "A"},    {"end\\", "end\\"},
      {"\\x", "x"},         {"\\x4", "@"},       {"\\x4a!", "J!"}};
  for (const auto& [text, unescaped] : cases) EXPECT_EQ(UnescapeText(text), unescaped) << text;
  EXPECT_EQ(UnescapeText("\\c000").size(), 1u);
}

TEST(HexPairToChar, ZeroAndNonDigitsCountAsNothing) {
  const std::pair<const char*, char> cases[] = {{"4a", 'J'},      {"4A", 'J'},      {"G1", '\x01'},
                                                {"0F", '\x0F'}, {"FF", '\xFF'}, {"4", '\x40'}};
  for (const auto& [pair, c] : cases) EXPECT_EQ(HexPairToChar(pair), c) << pair;
}

TEST(PercentDecoded, EscapesNeedTwoHexDigits) {
  EXPECT_EQ(PercentDecoded("a%20b+c%2Fd%2f"), "a b+c/d/");
  EXPECT_EQ(PercentDecoded("%41"), "A");    // an escape that ends the text
  EXPECT_EQ(PercentDecoded("x%4"), "x%4");  // one digit short
  EXPECT_EQ(PercentDecoded("%G1%%41"), "%G1%A");
}

TEST(Numbers, DecimalAndHexadecimalForms) {
  const std::pair<const char*, std::int32_t> numbers[] = {
      {"42", 42},         {"-42", -42},          {"$1F", 31},          {"x1f", 31},
      {"0X10", 16},       {"$FFFFFFFF", -1},     {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(ReadInteger(text), value) << text;
  for (const char* text : {"2147483648", "12a", " 1", "", "-", "$"}) EXPECT_FALSE(ReadInteger(text)) << text;
  EXPECT_EQ(ReadIntegerOr("abc", -1), -1);
}

}  // namespace
