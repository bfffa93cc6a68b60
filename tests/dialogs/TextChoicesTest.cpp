// The window-less dialog-family rules: choosing from pairs, the text progress bar.
#include <gtest/gtest.h>

#include "dialogs/TextChoices.h"

namespace {

using kvl::dialogs::BuildProgressBar;
using kvl::dialogs::SelectFromPairs;

TEST(SelectFromPairs, EveryEntryButTheLastIsCompared) {
  const std::vector<std::string> list{"a", "b", "c", "d"};
  EXPECT_EQ(SelectFromPairs("a", "none", list), "b");
  EXPECT_EQ(SelectFromPairs("c", "none", list), "d");
  EXPECT_EQ(SelectFromPairs("d", "none", list), "none");  // the last is only ever answered
  EXPECT_EQ(SelectFromPairs("B", "none", list), "none");  // exact comparison
  EXPECT_EQ(SelectFromPairs("z", "none", list), "none");
  EXPECT_EQ(SelectFromPairs("", "none", {"x", "", "z", "y"}), "z");
  EXPECT_EQ(SelectFromPairs("x", "none", {"x", "1", "x", "2"}), "1");
}

std::string Bar(const std::string& empty, const std::string& fill, long long width, long long maximum, long long value,
                std::size_t longest = 1000) {
  const auto bar = BuildProgressBar(empty, fill, width, maximum, value, longest);
  return bar.ok ? bar.text : "<error>";
}

TEST(ProgressBar, FillRoundsHalvesToEven) {
  EXPECT_EQ(Bar(".", "#", 10, 200, 60), "###.......");
  EXPECT_EQ(Bar(".", "#", 10, 4, 1), "##........");  // 2.5
  EXPECT_EQ(Bar(".", "#", 10, 4, 3), "########..");  // 7.5
  EXPECT_EQ(Bar(".", "#", 10, 10, 10), "##########");
  EXPECT_EQ(Bar(".", "#", 10, 10, 15), "###############");  // beyond the maximum: only fill
  EXPECT_EQ(Bar(".", "#", 10, 10, -3), "..........");        // negative n: the background
  EXPECT_EQ(Bar(".", "#", 10, -10, 3), "..........");
  EXPECT_EQ(Bar(".-", "ab", 5, 5, 3), "aba-.");                // marks repeated and cut
  EXPECT_EQ(Bar("", "#", 5, 5, 2), "##");
  EXPECT_EQ(Bar(".", "", 5, 5, 2), "...");
  EXPECT_EQ(Bar(".", "#", 0, 5, 2), "");
  EXPECT_EQ(Bar(".", "#", -4, -2, 1), "##");  // n = 2 on an empty background
}

// No scale without a maximum; nothing longer than the cap is ever built.
TEST(ProgressBar, MaximumZeroAndTheLengthCap) {
  EXPECT_EQ(Bar(".", "#", 10, 0, 5), "<error>");
  EXPECT_EQ(Bar(".", "#", 10, 0, 0), "<error>");
  EXPECT_EQ(Bar(".", "#", 100, 1, 0, 100), std::string(100, '.'));
  EXPECT_EQ(Bar(".", "#", 101, 1, 0, 100), "<error>");
  EXPECT_EQ(Bar(".", "#", 10, 1, 10, 100), std::string(100, '#'));
  EXPECT_EQ(Bar(".", "#", 10, 10, 101, 100), "<error>");
  EXPECT_EQ(Bar(".", "#", 2147483647, 1, 2147483647), "<error>");
  EXPECT_EQ(Bar(".", "#", -2147483647 - 1LL, 1, -2147483647 - 1LL), "<error>");
}

}  // namespace
