// tamarisk memory layer: the collector's policy. When a collection runs,
// which of the two kinds it is, and the counters that decide both. The
// collection itself (gc, gcSilent, Collect) and the methods below are in
// memory/gc.cpp; the marking and its helper thread in memory/mark.cpp.
//
// Every trigger of a collection, once:
//   1. The allocation countdowns of the three areas (cells, floating
//      numbers, integers). Each has a free counter that falls by one per
//      cell or slot handed out and a level; once a counter is below its
//      level, the next evaluation step runs gc(): the collection the user
//      sees, with its statistics line, which sets the counters again from
//      what is in use.
//   2. The allocation budget: once kGcBudget cells and slots, or as many as
//      the last collection found in use, have been handed out in all, the
//      next step runs gcSilent(), which prints nothing and leaves the free
//      counters alone.
//   3. The request of interning, Want(): the name area or the symbol table
//      has fallen below its level, or the table is full. The next step runs
//      gc(), which reclaims the uninterned symbols nothing holds, and their
//      names.
//   4. A global-variable or function table past its reserve (TableFull):
//      the budget is spent, so the next step collects silently and then
//      fails with the table's message.
//   5. Room for a large allocation, asked before many cells are taken at
//      once: the fast paths (REVERSE, MAKE-ARRAY), FORMAT NIL and the
//      macro-expansion copy through RoomFor or CollectForRoom, READ through
//      CollectForRoom. They run gc() at once, not at the next step.
//   6. (GC), the user's call: gc() at once.
//   7. A full file table: ReclaimStringStreams runs gcSilent() at once to
//      find the string streams nothing holds any more.
//   8. The stress build (TK_GCSTRESS): gc() without its line at every step.
// "The next step" is CollectDue, looked at when an evaluation step begins
// and when a result arrives with an area due; allocation never collects.
#ifndef TAMARISK_MEMORY_POLICY_H
#define TAMARISK_MEMORY_POLICY_H

struct GcPolicy {
    // The capacities the levels are taken from (Start).
    long cellCapacity, floatCapacity, intCapacity;
    long stringCapacity, symbolCapacity;

    // The free counters count down at every allocation and are set again
    // only by gc() (Recount), as if nothing had been reclaimed in between:
    // they decide when the user sees a collection and when an area is
    // full, so both happen exactly where they would without the silent
    // collections. The cells really in use are never more than the
    // counters imply, so an allocation the counter allows always finds a
    // free place.
    long freeCells, freeFloats, freeInts;
    // The levels: gc() is due once a free counter is below its level, the
    // area's reserve or, while the area is full, half of what the last
    // collection left.
    long dueCells, dueFloats, dueInts;
    // The same levels for the name area (bytes) and the symbol table
    // (entries): interning compares with them and calls Want.
    long dueString, dueSymbols;
    // Want() was called since the last gc(): the next step runs gc().
    bool wanted;
    int areasFull;  // bit per area: full, running in its reserve
    // Per area (cells, floats, integers, names): what was free when its
    // fullness was last reported.
    long freeWhenFull[4];
    // Cells and slots left before gcSilent; negative when used up. The
    // allocations since the countdown was last set are not yet taken off.
    long budget;
    // What an evaluation step looks at instead of the comparisons of
    // CountdownDue: a lower bound of the budget and of every free counter
    // above its level, less one per cell or slot handed out (each takes
    // one from the budget and one from one counter). While it is not
    // negative no collection is due; when it is, CountdownDue compares
    // exactly and sets it again. Whatever changes a level, a counter or
    // the budget otherwise calls SetCountdown.
    long countdown;
    long countdownFrom;  // countdown as last set

    // Cells handed out since start-up, counted at each gc(): the statistics
    // line marks the point where a cursor walking the area from its start,
    // one fresh cell per allocation, would have gone through it all
    // (cellWrapped).
    long cellsTaken;
    long freeCellsGiven;  // freeCells as the last gc() set it
    int cellWrapped;
    // The same count for the two slot areas, and the collections of either
    // kind since start-up: what TIME reports.
    unsigned long floatsTaken, intsTaken;
    long freeFloatsGiven, freeIntsGiven;  // as the last gc() set them
    unsigned long collections;

    // A fresh session: the areas empty, every level at its reserve, the
    // whole budget ahead.
    void Start(long cells, long floats, long ints, long strings, long symbols);
    // One cell or slot handed out.
    void TookCell() {
        freeCells--;
        countdown--;
    }
    void TookSlot(long& free) {
        free--;
        countdown--;
    }
    // Is a collection due at this step? Cheap while the countdown lasts.
    bool Due() { return __builtin_expect(countdown < 0, 0) && CountdownDue(); }
    // The exact test, when the countdown has run out: takes the
    // allocations it counted off the budget and sets it again.
    bool CountdownDue();
    void SetCountdown();
    // The collection that is due is the one the user sees (gc()) rather
    // than a silent one: an area below its level, or Want.
    bool AreaDue() const {
        return wanted || freeCells < dueCells || freeFloats < dueFloats ||
               freeInts < dueInts;
    }
    // The explicit request: gc() at the next step.
    void Want();
    // The budget is used up: the next step collects silently.
    void SpendBudget();
    // `cells` more cells leave the cell area above its level (and nothing
    // asked for a collection).
    bool Fits(long cells) const {
        return !wanted && freeCells - cells >= dueCells;
    }
    // The free cells that a text being read or a copy being made must
    // leave: the reserve, or once the area is full, its level (what the
    // debug loop may still use without failing a step).
    long CellFloor() const;
    // After any collection: the next budget, from what is in use, so that
    // an area never holds much more than twice its live data.
    void Collected(long used);
    // After gc(): the free counters from what is in use (the name area's
    // free bytes and the symbol table's free entries given), the levels
    // from them, and the countdown. Answers the bits of the areas (1 cells,
    // 2 floats, 4 integers, 8 names) to report full: those this collection
    // found full and the one before had not, and those whose reserve the
    // debug loop has used half of again (see levelOf).
    int Recount(long usedCells, long usedFloats, long usedInts, long freeString,
                long freeSymbols);
    // Cells and slots handed out since start-up, as of now (each count
    // wraps around modulo ULONG_MAX + 1; differences stay right).
    void Allocated(unsigned long* cells, unsigned long* floats,
                   unsigned long* ints) const {
        *cells = (unsigned long)cellsTaken +
                 (unsigned long)(freeCellsGiven - freeCells);
        *floats = floatsTaken + (unsigned long)(freeFloatsGiven - freeFloats);
        *ints = intsTaken + (unsigned long)(freeIntsGiven - freeInts);
    }
};

#endif  // TAMARISK_MEMORY_POLICY_H
