#pragma once
// Text editing rules: replacement, character translation, wrapping and justification.
#include <string>
#include <string_view>

#include "core/TextUtil.h"

namespace kvl {

// ReplaceAll (core/TextUtil) again while the search text occurs (tested through `occursFold`).
// A replacement that contains the search text is applied once: more passes could
// only grow the text. A text that has not settled when the passes have read
// kReplaceWorkFactor times the input plus kReplaceWorkFloor characters throws
// ResultTooLarge (each pass only peels a layer off nested occurrences, so some texts
// would otherwise take time quadratic in their size).
std::string ReplaceRepeatedly(std::string_view text, std::string_view search, std::string_view replacement,
                              CaseMap fold, CaseMap occursFold);
inline constexpr std::size_t kReplaceWorkFactor = 64;
inline constexpr std::size_t kReplaceWorkFloor = 256u << 20;

// Translate mode maps the k-th character of `from` to the k-th of `to`; delete mode
// drops every character of `from`. `lowerFirst` looks the text up lower-cased (ASCII).
std::string TranslateChars(std::string_view text, std::string_view from, std::string_view to, bool deleteMode,
                           bool lowerFirst);

// Breaks lines longer than width at their last blank or TAB within the width, or hard
// at the width; every line ends in CR LF. Widths below 3 leave the text unchanged.
std::string WrapLines(std::string_view text, long long width);
// Widens the line's gaps, from the last towards the first, until it is width long.
std::string JustifyLine(std::string_view line, long long width);

enum class Alignment { Left, Right, Centre, Justify };
// Wraps and aligns; the result's lines each end in CR LF.
std::string WrapAndAlign(std::string_view text, long long width, Alignment alignment);

std::string Rot13(std::string_view text);

}  // namespace kvl
