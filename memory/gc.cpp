// cmemory: the collector. Clear the in-use bitmaps up to the high-water
// marks, mark from the roots, count what is in use; cells and slots left
// unmarked are free for allocation, which searches the bitmaps from their
// start. Nothing is swept: the cost of a collection is the live data it
// marks plus one bit per cell ever handed out.
#include <cstdlib>
#include <cstring>

#include "memory/cmemory.h"

namespace {

// Marking uses an explicit work list instead of recursion, so that neither
// a long list nor deeply nested structure can exhaust the C stack.
struct WorkList {
    _cell** items = nullptr;
    long size = 0;
    long capacity = 0;

    void push(_cell* c) {
        if (!c) return;
        if (size == capacity) {
            long n = capacity ? capacity * 2 : 4096;
            _cell** grown = (_cell**)realloc(items, (size_t)n * sizeof(_cell*));
            if (!grown) {
                PutMessage("エラー: セル領域が一杯です。終了します。");
                fflush(stdout);
                exit(1);
            }
            items = grown;
            capacity = n;
        }
        items[size++] = c;
    }
    _cell* pop() { return size ? items[--size] : nullptr; }
    // The cells that the next pops will answer; fetching them while the
    // current chain is followed hides their cache misses.
    void prefetchNext() const {
        for (long i = size - 1; i >= 0 && i >= size - kAhead; i--)
            __builtin_prefetch(items[i]);
    }
    static constexpr long kAhead = 2;
};

WorkList work;

// What marking changed from free to in use; the totals of a collection
// are the symbols of the table (in use from the start) plus these, so no
// pass over the areas is needed to count them.
long markedCells, markedFloats, markedInts;
template <typename Slot>
inline void markSlot(markword* marks, Slot* area, Slot* s, long& counter) {
    if (setMark(marks, s - area)) counter++;
}

_framehead* headOf(_symval* frame) { return (_framehead*)frame - 1; }

// A closure keeps its captured frame, and through it the values of the
// bindings it will copy in. The frame is walked once per epoch.
void pushCapturedFrame(_symval* frame, long epoch) {
    _framehead* h = headOf(frame);
    if (h->mark == epoch) return;
    h->mark = epoch;
    for (long i = 0; i < h->count; i++)
        if (_cell* symbol = frame[i].symbol) {
            work.push(frame[i].value);
            if (symbol->kind == 'g') work.push(symbol);
        }
}

// What a cell's extra word keeps: its captured frame, or its values list
// (or the carrier of both, which is a cell like any other).
inline void pushExtra(_cell* c, long epoch) {
    if (c->extraKind == kHasEnv)
        pushCapturedFrame(c->extra.env, epoch);
    else if (c->extraKind)
        work.push(c->extra.p);
}

// Calls visit on every root, in the order the protocol names them: the cell
// stack, the local stack, the global-variable table, the function table,
// and the values of exits in flight. afterStacks runs once the two stacks
// are visited.
template <typename Visit, typename After>
void visitRoots(cmemory* m, Visit visit, After afterStacks) {
    for (_cell** p = m->cellStack; p < m->cellStackTop; p++)
        if (*p) visit(*p);
    // An uninterned symbol naming a binding is kept by the binding.
    auto named = [&](_cell* symbol) {
        if (symbol && symbol->kind == 'g') visit(symbol);
    };
    for (_symval** p = m->locStack; p < m->locStackTop; p++)
        if (*p && (*p)->symbol) {
            visit((*p)->value);
            named((*p)->symbol);
        }
    afterStacks();
    for (_symval* r = m->globalTable; r < m->globalTableEnd; r++) {
        if (r->value) visit(r->value);
        named(r->symbol);
    }
    for (_symval* r = m->funcTable; r < m->funcTableEnd; r++) {
        if (r->value) visit(r->value);
        named(r->symbol);
    }
    for (_cell** const* r = m->gcExtraRoots; r < m->gcExtraRoots + kExtraRoots; r++)
        if (*r && **r) visit(**r);
}

// The state of an area after a collection left `free` of it, `held` of it
// reached from the stacks of the evaluation; answers the level of free
// slots below which the next collection is due.
long settle(cmemory* m, long free, long capacity, long held, int bit,
            const char* message) {
    long reserve = reserveOf(capacity);
    if (free >= 2 * reserve) {
        m->areasFull &= ~bit;
        return reserve;
    }
    if (!(m->areasFull & bit)) {
        m->areasFull |= bit;
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

}  // namespace

// A cell is marked before it is read, and a marked cell is never read
// again: a cell's slots and whatever its extra word holds are marked with
// it. A list's cars are mostly atoms marked before (NIL, the constants of
// a program), and for them the marking reads only the bitmap.
void cmemory::MarkFrom(_cell* root) {
    // The counts are kept in locals while marking, so that they stay in
    // registers instead of being written back at every cell.
    markword* const cellBits = cellMarks;
    _cell* const base = cellArea;
    long cells = 0, ints = 0, floats = 0;
    auto unmarked = [&](_cell* c) { return !testMark(cellBits, c - base); };
    // The slots of an atom just marked.
    auto markSlots = [&](_cell* c) {
        switch (c->type) {
        case 'i':
            markSlot(intMarks, intArea, c->car.i, ints);
            break;
        case 'n':
            markSlot(floatMarks, floatArea, c->car.n, floats);
            break;
        case 'b':
            markSlot(intMarks, intArea, c->car.i, ints);
            markSlot(intMarks, intArea, c->cdr.i, ints);
            break;
        default:
            break;
        }
    };
    work.push(root);
    while (_cell* c = work.pop()) {
        work.prefetchNext();
        // Follow the cdr chain in this loop; cars and values go on the list.
        while (c) {
            if (!setMark(cellBits, c - base)) break;
            cells++;
            if (c->extraKind) pushExtra(c, gcEpoch);
            if (!isConsOrArray(c)) {
                markSlots(c);
                break;
            }
            _cell* a = c->car.p;
            c = c->cdr.p;
            if (!a || !unmarked(a)) continue;
            // An atom in the car with nothing behind it is marked here
            // rather than through the work list.
            if (!isConsOrArray(a) && !a->extraKind) {
                setMark(cellBits, a - base);
                cells++;
                markSlots(a);
            } else {
                work.push(a);
            }
        }
    }
    markedCells += cells;
    markedInts += ints;
    markedFloats += floats;
}

#if TK_DEBUG
namespace {

// Every cell reachable from the roots must be in use with a valid tag, and
// its numeric slots in use: a reachable free cell means that it was left
// unprotected across an earlier collection.
void verifyCell(const cmemory* m, _cell* c) {
    TK_ASSERT(m->InUse(c));
    TK_ASSERT(hasValidTag(c));
    if (isInteger(c)) TK_ASSERT(m->InUse(c->car.i));
    if (isFloating(c)) TK_ASSERT(m->InUse(c->car.n));
    if (isBunsu(c)) TK_ASSERT(m->InUse(c->car.i) && m->InUse(c->cdr.i));
}

}  // namespace

// Walks from the roots like the marking does, checking instead of marking;
// visited conses are noted in a bitmap of its own, and kept frames carry
// an epoch no collection uses while it runs.
void cmemory::VerifyRoots() {
    long seen = -gcEpoch - 1;   // a value no kept frame carries
    markword* visited = (markword*)calloc((size_t)markWords(cellHigh) + 1,
                                          sizeof(markword));
    TK_ASSERT(visited);
    auto visit = [&](_cell* root) {
        work.push(root);
        while (_cell* c = work.pop()) {
            for (; c; c = isConsOrArray(c) ? c->cdr.p : nullptr) {
                verifyCell(this, c);
                bool cons = isConsOrArray(c);
                if (cons && !setMark(visited, c - cellArea)) break;
                pushExtra(c, seen);
                if (cons) work.push(c->car.p);
            }
        }
    };
    visitRoots(this, visit, [] {});
    free(visited);
    for (_framehead* h = keptFrames; h; h = h->next)
        if (h->mark == seen) h->mark = gcEpoch;
}
#endif

namespace {

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
    memset(symbolIndex, 0, (size_t)kSymbolIndexSize * sizeof(unsigned));
    for (_cell** p = symbolTable; p < symbolTableEnd; p++)
        if ((*p)->kind != 'g') IndexSymbol((*p)->car.s, p - symbolTable);
}

void cmemory::Collect() {
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
    freeFloats = kFloatCapacity - usedFloats;
    freeInts = kIntCapacity - usedInts;
    gcDueCells = settle(this, freeCells, kCellCapacity, heldCells, 1,
                        "エラー: セル領域が一杯です。");
    gcDueFloats = settle(this, freeFloats, kFloatCapacity, heldFloats, 2,
                         "エラー: 数値領域が一杯です。");
    gcDueInts = settle(this, freeInts, kIntCapacity, heldInts, 4,
                       "エラー: 整数領域が一杯です。");
    gcDueString = settle(this, kStringCapacity - (stringNext - stringArea),
                         kStringCapacity, 0, 8,
                         "エラー: ストリング領域が一杯です。");
    long freeSymbols = kSymbolCapacity - (symbolTableEnd - symbolTable);
    gcDueSymbols = freeSymbols < 2 * reserveOf(kSymbolCapacity)
                       ? freeSymbols / 2
                       : reserveOf(kSymbolCapacity);
    SetCountdown();
    // A cursor taking one fresh cell per allocation from the start of the
    // area reaches its last cell (never handed out) after capacity - 1.
    if (cellsTaken >= kCellCapacity - 1) cellWrapped = 1;
    if (!gcQuiet)
        printf("gc: セル %ld個 浮動小数点数 %ld個 整数 %ld個 使用中 %c\n",
               usedCells, usedFloats, usedInts, cellWrapped ? '*' : ' ');
}
