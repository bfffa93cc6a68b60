#include "core/MacroTable.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "core/Errors.h"
#include "core/Limits.h"
#include "core/TextUtil.h"
#include "core/WorkBudget.h"

namespace kvl {

namespace {
std::uint32_t FoldedNameHash(std::string_view name) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : name) hash = (hash ^ static_cast<unsigned char>(AsciiUpper(c))) * 16777619u;
  return hash;
}

// At most four slots in ten filled: probes stay short.
std::size_t SlotCount(std::size_t rows) {
  std::size_t slots = 16;
  while (slots < rows * 5 / 2) slots *= 2;
  return slots;
}
}  // namespace

MacroIndex::MacroIndex(std::span<const MacroRow> rows)
    : rows_(rows.first(std::min<std::size_t>(rows.size(), UINT16_MAX - 1))), slots_(SlotCount(rows_.size()), 0) {
  // Rows go in in table order, so a name that two rows shared would find the earlier.
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    longest_ = std::max(longest_, rows_[row].name.size());
    std::size_t at = FoldedNameHash(rows_[row].name) & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = static_cast<std::uint16_t>(row + 1);
  }
}

const MacroRow* MacroIndex::find(std::string_view name) const {
  if (name.empty() || name.size() > longest_) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = FoldedNameHash(name) & mask; slots_[at] != 0; at = (at + 1) & mask)
    if (const MacroRow& row = rows_[slots_[at] - 1u]; EqualsIgnoringAsciiCase(row.name, name)) return &row;
  return nullptr;
}

const MacroRow* MacroIndex::find(const char* name, std::int32_t nameLength) const {
  if (name == nullptr || nameLength <= 0) return nullptr;
  // Reads at most nameLength characters, and never more than one past the longest
  // name: a longer name matches no row however long the host says it is. A NUL
  // inside the length ends the name, for hosts that count the terminator.
  const std::size_t readable = std::min<std::size_t>(static_cast<std::size_t>(nameLength), longest_ + 1);
  return find(std::string_view(name, static_cast<std::size_t>(std::find(name, name + readable, '\0') - name)));
}

std::string MacroIndex::listText() const {
  std::string list;
  for (const MacroRow& row : rows_) {
    list += row.name;
    list += "\r\n";
  }
  return list;
}

std::string RunMacro(const MacroRow& row, Call& call) {
  try {
    if (call.count() < row.minArgs || call.count() > row.maxArgs) return std::string(ErrParamCount);
    std::string result = row.handler(call);
    if (result.size() > kResultCap) return std::string(ErrParamValue);
    return result;
  } catch (const BudgetSpent&) {
    return std::string(ErrNoSuccess);
  } catch (const std::bad_alloc&) {
    return std::string(ErrParamValue);  // a result the 32-bit host cannot hold
  } catch (const std::length_error&) {
    return std::string(ErrParamValue);
  } catch (...) {
    return std::string(ErrNoSuccess);
  }
}

}  // namespace kvl
