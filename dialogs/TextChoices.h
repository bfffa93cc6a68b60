#pragma once
// The two dialog-family macros that need no window: choosing a value from a list of
// pairs, and a text progress bar.
#include <string>
#include <vector>

namespace kvl::dialogs {

// The text after the first entry equal to `value` (exactly), comparing every entry but
// the last; `dflt` when none is equal.
std::string SelectFromPairs(const std::string& value, const std::string& dflt, const std::vector<std::string>& list);

// The bar of `width` empty marks whose first n characters are filled, n = value x
// (width / maximum) to the nearest integer, halves to even; longer than `width` when
// value exceeds maximum. Empty when maximum is 0 (no scale) or the bar would be longer
// than `longest`: the caller answers those with an error.
struct ProgressBar {
  bool ok = false;
  std::string text;
};
ProgressBar BuildProgressBar(const std::string& emptyMark, const std::string& fillMark, long long width,
                             long long maximum, long long value, std::size_t longest);

}  // namespace kvl::dialogs
