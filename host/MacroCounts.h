#pragma once
// What kvlhost knows of the plug-in's macros without linking them: each name, the
// argument counts it accepts and a one-line summary, in list order. Written at build time
// from the families' rows and the macro index of docs/macros.md (cmake/macro-counts.py),
// so it follows the plug-in's table.
#include <climits>
#include <span>
#include <string_view>

namespace kvlhost {

struct MacroCounts {
  std::string_view name;
  int minArgs;
  int maxArgs;
  std::string_view summary = {};  // the macro index's line for it ("the length of a text")
};

inline constexpr int kAnyCount = INT_MAX;

std::span<const MacroCounts> PluginMacroCounts();

}  // namespace kvlhost
