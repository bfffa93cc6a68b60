#include "plugin/MacroList.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "addresses/AddressRows.h"
#include "core/ControlRows.h"
#include "datetime/DateTimeRows.h"
#include "dialogs/DialogRows.h"
#include "mailtext/MailTextRows.h"
#include "regex/RegexRows.h"
#include "system/SystemRows.h"
#include "text/TextRows.h"

namespace kvl {

namespace {

constexpr char Lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr int CompareIgnoringCase(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (Lowered(a[i]) != Lowered(b[i])) return Lowered(a[i]) < Lowered(b[i]) ? -1 : 1;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The list is alphabetical, ignoring case, except that KVL_PlugPath and KVL_PlugVer
// come first, KVL_ArgCount and KVL_ArgItem right after KVL_AttrSet, and KVL_Test last:
// hosts and templates have seen it in this order from the first release.
struct ListPlace {
  int group;                  // 0 first, 1 the alphabet, 2 last
  std::string_view sortedAs;  // the name it is sorted under
  int afterIt;                // 1 when it follows the row of that name
};

constexpr ListPlace PlaceOf(std::string_view name) {
  if (name == "KVL_PlugPath" || name == "KVL_PlugVer") return {0, name, 0};
  if (name == "KVL_Test") return {2, name, 0};
  if (name == "KVL_ArgCount" || name == "KVL_ArgItem") return {1, "KVL_AttrSet", 1};
  return {1, name, 0};
}

constexpr bool ListsBefore(const MacroRow& a, const MacroRow& b) {
  const ListPlace p = PlaceOf(a.name), q = PlaceOf(b.name);
  if (p.group != q.group) return p.group < q.group;
  if (const int c = CompareIgnoringCase(p.sortedAs, q.sortedAs); c != 0) return c < 0;
  if (p.afterIt != q.afterIt) return p.afterIt < q.afterIt;
  return CompareIgnoringCase(a.name, b.name) < 0;
}

template <const auto&... familyRows>
consteval auto InListOrder() {
  std::array<MacroRow, (familyRows.size() + ...)> rows{};
  auto at = rows.begin();
  ((at = std::copy(familyRows.begin(), familyRows.end(), at)), ...);
  std::sort(rows.begin(), rows.end(), ListsBefore);
  return rows;
}

constexpr auto kTable = InListOrder<control::kRows, text::kRows, regex::kRows, mailtext::kRows, datetime::kRows,
                                    addresses::kRows, system::kRows, dialogs::kRows>();

consteval bool NamesAreUnique() {
  for (std::size_t i = 1; i < kTable.size(); ++i)
    if (CompareIgnoringCase(kTable[i - 1].name, kTable[i].name) == 0) return false;
  return true;
}
static_assert(kTable.size() == 131, "every family's rows, each once");
static_assert(NamesAreUnique(), "two rows of one name: the second could never be called");

}  // namespace

std::span<const MacroRow> MacroTable() { return kTable; }

const MacroIndex& Macros() {
  static const MacroIndex index(kTable);
  return index;
}

}  // namespace kvl
