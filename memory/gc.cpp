// cmemory: the collector. Clear the in-use bitmaps up to the high-water
// marks, mark from the roots, count what is in use; cells and slots left
// unmarked are free for allocation, which searches the bitmaps from their
// start. Nothing is swept: the cost of a collection is the live data it
// marks plus one bit per cell ever handed out. The marking itself, and its
// helper thread, are in memory/mark.cpp; here are the collection and its
// policy (when the next one is due, and what a full area reports).
#include <cstdlib>
#include <cstring>

#include "memory/mark.h"

using namespace marking;

namespace {

// The state of an area after a collection left `free` of it, `held` of it
// reached from the stacks of the evaluation; answers the level of free
// slots below which the next collection is due. A full area is reported
// when it fills. The debug loop then runs in the reserve; once half of
// the reserve is used, the area is reported again whenever what is free
// has fallen below half of what was free at its last report, so that a
// program there that keeps what it makes fails a step before evaluation
// uses the reserve up, which would end the session.
long settle(cmemory* m, long free, long capacity, long held, int area,
            const char* message) {
    long reserve = reserveOf(capacity);
    int bit = 1 << area;
    if (free >= 2 * reserve) {
        m->areasFull &= ~bit;
        return reserve;
    }
    if (!(m->areasFull & bit) ||
        (free < reserve / 2 && free < m->freeWhenFull[area] / 2)) {
        m->areasFull |= bit;
        m->freeWhenFull[area] = free;
        // A deep evaluation whose stacks hold more than half the area: a
        // recursion too deep for what its calls keep, although the stacks
        // could take more calls.
        long entries = (m->cellStackTop - m->cellStack) +
                       (m->locStackTop - m->locStack);
        m->areaFull = held > capacity / 2 && entries > m->depthEntries / 16
                          ? "エラー: 再帰が深すぎます。"
                          : message;
    }
    return free / 2;
}

inline void clearMarks(markword* marks, long high) {
    memset(marks, 0, (size_t)markWords(high) * sizeof(markword));
}

}  // namespace

// Uninterned symbols that the marking did not reach leave the symbol table,
// and their names the name area: both are compacted in creation order
// (names are stored in the order of the table), and the index of interned
// names is rebuilt over the new positions.
void cmemory::SweepSymbols() {
    _cell** kept = symbolTable;
    for (_cell** p = symbolTable; p < symbolTableEnd; p++)
        if ((*p)->kind != 'g' || InUse(*p)) *kept++ = *p;
    if (kept == symbolTableEnd) return;
    symbolTableEnd = kept;
    char* next = stringArea;
    for (_cell** p = symbolTable; p < symbolTableEnd; p++) {
        size_t n = strlen((*p)->car.s) + 1;
        memmove(next, (*p)->car.s, n);
        (*p)->car.s = next;
        next += n;
    }
    memset(next, 0, (size_t)(stringNext - next));
    stringNext = next;
    RebuildSymbolIndex();
}

void cmemory::RebuildSymbolIndex() {
    memset(symbolIndex, 0, (size_t)symbolIndexSize * sizeof(unsigned));
    for (_cell** p = symbolTable; p < symbolTableEnd; p++)
        if ((*p)->kind != 'g') IndexSymbol((*p)->car.s, p - symbolTable);
}

void cmemory::Collect() {
    collections++;
#if TK_DEBUG
    VerifyRoots();
#endif
    gcEpoch++;
    // Clear. Every interned symbol and keyword stays in use: they are never
    // reclaimed. An uninterned symbol is reclaimed, with its name, when
    // nothing reaches it. (A multiple-value copy of a symbol is a cell of
    // type 's' that is not in the table; it is reclaimed like any other
    // cell.)
    clearMarks(cellMarks, cellHigh);
    clearMarks(floatMarks, floatHigh);
    clearMarks(intMarks, intHigh);
    // A symbol holding a values list (INTERN leaves one there) is marked
    // only when a root reaches it, so that its list is marked with it; it
    // is kept all the same, after the marking.
    long permanent = 0;
    for (_cell** p = symbolTable; p < symbolTableEnd; p++)
        if ((*p)->kind != 'g' && !(*p)->extraKind) {
            setMark(cellMarks, *p - cellArea);
            permanent++;
        }

    // Mark, root by root.
    markedCells = markedFloats = markedInts = 0;
    visitRoots(this, [this](_cell* c) { MarkFrom(c); }, [this] {
        heldCells = markedCells;
        heldFloats = markedFloats;
        heldInts = markedInts;
    });

    // Every interned symbol is kept, but the values list of one that no
    // root reached is freed now, so the symbol lets go of it.
    for (_cell** p = symbolTable; p < symbolTableEnd; p++)
        if ((*p)->kind != 'g' && setMark(cellMarks, *p - cellArea)) {
            clearValues(*p);
            permanent++;
        }

    // Kept frames that no reachable closure refers to are gone.
    for (_framehead** link = &keptFrames; *link;) {
        _framehead* h = *link;
        if (h->mark != gcEpoch) {
            *link = h->next;
            free(h);
        } else {
            link = &h->next;
        }
    }

    SweepSymbols();
    usedCells = permanent + markedCells;
    usedFloats = markedFloats;
    usedInts = markedInts;
#if TK_DEBUG
    {
        long cells = 0, floats = 0, ints = 0;
        for (long i = 0; i < cellHigh; i++) cells += testMark(cellMarks, i);
        for (long i = 0; i < floatHigh; i++) floats += testMark(floatMarks, i);
        for (long i = 0; i < intHigh; i++) ints += testMark(intMarks, i);
        TK_ASSERT(cells == usedCells && floats == usedFloats &&
                  ints == usedInts);
    }
    // Poison what this collection freed, so that a cell still used after it
    // fails loudly. Allocation sets every field again.
    for (long i = 0; i < cellHigh; i++) {
        _cell* c = cellArea + i;
        if (!testMark(cellMarks, i)) {
            c->type = 'r';
            c->car.p = c->cdr.p = (_cell*)16;
            c->extraKind = kHasValues;
            c->extra.p = (_cell*)16;
        }
    }
    for (long i = 0; i < floatHigh; i++)
        if (!testMark(floatMarks, i)) floatArea[i].value = -1e300L;
    for (long i = 0; i < intHigh; i++)
        if (!testMark(intMarks, i)) intArea[i].value = 0x5A5A5A5AL;
#endif
    // Allocation searches from the start again, so the lowest free cells
    // are reused first and the areas stay as small as the data allows.
    cellScan = floatScan = intScan = 0;
    long used = usedCells + usedFloats + usedInts;
    gcBudget = used > kGcBudget ? used : kGcBudget;
    gcCountdownFrom = gcCountdown;  // nothing left to take off the budget
}

// Between two calls of gc() the free counters only fall, by one per cell or
// slot handed out, while a silent collection can only free more: so what
// is really in use never exceeds capacity minus the counter, and the
// allocation that the counter allows always finds a free bit.
void cmemory::gcSilent() {
    Collect();
    SetCountdown();
}

void cmemory::gc() {
    Collect();
    cellsTaken += freeCellsGiven - freeCells;
    freeCells = freeCellsGiven = kCellCapacity - usedCells;
    floatsTaken += (unsigned long)(freeFloatsGiven - freeFloats);
    intsTaken += (unsigned long)(freeIntsGiven - freeInts);
    freeFloats = freeFloatsGiven = kFloatCapacity - usedFloats;
    freeInts = freeIntsGiven = kIntCapacity - usedInts;
    gcDueCells = settle(this, freeCells, kCellCapacity, heldCells, 0,
                        "エラー: セル領域が一杯です。");
    gcDueFloats = settle(this, freeFloats, kFloatCapacity, heldFloats, 1,
                         "エラー: 数値領域が一杯です。");
    gcDueInts = settle(this, freeInts, kIntCapacity, heldInts, 2,
                       "エラー: 整数領域が一杯です。");
    gcDueString = settle(this, kStringCapacity - (stringNext - stringArea),
                         kStringCapacity, 0, 3,
                         "エラー: ストリング領域が一杯です。");
    long freeSymbols = kSymbolCapacity - (symbolTableEnd - symbolTable);
    gcDueSymbols = freeSymbols < 2 * reserveOf(kSymbolCapacity)
                       ? freeSymbols / 2
                       : reserveOf(kSymbolCapacity);
    SetCountdown();
    // A cursor taking one fresh cell per allocation from the start of the
    // area reaches its last cell (never handed out) after capacity - 1.
    if (cellsTaken >= kCellCapacity - 1) cellWrapped = 1;
    // The line goes where messages go: standard output at the console,
    // standard error in script mode, whose standard output is the
    // program's alone.
    if (!gcQuiet)
        fprintf(messageOut, "gc: セル %ld個 浮動小数点数 %ld個 整数 %ld個 使用中 %c\n",
               usedCells, usedFloats, usedInts, cellWrapped ? '*' : ' ');
}
