// Unit tests of the collector's policy (memory/policy.h): when the
// countdown makes a collection due, which kind it is, the request of
// interning, and the levels and budget a collection sets from what it found
// in use. A policy of its own is driven here, apart from any area.
#include <gtest/gtest.h>

#include "tests/unit/interp.h"

namespace {

// The capacities the areas had before they followed the memory limit.
constexpr long kCells = 200000, kSlots = 50000, kNames = 320000,
               kSymbols = 100000;

GcPolicy Fresh(long cells = kCells) {
    GcPolicy p;
    p.Start(cells, kSlots, kSlots, kNames, kSymbols);
    return p;
}

TEST(GcPolicy, AreaCountdownMakesGcDueAtItsLevel) {
    GcPolicy p = Fresh();
    // The floating-number area is the nearest to its level.
    long steps = kSlots - reserveOf(kSlots);
    for (long i = 0; i < steps; i++) {
        p.TookSlot(p.freeFloats);
        ASSERT_FALSE(p.Due()) << "after " << i + 1 << " slots";
    }
    EXPECT_FALSE(p.AreaDue());
    p.TookSlot(p.freeFloats);
    EXPECT_TRUE(p.Due());
    EXPECT_TRUE(p.AreaDue());  // the collection the user sees
    EXPECT_TRUE(p.Due());      // and it stays due until one runs
}

TEST(GcPolicy, BudgetMakesASilentCollectionDue) {
    // Cells enough that the budget, not the level, comes first.
    GcPolicy p = Fresh(1L << 24);
    for (long i = 0; i < kGcBudget; i++) p.TookCell();
    EXPECT_FALSE(p.Due());
    p.TookCell();
    EXPECT_TRUE(p.Due());
    EXPECT_FALSE(p.AreaDue());  // silent: no area is below its level
    // A silent collection sets the budget again and leaves the free
    // counter alone, as if nothing had been reclaimed.
    long free = p.freeCells;
    p.Collected(1000);
    p.SetCountdown();
    EXPECT_FALSE(p.Due());
    EXPECT_EQ(free, p.freeCells);
    EXPECT_EQ(kGcBudget, p.budget);
    // The budget follows the live data once that is larger.
    p.Collected(3 * kGcBudget);
    EXPECT_EQ(3 * kGcBudget, p.budget);
}

TEST(GcPolicy, RequestIsDueAtTheNextStepUntilGcRuns) {
    GcPolicy p = Fresh();
    EXPECT_FALSE(p.Due());
    EXPECT_TRUE(p.Fits(1000));
    p.Want();
    EXPECT_TRUE(p.Due());
    EXPECT_TRUE(p.AreaDue());
    EXPECT_FALSE(p.Fits(0));  // RoomFor collects first
    // A silent collection does not answer the request.
    p.Collected(0);
    EXPECT_TRUE(p.Due());
    p.Recount(1000, 0, 0, kNames, kSymbols);
    EXPECT_FALSE(p.Due());
    EXPECT_FALSE(p.AreaDue());
    EXPECT_TRUE(p.Fits(1000));
}

TEST(GcPolicy, RecountSetsLevelsFromWhatIsInUse) {
    GcPolicy p = Fresh();
    long reserve = reserveOf(kCells);
    for (int i = 0; i < 500; i++) p.TookCell();
    // Plenty free: the level is the reserve.
    EXPECT_EQ(0, p.Recount(10000, 0, 0, kNames, kSymbols));
    EXPECT_EQ(kCells - 10000, p.freeCells);
    EXPECT_EQ(reserve, p.dueCells);
    EXPECT_EQ(0, p.areasFull);
    // Less than twice the reserve free: the area is full, reported once,
    // and the level is half of what is left.
    long free = 2 * reserve - 10;
    EXPECT_EQ(1, p.Recount(kCells - free, 0, 0, kNames, kSymbols));
    EXPECT_EQ(free / 2, p.dueCells);
    EXPECT_EQ(1, p.areasFull);
    EXPECT_EQ(0, p.Recount(kCells - free, 0, 0, kNames, kSymbols));
    EXPECT_EQ(1, p.areasFull);
    // The name area has no free counter, only its level and its bit.
    EXPECT_EQ(8, p.Recount(kCells - free, 0, 0, 100, kSymbols));
    EXPECT_EQ(50, p.dueString);
    // Free again: back to the reserve, and no longer full.
    EXPECT_EQ(0, p.Recount(1000, 0, 0, kNames, kSymbols));
    EXPECT_EQ(reserve, p.dueCells);
    EXPECT_EQ(0, p.areasFull);
    // What was handed out is counted across every recount.
    unsigned long cells, floats, ints;
    p.TookCell();
    p.Allocated(&cells, &floats, &ints);
    EXPECT_EQ(501UL, cells);
    EXPECT_EQ(0UL, floats);
}

// The interpreter's own policy: what interning asks for, the next step
// runs, and RoomFor collects before it answers.
TEST(GcPolicy, InterpreterRunsTheRequestedCollection) {
    clisp& m = Lisp();
    unsigned long before = m.policy.collections;
    EXPECT_FALSE(m.CollectDue());
    m.policy.Want();
    EXPECT_TRUE(m.CollectDue());
    m.CollectNow();
    EXPECT_EQ(before + 1, m.policy.collections);
    EXPECT_FALSE(m.CollectDue());
    m.policy.Want();
    EXPECT_TRUE(m.RoomFor(100));
    EXPECT_EQ(before + 2, m.policy.collections);
    EXPECT_FALSE(m.CollectDue());
}

}  // namespace
