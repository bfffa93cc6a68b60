#pragma once
// What kvlhost knows of the plug-in's macros without linking them: each name and the
// argument counts it accepts, in list order. Written at build time from the families'
// rows (cmake/macro-counts.py), so it follows the plug-in's table.
#include <climits>
#include <span>
#include <string_view>

namespace kvlhost {

struct MacroCounts {
  std::string_view name;
  int minArgs;
  int maxArgs;
};

inline constexpr int kAnyCount = INT_MAX;

std::span<const MacroCounts> PluginMacroCounts();

}  // namespace kvlhost
