// The text and choice windows' rules without a window: the maximum length, the layout
// around the prompt, choice items, ticking and what a confirmed choice answers.
#include <gtest/gtest.h>

#include <tuple>

#include "dialogs/WindowLayout.h"

namespace {

using namespace kvl::dialogs;

TEST(TextWindowRules, MaximumLengthOutsideItsRangeIsTheLongest) {
  const std::pair<std::int64_t, int> maxima[] = {{0, 100000},     {-1, 100000},    {-2147483648LL, 100000},
                                                 {1, 1},           {10, 10},        {99999, 99999},
                                                 {100000, 100000}, {100001, 100000}};
  for (const auto& [requested, maximum] : maxima) EXPECT_EQ(EffectiveMaxLength(requested), maximum) << requested;
}

TEST(TextWindowRules, LayoutFollowsThePromptsHeight) {
  const WindowLayout oneLine = LayOutWindow(WindowKind::Text, 13, 10000);
  EXPECT_EQ(oneLine.clientWidth, 511);
  EXPECT_EQ(oneLine.label, (PixelRect{6, 6, 388, 13}));
  EXPECT_EQ(oneLine.body, (PixelRect{6, 25, 499, 136}));
  EXPECT_EQ(oneLine.ok, (PixelRect{6, 167, 148, 28}));
  EXPECT_EQ(oneLine.cancel, (PixelRect{357, 167, 148, 28}));
  EXPECT_EQ(oneLine.counter, (PixelRect{159, 176, 193, 16}));
  EXPECT_EQ(oneLine.clientHeight, 201);

  const WindowLayout threeLines = LayOutWindow(WindowKind::Choice, 39, 10000);
  EXPECT_EQ(threeLines.clientWidth, 457);
  EXPECT_EQ(threeLines.body, (PixelRect{6, 51, 445, 136}));
  EXPECT_EQ(threeLines.ok, (PixelRect{6, 193, 148, 28}));
  EXPECT_EQ(threeLines.cancel, (PixelRect{303, 193, 148, 28}));
  EXPECT_EQ(threeLines.clientHeight, 227);

  // The prompt is cut where the window would leave the screen.
  EXPECT_EQ(LayOutWindow(WindowKind::Text, 50, 238).label.height, 50);
  EXPECT_EQ(LayOutWindow(WindowKind::Text, 51, 238).label.height, 50);
  EXPECT_EQ(LayOutWindow(WindowKind::Text, 51, 238).clientHeight, 238);
  EXPECT_EQ(LayOutWindow(WindowKind::Text, 20, 100).label.height, 0);
  EXPECT_EQ(LayOutWindow(WindowKind::Text, -5, 1000).body.top, 12);
}

// The plain items' values, labels and marks show in the live windows (TextWindowsTest).
TEST(ChoiceItems, OddItems) {
  const std::vector<ChoiceItem> odd = ParseChoiceItems("plain|v$XX$L|v$ x$L|v$X$L$more||");
  ASSERT_EQ(odd.size(), 6u);
  EXPECT_EQ(odd[0].value, "plain");  // no "$": an empty entry
  EXPECT_EQ(odd[0].label, "");
  EXPECT_FALSE(odd[0].preTicked);
  EXPECT_FALSE(odd[1].preTicked);
  EXPECT_FALSE(odd[2].preTicked);
  EXPECT_TRUE(odd[3].preTicked);
  EXPECT_EQ(odd[3].label, "L");
  EXPECT_EQ(odd[5].value, "");
  EXPECT_EQ(ParseChoiceItems("").size(), 1u);
}

// Clicks on the live windows tick and untick (TextWindowsTest); here a tick moving on and no entry.
TEST(ChoiceItems, TickingSingleAndSeveral) {
  std::vector<bool> single{false, true, false};
  ToggleEntry(single, 2, true);
  EXPECT_EQ(single, (std::vector<bool>{false, false, true}));
  std::vector<bool> several{true, false, true};
  ToggleEntry(several, 3, false);  // no such entry
  EXPECT_EQ(several, (std::vector<bool>{true, false, true}));
}

TEST(ChoiceItems, ResultByModeForSingleAndSeveral) {
  const std::vector<ChoiceItem> items = ParseChoiceItems("a$X$Apple|b$$Banana|c$x$Cherry");
  const std::vector<bool> ticks{true, false, true};
  // Modes 3 and -1 give nothing per entry, still joined.
  for (const auto& [mode, several, single] : {std::tuple{0, "Apple|Cherry", "Apple"}, {1, "1|3", "1"}, {2, "a|c", "a"},
                                              {3, "|", ""}, {-1, "|", ""}}) {
    EXPECT_EQ(ChoiceResult(items, ticks, false, mode), several) << mode;
    EXPECT_EQ(ChoiceResult(items, ticks, true, mode), single) << mode;
  }
  EXPECT_EQ(ChoiceResult(items, {false, false, true}, true, 1), "3");
  EXPECT_EQ(ChoiceResult(items, {false, true, false}, false, 0), "Banana");
  EXPECT_EQ(ChoiceResult(items, {false, false, false}, false, 0), "");
  EXPECT_EQ(ChoiceResult(items, {false, false, false}, true, 2), "");
}

TEST(TextWindowRules, EveryLineBreakBecomesCrLf) {
  EXPECT_EQ(WithCrLfBreaks("a\nb\rc\r\nd\n\re\r\r\n"), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n\r\n");
  EXPECT_EQ(WithCrLfBreaks("no break"), "no break");
  EXPECT_EQ(WithCrLfBreaks(""), "");
}

}  // namespace
