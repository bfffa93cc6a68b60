#include "core/WorkBudget.h"

namespace kvl {

namespace {
struct Budget {
  int depth = 0;  // macro calls open on this thread, the outermost included
  std::uint64_t passes = 0;
  std::uint64_t bytes = 0;
  std::uint64_t processes = 0;
  std::uint64_t downloads = 0;
  std::uint64_t keystrokes = 0;
  std::uint64_t lookups = 0;
  bool spent = false;
};

// The host calls the plug-in's entry points one at a time on its own thread, as all of
// the plug-in's process-wide state assumes. Not thread_local: mingw emulates those with
// a call (about 25 ns under Wine) at each of the four uses of a short macro's call,
// 40 % of KVL_StrLen's whole call.
Budget current;

// Adds `amount` to `used`; the budget is spent once `used` passes `allowed`.
void Count(std::uint64_t& used, std::uint64_t amount, std::uint64_t allowed) {
  if (current.depth == 0 || current.spent) return;
  used = amount > allowed - used ? allowed + 1 : used + amount;
  current.spent = used > allowed;
}

void Charge(std::uint64_t& used, std::uint64_t amount, std::uint64_t allowed) {
  Count(used, amount, allowed);
  if (current.spent) throw BudgetSpent();
}
}  // namespace

// The record is as new whenever no call is open: the outermost call's end resets it.
WorkBudgetScope::WorkBudgetScope() : tooDeep_(++current.depth > kBudgetNesting) {}

WorkBudgetScope::~WorkBudgetScope() {
  if (--current.depth == 0) current = Budget{};  // nothing of it outlives the outermost call
}

void ChargeLoopPass() { Charge(current.passes, 1, kBudgetPasses); }

void ChargeTextBytes(std::uint64_t bytes) { Charge(current.bytes, bytes, kBudgetBytes); }

void ChargeProcessStart() { Charge(current.processes, 1, kBudgetProcesses); }

void ChargeDownload() { Charge(current.downloads, 1, kBudgetDownloads); }

void ChargeKeystrokes(std::uint64_t presses) { Charge(current.keystrokes, presses, kBudgetKeystrokes); }

void ChargeNameLookup() { Charge(current.lookups, 1, kBudgetNameLookups); }

void NoteTextBytes(std::uint64_t bytes) { Count(current.bytes, bytes, kBudgetBytes); }

}  // namespace kvl
