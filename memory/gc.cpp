// cmemory: the collector. Clear the in-use bitmaps up to the high-water
// marks, mark from the roots, count what is in use; cells and slots left
// unmarked are free for allocation, which searches the bitmaps from their
// start. Nothing is swept: the cost of a collection is the live data it
// marks plus one bit per cell ever handed out. A root that reaches a large
// structure is marked by two threads.
#include <cstdlib>
#include <climits>
#include <cstdint>
#include <cstring>

#include <pthread.h>
#include <sched.h>
#include <signal.h>

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

_framehead* headOf(_symval* frame) { return (_framehead*)frame - 1; }

// A closure keeps its captured frame, and through it the values of the
// bindings it will copy in. The frame is walked once per epoch.
// With two markers, either may claim the frame; the exchange lets one.
void pushCapturedFrame(WorkList& to, _symval* frame, long epoch,
                       bool shared) {
    _framehead* h = headOf(frame);
    if (shared) {
        if (__atomic_exchange_n(&h->mark, epoch, __ATOMIC_RELAXED) == epoch)
            return;
    } else {
        if (h->mark == epoch) return;
        h->mark = epoch;
    }
    for (long i = 0; i < h->count; i++)
        if (_cell* symbol = frame[i].symbol) {
            to.push(frame[i].value);
            if (symbol->kind == 'g') to.push(symbol);
        }
}

// What a cell's extra word keeps: its captured frame, or its values list
// (or the carrier of both, which is a cell like any other).
inline void pushExtra(WorkList& to, _cell* c, long epoch,
                      bool shared = false) {
    if (c->extraKind == kHasEnv)
        pushCapturedFrame(to, c->extra.env, epoch, shared);
    else if (c->extraKind)
        to.push(c->extra.p);
}

// Calls visit on every root, in the order the protocol names them: the cell
// stack, the local stack, the values put aside by dynamic bindings, the
// global-variable table, the function table, and the values of exits in
// flight. afterStacks runs once the two stacks
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
    for (long i = 0; i < m->specialDepth; i++)
        if (_cell* old = m->specialStack[i].old) visit(old);
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

// One thread's part of a marking. The collector's thread sets the areas'
// bitmaps. When one root reaches a large structure, a helper thread takes
// part of the work: it sets bitmaps of its own, which the areas' bitmaps
// absorb when the marking of that root is over, and each marker leaves
// alone the cells the other has marked. Two markers may still both claim
// a cell at the same moment; it is then followed twice, which costs time
// only, and the merge counts it once.
struct Marker {
    markword* cellBits;
    markword* floatBits;
    markword* intBits;
    const markword* otherCells;     // the other marker's, while sharing
    _cell* cellBase;
    _numslot* floatBase;
    _intslot* intBase;
    long epoch;
    WorkList* work;
    // What this marker changed from free to in use, in its own bitmaps.
    long cells = 0, floats = 0, ints = 0;
};

// The counts of a marking loop, kept apart from the marker so that they
// stay in registers: a count in memory could be a bitmap word, for all
// the compiler knows, and would be written back at every cell.
struct Counts {
    long cells = 0, floats = 0, ints = 0;
};

// While two markers run, every bitmap word one of them writes may be read
// by the other, so both go through relaxed atomic accesses (plain moves on
// both architectures): a marker only ever writes its own words.
inline markword peek(const markword* w) {
    return __atomic_load_n(w, __ATOMIC_RELAXED);
}

template <bool Shared>
[[gnu::always_inline]] inline bool isMarked(const Marker& m, long i) {
    if (!Shared) return testMark(m.cellBits, i);
    unsigned long u = (unsigned long)i;
    return ((peek(m.cellBits + u / kMarkBits) |
             peek(m.otherCells + u / kMarkBits)) >>
            (u % kMarkBits)) & 1UL;
}

// Sets the bit in `bits`; true when neither it nor `other` had it.
template <bool Shared>
inline bool claim(markword* bits, const markword* other, long i) {
    if (!Shared) return setMark(bits, i);
    unsigned long u = (unsigned long)i;
    markword bit = 1UL << (u % kMarkBits);
    markword* w = bits + u / kMarkBits;
    markword old = peek(w);
    if ((old | (other ? peek(other + u / kMarkBits) : 0)) & bit) return false;
    __atomic_store_n(w, old | bit, __ATOMIC_RELAXED);
    return true;
}

template <bool Shared, typename Slot>
inline void markSlot(markword* bits, Slot* area, Slot* s, long& counter) {
    if (claim<Shared>(bits, nullptr, s - area)) counter++;
}

// The slots of an atom just marked.
template <bool Shared>
[[gnu::always_inline]] inline void markSlots(const Marker& m, _cell* c,
                                             Counts& n) {
    switch (c->type) {
    case 'i':
        markSlot<Shared>(m.intBits, m.intBase, c->car.i, n.ints);
        break;
    case 'n':
        markSlot<Shared>(m.floatBits, m.floatBase, c->car.n, n.floats);
        break;
    case 'b':
        markSlot<Shared>(m.intBits, m.intBase, c->car.i, n.ints);
        markSlot<Shared>(m.intBits, m.intBase, c->cdr.i, n.ints);
        break;
    default:
        break;
    }
}

// The cells one root reaches before the marking of it takes a helper: a
// thread costs tens of microseconds to start, and a structure this large
// takes milliseconds to mark. The debugging builds share early, so that
// their ordinary tests run the two markers and check the merged counts.
#if TK_DEBUG
constexpr long kShareAfter = 2000;
#else
constexpr long kShareAfter = 1L << 16;
#endif

// A marker hands work over only from a list this long: fewer entries are
// soon done, and each hand-over may wake a sleeping thread.
constexpr long kHandOverFrom = 32;
// How long a marker without work polls for a hand-over before it sleeps:
// about a millisecond.
constexpr int kPolls = 1024;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// What the two markers of one root share: the work one hands to the other
// when that one has run out, and who is waiting.
struct alignas(64) Sharing {
    // Read at every pop by both markers, written only when one waits.
    alignas(64) int idleHint = 0;
    alignas(64) pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t wake = PTHREAD_COND_INITIALIZER;
    WorkList handed;
    int idle = 0;           // markers waiting for work, under the lock
    bool over = false;

    // At a busy marker's step: hands over work if the other waits and
    // this list has enough to share. The hint is read without the lock;
    // handOver decides under it.
    void offer(WorkList& from) {
        if (__atomic_load_n(&idleHint, __ATOMIC_RELAXED) &&
            from.size >= kHandOverFrom)
            handOver(from);
    }
    // Gives half of a busy marker's list to a waiting one.
    [[gnu::noinline]] void handOver(WorkList& from) {
        pthread_mutex_lock(&lock);
        if (idle && !handed.size && from.size >= kHandOverFrom) {
            long n = from.size / 2;
            // The oldest entries: the larger parts of what is left.
            for (long i = 0; i < n; i++) handed.push(from.items[i]);
            memmove(from.items, from.items + n,
                    (size_t)(from.size - n) * sizeof(_cell*));
            from.size -= n;
            pthread_cond_signal(&wake);
        }
        pthread_mutex_unlock(&lock);
    }
    // Waits for work for a marker whose list is empty; false when both
    // have none, which ends the marking.
    [[gnu::noinline]] bool refill(WorkList& to) {
        pthread_mutex_lock(&lock);
        idle++;
        __atomic_store_n(&idleHint, idle, __ATOMIC_RELAXED);
        bool more;
        int polls = 0;
        for (;;) {
            if (handed.size) {
                for (long i = 0; i < handed.size; i++)
                    to.push(handed.items[i]);
                handed.size = 0;
                idle--;
                more = true;
                break;
            }
            if (over || idle == 2) {
                over = true;
                pthread_cond_broadcast(&wake);
                more = false;
                break;
            }
            // The other marker is busy: a hand-over is likely soon, and
            // a sleeping thread would take long to wake for it.
            if (polls < kPolls) {
                polls++;
                pthread_mutex_unlock(&lock);
                for (int i = 0; i < 64; i++) relax();
                pthread_mutex_lock(&lock);
                continue;
            }
            pthread_cond_wait(&wake, &lock);
        }
        __atomic_store_n(&idleHint, idle, __ATOMIC_RELAXED);
        pthread_mutex_unlock(&lock);
        return more;
    }
};

// How far ahead the marking fetches, and after how many steps to the next
// cell of the area.
constexpr uintptr_t kFetchAhead = 256 * sizeof(_cell);
constexpr long kRunBeforeFetch = 8;

// A cell is marked before it is read, and a marked cell is never read
// again: a cell's slots and whatever its extra word holds are marked with
// it. A list's cars are mostly atoms marked before (NIL, the constants of
// a program), and for them the marking reads only the bitmap.
//
// Follows the cdr chain from c; cars and extras go on the work list.
// Alone, it stops when the count reaches `limit`, leaving the rest of the
// chain on the work list, and answers true. Sharing, it hands work to the
// other marker whenever that one waits, even in the middle of a long
// chain: the cars of a long spine are what there is to share.
template <bool Shared>
[[gnu::always_inline]] inline bool markChain(const Marker& m, _cell* c,
                                             Counts& n, Sharing* sharing,
                                             long limit) {
    long run = 0;
    while (c) {
        if (!claim<Shared>(m.cellBits, m.otherCells, c - m.cellBase))
            return false;
        n.cells++;
        if (c->extraKind) pushExtra(*m.work, c, m.epoch, Shared);
        if (!isConsOrArray(c)) {
            markSlots<Shared>(m, c, n);
            return false;
        }
        _cell* a = c->car.p;
        // A list built by successive allocations lies in ascending cells,
        // and the chain reaches each one only when the cell before it has
        // arrived. Once it has gone on to the next cell several times,
        // fetching well ahead in the area overlaps those waits; in a
        // scattered structure such fetches would only take the memory's
        // time from the marking.
        run = c->cdr.p == c + 1 ? run + 1 : 0;
        if (run >= kRunBeforeFetch)
            __builtin_prefetch((const void*)((uintptr_t)c + kFetchAhead));
        c = c->cdr.p;
        if (!a || isMarked<Shared>(m, a - m.cellBase)) continue;
        // An atom in the car with nothing behind it is marked here
        // rather than through the work list.
        if (!isConsOrArray(a) && !a->extraKind) {
            if (claim<Shared>(m.cellBits, m.otherCells, a - m.cellBase)) {
                n.cells++;
                markSlots<Shared>(m, a, n);
            }
            continue;
        }
        m.work->push(a);
        if (Shared) {
            sharing->offer(*m.work);
        } else if (n.cells >= limit) {
            if (c) m.work->push(c);
            return true;
        }
    }
    return false;
}

// Marks until the work list is empty. Alone, it stops early and answers
// true when the marker's count reaches `limit` and work is left to share;
// sharing, it runs until neither marker has work.
template <bool Shared>
bool markLoop(Marker& marker, Sharing* sharing, long limit = LONG_MAX) {
    // A copy the compiler can keep in registers: stores to the bitmaps
    // cannot change it.
    const Marker m = marker;
    Counts n;
    bool share = false;
    limit -= marker.cells;
    for (;;) {
        _cell* c = m.work->pop();
        if (!c) {
            if (!Shared || !sharing->refill(*m.work)) break;
            continue;
        }
        if (Shared) {
            sharing->offer(*m.work);
        } else if (n.cells >= limit) {
            m.work->push(c);
            share = true;
            break;
        }
        m.work->prefetchNext();
        if (markChain<Shared>(m, c, n, sharing, limit)) {
            share = true;
            break;
        }
    }
    marker.cells += n.cells;
    marker.floats += n.floats;
    marker.ints += n.ints;
    return share;
}

struct Helper {
    Marker* marker;
    Sharing* sharing;
};

// The helper's marker and work list live on its own stack, apart from
// what the collector's thread writes.
void* helperMain(void* arg) {
    Helper* h = (Helper*)arg;
    Marker m = *h->marker;
    WorkList own;
    m.work = &own;
    markLoop<true>(m, h->sharing);
    free(own.items);
    return nullptr;
}

// Adds `from` into `into` over `words` words, clearing `from` for the next
// marking; answers the bits it added.
long absorb(markword* into, markword* from, long words) {
    long added = 0;
    for (long k = 0; k < words; k++)
        if (markword w = from[k]) {
            added += __builtin_popcountl(w & ~into[k]);
            into[k] |= w;
            from[k] = 0;
        }
    return added;
}

// A helper thread only slows the marking where it cannot run beside the
// collector's thread.
bool twoProcessors() {
    cpu_set_t set;
    return sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) >= 2;
}

// The marking of one large root, continued on two threads. Without a
// second processor, the helper's bitmaps or its thread, it goes on alone.
void shareMarking(cmemory* mem, Marker& m) {
    long cellWords = markWords(kCellCapacity);
    long floatWords = markWords(kFloatCapacity);
    if (!twoProcessors()) {
        markLoop<false>(m, nullptr);
        return;
    }
    if (!mem->helperMarks)
        mem->helperMarks = (markword*)calloc(
            (size_t)(cellWords + floatWords + markWords(kIntCapacity)),
            sizeof(markword));
    Sharing sharing;
    pthread_t thread;
    bool started = false;
    markword* bits = mem->helperMarks;
    Marker h{bits, bits + cellWords, bits + cellWords + floatWords,
             mem->cellMarks, mem->cellArea, mem->floatArea, mem->intArea,
             mem->gcEpoch, nullptr};
    Helper start{&h, &sharing};
    pthread_attr_t attr;
    if (bits && pthread_attr_init(&attr) == 0) {
        // It recurses nowhere: a small stack spares the address space.
        pthread_attr_setstacksize(&attr, (size_t)256 << 10);
        // It takes no signals: they are the evaluation's to handle.
        sigset_t all, old;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &old);
        started = pthread_create(&thread, &attr, helperMain, &start) == 0;
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        pthread_attr_destroy(&attr);
    }
    if (!started) {
        markLoop<false>(m, nullptr);
        return;
    }
    m.otherCells = h.cellBits;
    markLoop<true>(m, &sharing);
    pthread_join(thread, nullptr);
    free(sharing.handed.items);
    m.cells += absorb(mem->cellMarks, h.cellBits, markWords(mem->cellHigh));
    m.floats += absorb(mem->floatMarks, h.floatBits, markWords(mem->floatHigh));
    m.ints += absorb(mem->intMarks, h.intBits, markWords(mem->intHigh));
}

}  // namespace

void cmemory::MarkFrom(_cell* root) {
    Marker m{cellMarks, floatMarks, intMarks, nullptr, cellArea, floatArea,
             intArea, gcEpoch, &work};
    work.push(root);
    if (markLoop<false>(m, nullptr, kShareAfter)) shareMarking(this, m);
    markedCells += m.cells;
    markedInts += m.ints;
    markedFloats += m.floats;
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
                pushExtra(work, c, seen);
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
    // The line goes where messages go: standard output at the console,
    // standard error in script mode, whose standard output is the
    // program's alone.
    if (!gcQuiet)
        fprintf(messageOut, "gc: セル %ld個 浮動小数点数 %ld個 整数 %ld個 使用中 %c\n",
               usedCells, usedFloats, usedInts, cellWrapped ? '*' : ' ');
}
