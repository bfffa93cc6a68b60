#include "dialogs/WindowLayout.h"

#include <algorithm>

#include "core/TextUtil.h"

namespace kvl::dialogs {

namespace {
constexpr int kMargin = 6;
constexpr int kLabelWidth = 388;
constexpr int kBodyHeight = 136;
constexpr int kButtonWidth = 148;
constexpr int kButtonHeight = 28;
// Everything of the client area's height but the label.
constexpr int kFixedHeight = kMargin + kMargin + kBodyHeight + kMargin + kButtonHeight + kMargin;

struct KindSizes {
  int clientWidth;
  int bodyWidth;
  int cancelLeft;
};
constexpr KindSizes SizesOf(WindowKind kind) {
  return kind == WindowKind::Text ? KindSizes{511, 499, 357} : KindSizes{457, 445, 303};
}
}  // namespace

int EffectiveMaxLength(std::int64_t requested) {
  return requested < 1 || requested > kLongestDialogText ? kLongestDialogText : static_cast<int>(requested);
}

std::string CounterText(std::size_t length, int maximum) {
  const long long remaining = static_cast<long long>(maximum) - static_cast<long long>(length);
  return std::to_string(length) + " / " + std::to_string(maximum) + " (" + std::to_string(remaining) + ")";
}

WindowLayout LayOutWindow(WindowKind kind, int labelHeight, int tallestClient) {
  const KindSizes sizes = SizesOf(kind);
  const int label = std::clamp(labelHeight, 0, std::max(0, tallestClient - kFixedHeight));
  WindowLayout layout;
  layout.clientWidth = sizes.clientWidth;
  layout.label = {kMargin, kMargin, kLabelWidth, label};
  layout.body = {kMargin, layout.label.bottom() + kMargin, sizes.bodyWidth, kBodyHeight};
  const int buttonsTop = layout.body.bottom() + kMargin;
  layout.ok = {kMargin, buttonsTop, kButtonWidth, kButtonHeight};
  layout.cancel = {sizes.cancelLeft, buttonsTop, kButtonWidth, kButtonHeight};
  layout.counter = {159, buttonsTop + 9, 193, 16};
  layout.clientHeight = layout.ok.bottom() + kMargin;
  return layout;
}

std::vector<ChoiceItem> ParseChoiceItems(std::string_view items) {
  std::vector<ChoiceItem> parsed;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = FindText(items, "|", start);
    const std::string_view item = items.substr(start, end == std::string_view::npos ? items.npos : end - start);
    parsed.push_back({FieldAt(item, "$", 1), AsciiUppered(FieldAt(item, "$", 2)) == "X", FieldAt(item, "$", 3)});
    if (end == std::string_view::npos) return parsed;
    start = end + 1;
  }
}

void ToggleEntry(std::vector<bool>& ticks, std::size_t entry, bool singleChoice) {
  if (entry >= ticks.size()) return;
  if (!singleChoice) {
    ticks[entry] = !ticks[entry];
    return;
  }
  std::fill(ticks.begin(), ticks.end(), false);
  ticks[entry] = true;
}

std::string ChoiceResult(const std::vector<ChoiceItem>& items, const std::vector<bool>& ticks, bool singleChoice,
                         int mode) {
  const auto modeText = [&](std::size_t entry) -> std::string {
    switch (mode) {
      case 0: return items[entry].label;
      case 1: return std::to_string(entry + 1);
      case 2: return items[entry].value;
      default: return {};
    }
  };
  std::string result;
  bool first = true;
  for (std::size_t entry = 0; entry < items.size() && entry < ticks.size(); ++entry) {
    if (!ticks[entry]) continue;
    if (singleChoice) return modeText(entry);
    if (!first) result += '|';
    result += modeText(entry);
    first = false;
  }
  return result;
}

std::string WithCrLfBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kvl::dialogs
