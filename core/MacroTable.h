#pragma once
// A row of the macro table (name, handler and the argument counts it accepts), the
// look-up of a row by name, and the dispatch of one call. Each macro family owns its
// rows (its kRows); the plug-in puts them together in the order of the macro list.
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// Finds rows by name through a hash of their ASCII-folded letters: a call costs the
// same whatever the row, where walking 131 rows cost most of a short macro's call.
class MacroIndex {
 public:
  explicit MacroIndex(std::span<const MacroRow> rows);

  std::span<const MacroRow> rows() const { return rows_; }
  // First row whose name equals `name`, folding ASCII letters only; null if none.
  const MacroRow* find(std::string_view name) const;
  // The same for a name as the mail client hands it: `nameLength` characters (fewer
  // when a NUL comes first), never read past; null for a length of 0 or less.
  const MacroRow* find(const char* name, std::int32_t nameLength) const;
  // Every name followed by CR LF, in table order.
  std::string listText() const;

 private:
  std::span<const MacroRow> rows_;
  std::vector<std::uint16_t> slots_;  // row number + 1; 0 for an empty slot
  std::size_t longest_ = 0;
};

// Checks the argument count, runs the handler and contains every failure:
// whatever happens, the answer is a result text.
std::string RunMacro(const MacroRow& row, Call& call);

}  // namespace kvl
