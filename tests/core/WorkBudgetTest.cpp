// The work budget of an outermost macro call: its three bounds on both sides, shared
// by nested calls, fresh for the next outermost call.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/WorkBudget.h"

namespace {

using namespace kvl;

TEST(WorkBudget, PassesAndBytesStopAtTheirBoundsAndStaySpent) {
  {
    const WorkBudgetScope call;
    for (std::uint64_t i = 0; i < kBudgetPasses; ++i) ChargeLoopPass();
    EXPECT_THROW(ChargeLoopPass(), BudgetSpent);
    EXPECT_THROW(ChargeTextBytes(0), BudgetSpent) << "a spent budget stops every kind of work";
  }
  {
    const WorkBudgetScope call;  // the next outermost call starts afresh
    ChargeLoopPass();
    ChargeTextBytes(kBudgetBytes);
    EXPECT_THROW(ChargeTextBytes(1), BudgetSpent);
  }
  {
    const WorkBudgetScope call;
    ChargeTextBytes(kBudgetBytes - 1);
    NoteTextBytes(1);  // a result already made is counted, not thrown away
    ChargeTextBytes(0);
    NoteTextBytes(1);
    EXPECT_THROW(ChargeLoopPass(), BudgetSpent);
  }
  // Outside any call (routines used directly) nothing is counted.
  for (std::uint64_t i = 0; i <= kBudgetPasses; ++i) ChargeLoopPass();
  ChargeTextBytes(kBudgetBytes + 1);
}

TEST(WorkBudget, NestedCallsShareTheOutermostBudgetAndNestingIsBounded) {
  std::vector<std::unique_ptr<WorkBudgetScope>> open;
  for (int depth = 1; depth <= kBudgetNesting; ++depth) {
    open.push_back(std::make_unique<WorkBudgetScope>());
    EXPECT_FALSE(open.back()->tooDeep()) << depth;
  }
  EXPECT_TRUE(WorkBudgetScope().tooDeep());
  ChargeTextBytes(kBudgetBytes);  // spent by the innermost call ...
  open.resize(1);
  EXPECT_THROW(ChargeTextBytes(1), BudgetSpent);  // ... and so for the outermost one
  open.clear();
  const WorkBudgetScope next;
  EXPECT_FALSE(next.tooDeep());
  ChargeTextBytes(kBudgetBytes);
}

// Work outside the plug-in: each kind up to its bound, one more spends the budget;
// key presses are charged in blocks, so a block that would pass the bound is refused.
TEST(WorkBudget, ProcessesDownloadsKeyPressesAndLookUpsStopAtTheirBounds) {
  for (const auto& [bound, charge] : std::vector<std::pair<std::uint64_t, void (*)()>>{
           {kBudgetProcesses, [] { ChargeProcessStart(); }},
           {kBudgetDownloads, [] { ChargeDownload(); }},
           {kBudgetNameLookups, [] { ChargeNameLookup(); }},
           {kBudgetKeystrokes, [] { ChargeKeystrokes(1); }}}) {
    const WorkBudgetScope call;
    for (std::uint64_t i = 0; i < bound; ++i) charge();
    EXPECT_THROW(charge(), BudgetSpent) << bound;
    EXPECT_THROW(ChargeLoopPass(), BudgetSpent) << "the whole call tree stops";
  }
  {
    const WorkBudgetScope call;
    ChargeKeystrokes(kBudgetKeystrokes - 5);
    EXPECT_THROW(ChargeKeystrokes(6), BudgetSpent);
  }
  const WorkBudgetScope call;
  ChargeKeystrokes(kBudgetKeystrokes);
  ChargeProcessStart();  // the kinds are counted apart
}

}  // namespace
