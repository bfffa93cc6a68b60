#pragma once
// The table of macros: name, handler and the argument counts it accepts, in
// the fixed order of the macro list and of the name search.
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/Call.h"

namespace kvl {

using MacroHandler = std::string (*)(Call&);

struct MacroRow {
  std::string_view name;
  MacroHandler handler;
  int minArgs;
  int maxArgs;
};

inline constexpr int kAnyCount = INT_MAX;

std::span<const MacroRow> MacroTable();

// First row whose name equals `name`, folding ASCII letters only; null if none.
const MacroRow* FindMacro(std::string_view name);
// The same for a name as the mail client hands it: `nameLength` characters (fewer when
// a NUL comes first), never read past; null for a length of 0 or less.
const MacroRow* FindMacro(const char* name, std::int32_t nameLength);

// Every name followed by CR LF, in table order.
std::string MacroListText();

// Checks the argument count, runs the handler and contains every failure:
// whatever happens, the answer is a result text.
std::string RunMacro(const MacroRow& row, Call& call);

}  // namespace kvl
