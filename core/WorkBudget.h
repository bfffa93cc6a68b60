#pragma once
// The work one macro call that the mail client starts may cause, however its loops
// nest: loop bodies may call macros and loops again through the host, so the passes
// of every loop in the call tree, the text moved (handed to the host and read back,
// read as arguments, produced as results), the nesting of calls and the work started
// outside the plug-in (processes, downloads, key presses, name look-ups) are counted
// together, and the whole tree stops once any of them is spent.
#include <cstdint>
#include <stdexcept>

namespace kvl {

// Loop passes of one outermost call: a 100 000-pass loop fits twice over.
inline constexpr std::uint64_t kBudgetPasses = 250'000;
// Bytes of text one outermost call may move: handed to the host, read back from it,
// read as arguments and produced as results by the calls nested in it.
inline constexpr std::uint64_t kBudgetBytes = 256ull << 20;
// Macro calls open at once: each level is a round trip through the host's stack.
inline constexpr int kBudgetNesting = 64;
// Work done outside the plug-in while the mail client waits. A console command costs
// 0.1 s under Wine here on an idle machine and 0.3 s on the shared one (its
// interpreter starts and ends), so five keep a loop of them within two seconds; a download tried at a refused port about 10 ms; a key press
// up to 0.45 ms when each is handed to a focused edit window before the next (30 000
// took 13 s), so 10 000 stay within five seconds.
inline constexpr std::uint64_t kBudgetProcesses = 5;
inline constexpr std::uint64_t kBudgetDownloads = 100;
inline constexpr std::uint64_t kBudgetKeystrokes = 10'000;
// A name look-up answers in milliseconds until the resolver starts waiting for a
// network that does not answer: then 0.1 s each here (50 look-ups of an unknown name
// in a row took 0.2 s, 60 took 5 s), and seconds where its time-outs are longer.
inline constexpr std::uint64_t kBudgetNameLookups = 10;

// Thrown when the budget is spent; the call that sees it answers the no-success error.
struct BudgetSpent : std::runtime_error {
  BudgetSpent() : std::runtime_error("the macro call's work budget is spent") {}
};

// Opened by every entry into a macro: the outermost one starts a fresh budget, calls
// nested inside it (through the host) share it. Nothing outlives the outermost call.
class WorkBudgetScope {
 public:
  WorkBudgetScope();
  ~WorkBudgetScope();
  WorkBudgetScope(const WorkBudgetScope&) = delete;
  WorkBudgetScope& operator=(const WorkBudgetScope&) = delete;

  // True when this call is nested deeper than kBudgetNesting (it then runs nothing).
  bool tooDeep() const { return tooDeep_; }

 private:
  bool tooDeep_;
};

// Both throw BudgetSpent once the budget is spent (and from then on, until the
// outermost call ends). Outside any scope nothing is counted.
void ChargeLoopPass();
void ChargeTextBytes(std::uint64_t bytes);
// A program or console command about to be started, a download about to begin, key
// presses about to be sent (modifiers included).
void ChargeProcessStart();
void ChargeDownload();
void ChargeKeystrokes(std::uint64_t presses);
// A host name or address about to be looked up.
void ChargeNameLookup();
// Counts without throwing, for a result that is already made: the next charge throws.
void NoteTextBytes(std::uint64_t bytes);

}  // namespace kvl
