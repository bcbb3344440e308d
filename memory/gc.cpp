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

// The level of an area after a collection left `free` of it: its reserve,
// or, when less than twice the reserve is left, half of what is free, the
// area being full (its bit in *full) until a collection leaves twice the
// reserve again. The bit goes into *report when the area was not full: the
// step that collected fails with the area's message, and the debug loop
// runs in the reserve. Once half of the reserve is used, the bit goes in
// again whenever what is free has fallen below half of what was free at
// the last report (*reported), so that a program in the debug loop that
// keeps what it makes fails a step before evaluation uses the reserve up,
// which would end the session.
long levelOf(long free, long capacity, int bit, int* full, int* report,
             long* reported) {
    long reserve = reserveOf(capacity);
    if (free >= 2 * reserve) {
        *full &= ~bit;
        return reserve;
    }
    if (!(*full & bit) || (free < reserve / 2 && free < *reported / 2)) {
        *full |= bit;
        *report |= bit;
        *reported = free;
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
    policy.collections++;
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
    visitRoots(
        this, [this](_cell* c) { MarkFrom(c); },
        [this] {
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
    policy.Collected(usedCells + usedFloats + usedInts);
}

// Between two calls of gc() the free counters only fall, by one per cell or
// slot handed out, while a silent collection can only free more: so what
// is really in use never exceeds capacity minus the counter, and the
// allocation that the counter allows always finds a free bit.
void cmemory::gcSilent() {
    Collect();
    policy.SetCountdown();
}

void cmemory::gc() {
    Collect();
    int fresh =
        policy.Recount(usedCells, usedFloats, usedInts,
                       kStringCapacity - (stringNext - stringArea),
                       kSymbolCapacity - (symbolTableEnd - symbolTable));
    // An area found full now: the step that collected fails with its
    // message (the last such area's), or with the depth message when the
    // stacks of a deep evaluation hold more than half the area, a recursion
    // too deep for what its calls keep although the stacks could take more
    // calls.
    struct {
        long held, capacity;
        const char* message;
    } const areas[] = {
        {heldCells, kCellCapacity, "エラー: セル領域が一杯です。"},
        {heldFloats, kFloatCapacity, "エラー: 数値領域が一杯です。"},
        {heldInts, kIntCapacity, "エラー: 整数領域が一杯です。"},
        {0, kStringCapacity, "エラー: ストリング領域が一杯です。"},
    };
    long entries = (cellStackTop - cellStack) + (locStackTop - locStack);
    for (int k = 0; k < 4; k++)
        if (fresh & (1 << k))
            areaFull = areas[k].held > areas[k].capacity / 2 &&
                               entries > depthEntries / 16
                           ? "エラー: 再帰が深すぎます。"
                           : areas[k].message;
    // The line goes where messages go: standard output at the console,
    // standard error in script mode, whose standard output is the
    // program's alone.
    if (!gcQuiet)
        fprintf(messageOut,
                "gc: セル %ld個 浮動小数点数 %ld個 整数 %ld個 使用中 %c\n",
                usedCells, usedFloats, usedInts,
                policy.cellWrapped ? '*' : ' ');
}

// The collection a primitive asks for before it allocates many cells at
// once; quiet in the stress build, which collects at every step.
void cmemory::CollectForRoom() {
#if TK_GCSTRESS
    gcQuiet = 1;
    gc();
    gcQuiet = 0;
#else
    gc();
#endif
}

// A path that allocates many cells in one step first makes sure of them:
// it collects as an evaluation step would when the cells would bring the
// free count below the collector's level, and answers false when they
// still do not fit (the definition then runs, step by step).
bool cmemory::RoomFor(long cells) {
    if (policy.Fits(cells)) return true;
    CollectForRoom();
    return policy.Fits(cells);
}

// The collection CollectDue found due.
void cmemory::CollectNow() {
    if (policy.AreaDue())
        gc();
    else
        gcSilent();
}

// --- GcPolicy ---------------------------------------------------------------

void GcPolicy::Start(long cells, long floats, long ints, long strings,
                     long symbols) {
    cellCapacity = cells;
    floatCapacity = floats;
    intCapacity = ints;
    stringCapacity = strings;
    symbolCapacity = symbols;
    freeCells = freeCellsGiven = cells;
    freeFloats = freeFloatsGiven = floats;
    freeInts = freeIntsGiven = ints;
    dueCells = reserveOf(cells);
    dueFloats = reserveOf(floats);
    dueInts = reserveOf(ints);
    dueString = reserveOf(strings);
    dueSymbols = reserveOf(symbols);
    wanted = false;
    areasFull = 0;
    for (long& f : freeWhenFull) f = 0;
    budget = kGcBudget;
    countdown = countdownFrom = 0;
    cellsTaken = 0;
    cellWrapped = 0;
    floatsTaken = intsTaken = collections = 0;
    SetCountdown();
}

void GcPolicy::SetCountdown() {
    budget -= countdownFrom - countdown;
    long left = budget;
    if (freeCells - dueCells < left) left = freeCells - dueCells;
    if (freeFloats - dueFloats < left) left = freeFloats - dueFloats;
    if (freeInts - dueInts < left) left = freeInts - dueInts;
    if (wanted && left > -1) left = -1;
    countdown = countdownFrom = left;
}

long GcPolicy::CellFloor() const {
    long reserve = reserveOf(cellCapacity);
    return dueCells < reserve ? dueCells : reserve;
}

bool GcPolicy::CountdownDue() {
    SetCountdown();
    return countdown < 0;
}

void GcPolicy::Want() {
    wanted = true;
    SetCountdown();
}

void GcPolicy::SpendBudget() {
    SetCountdown();
    budget = -1;
    countdown = countdownFrom = -1;
}

void GcPolicy::Collected(long used) {
    budget = used > kGcBudget ? used : kGcBudget;
    countdownFrom = countdown;  // nothing left to take off the budget
}

int GcPolicy::Recount(long usedCells, long usedFloats, long usedInts,
                      long freeString, long freeSymbols) {
    cellsTaken += freeCellsGiven - freeCells;
    freeCells = freeCellsGiven = cellCapacity - usedCells;
    floatsTaken += (unsigned long)(freeFloatsGiven - freeFloats);
    intsTaken += (unsigned long)(freeIntsGiven - freeInts);
    freeFloats = freeFloatsGiven = floatCapacity - usedFloats;
    freeInts = freeIntsGiven = intCapacity - usedInts;
    int fresh = 0;
    dueCells = levelOf(freeCells, cellCapacity, 1, &areasFull, &fresh,
                       &freeWhenFull[0]);
    dueFloats = levelOf(freeFloats, floatCapacity, 2, &areasFull, &fresh,
                        &freeWhenFull[1]);
    dueInts = levelOf(freeInts, intCapacity, 4, &areasFull, &fresh,
                      &freeWhenFull[2]);
    dueString = levelOf(freeString, stringCapacity, 8, &areasFull, &fresh,
                        &freeWhenFull[3]);
    // The symbol table has no reserve of its own to run in: only its level.
    dueSymbols = freeSymbols < 2 * reserveOf(symbolCapacity)
                     ? freeSymbols / 2
                     : reserveOf(symbolCapacity);
    wanted = false;
    SetCountdown();
    // A cursor taking one fresh cell per allocation from the start of the
    // area reaches its last cell (never handed out) after capacity - 1.
    if (cellsTaken >= cellCapacity - 1) cellWrapped = 1;
    return fresh;
}
