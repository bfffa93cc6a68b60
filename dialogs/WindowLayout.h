#pragma once
// The rules of the text and choice windows that need no window: where the controls go
// once the prompt is measured, the text window's counter, the choice items and what a
// confirmed choice answers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvl::dialogs {

// Longest text the text window accepts; also the maximum when none (or none in
// 1 ... this) is asked for.
inline constexpr int kLongestDialogText = 100000;

// The text window's maximum length: values below 1 or above the longest count as the longest.
int EffectiveMaxLength(std::int64_t requested);

// "length / maximum (remaining)"; the remaining count goes below 0 when a longer
// initial text was given.
std::string CounterText(std::size_t length, int maximum);

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int bottom() const { return top + height; }
  bool operator==(const PixelRect&) const = default;
};

enum class WindowKind { Text, Choice };

// Client-area positions: the label at the top, the edit field or list 6 pixels below
// it, the buttons 6 below that, the counter (text window) on the buttons' row.
struct WindowLayout {
  int clientWidth = 0;
  int clientHeight = 0;
  PixelRect label, body, ok, cancel, counter;
};

// The layout for a label `labelHeight` pixels tall. A label that would make the client
// area taller than `tallestClient` is cut so the buttons stay on the screen.
WindowLayout LayOutWindow(WindowKind kind, int labelHeight, int tallestClient);

// One entry of the choice window: "value$mark$label"; a mark of "x" or "X" pre-ticks it.
struct ChoiceItem {
  std::string value;
  bool preTicked = false;
  std::string label;
};

// The items of a "|"-separated list (one more item than there are "|"); an item
// without "$" has an empty label.
std::vector<ChoiceItem> ParseChoiceItems(std::string_view items);

// A click or the space bar on `entry`. With a single choice the clicked entry becomes
// the only ticked one, whatever its state was; otherwise it flips.
void ToggleEntry(std::vector<bool>& ticks, std::size_t entry, bool singleChoice);

// What a confirmed choice answers: per ticked entry its label (mode 0), its position
// from 1 (mode 1), its value (mode 2), nothing (any other mode). A single choice
// answers the first ticked entry; several are joined by "|" in list order.
std::string ChoiceResult(const std::vector<ChoiceItem>& items, const std::vector<bool>& ticks, bool singleChoice,
                         int mode);

// Every line break (CR LF, lone CR, lone LF) as CR LF, the form a multi-line edit
// field shows and answers.
std::string WithCrLfBreaks(std::string_view text);

}  // namespace kvl::dialogs
