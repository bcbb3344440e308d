// tamarisk memory layer: cells, storage areas, interning, the two stacks
// and the collector.
//
// Every Lisp object is a `_cell` (memory/cell.h) from one cell area; numbers
// keep their value in areas of numeric slots; symbol names live in a byte
// area, where only the names of uninterned symbols are ever freed. Each area
// is one reservation of address space that AllocMemory makes once and whose
// pages are committed as they are first touched, up to its capacity. Whether a cell or slot is
// in use is one bit of a side bitmap per area (cellMarks, floatMarks,
// intMarks), so the collector never writes into the areas themselves.
// Allocation takes the lowest free index of an area; cells and slots above the
// high-water marks (cellHigh, floatHigh, intHigh) have never been handed out
// and are never touched, so an empty session costs almost nothing although the
// capacities are large, and a program whose live data is small keeps using the
// same low part of each area.
//
// Protection protocol. The collector's roots are, in marking order: the cell
// stack, the local stack, the values that dynamic bindings have put aside
// (the special stack), the global-variable table, the function table and
// the kExtraRoots cells of exits in flight (gcExtraRoots: the value and tag of
// a THROW, the value and block name of a RETURN-FROM). Of a binding record,
// the value is a root, and so is the symbol naming it when that is uninterned.
// Nothing else is a root; marking goes on from a closure into the frame it
// captured, and from every cell it reaches into that cell's values list (a
// table symbol is always kept, but its values list only when a root reaches
// the symbol). A collection happens only where memory/policy.h lists its
// triggers: at the start of an evaluation step, when a result arrives with
// an area due, in (GC), and in the primitives that make room before a large
// allocation; allocation never collects. So a function that holds a cell
// only in a C++ local while it calls anything that "may collect" (eval and
// everything that reaches it, the debug loop included) must first push a
// null marker and the cell on the cell stack, and pop the group on every way
// out (CellGroup does both). A binding frame
// is pushed with IncLocStack before its body runs and popped when the body
// ends. A frame captured by a closure outlives its call: it is kept on the
// list of kept frames and reclaimed by the collector once no reachable
// closure refers to it.
#ifndef TAMARISK_MEMORY_CMEMORY_H
#define TAMARISK_MEMORY_CMEMORY_H

#include <climits>
#include <csignal>
#include <cstddef>
#include <cstdio>

#include "memory/policy.h"

// ---------------------------------------------------------------------------
// Build switches. All of them share the TK_ prefix; only test configurations
// set them.
//   TK_CELLS, TK_NUMSLOTS     capacities of the cell area and of each
//                             numeric-slot area (the gcstress build shrinks
//                             them)
//   TK_GCSTRESS               collect at every evaluation step, silently
//   TK_DEBUG                  assertions; stacks checked at their base after
//                             every top-level and debug-loop iteration
//   TK_STACK_MB               size of the evaluation stack in megabytes
//   TK_STACKSLOTS             capacity of the cell stack and of the local
//                             stack (the fuzzing build shrinks them)
//   TK_FUZZ                   the fuzzing build (fuzz/build.sh): many
//                             sessions run in one process, so Run gives its
//                             evaluation stack back when it returns; a
//                             session ends (status 0) after the number of
//                             evaluation steps the harness allots in
//                             fuzzSteps, so that an endless loop is not
//                             taken for a hang; the harness supplies
//                             standard input and output
// ---------------------------------------------------------------------------
#ifndef TK_CELLS
#define TK_CELLS 0L  // from the memory limit (see SetCapacities)
#endif
#ifndef TK_NUMSLOTS
#define TK_NUMSLOTS 0L
#endif
#ifndef TK_STACKSLOTS
#define TK_STACKSLOTS 32000000L
#endif
#ifndef TK_GCSTRESS
#define TK_GCSTRESS 0
#endif
#ifndef TK_FUZZ
#define TK_FUZZ 0
#endif
#ifndef TK_DEBUG
#define TK_DEBUG 0
#endif

#if TK_DEBUG
#define TK_ASSERT(c)                                                    \
    do {                                                                \
        if (!(c)) {                                                     \
            std::printf("assertion failed: %s (%s:%d)\n", #c, __FILE__, \
                        __LINE__);                                      \
            std::fflush(stdout);                                        \
            __builtin_trap();                                           \
        }                                                               \
    } while (0)
#else
#define TK_ASSERT(c) ((void)0)
#endif

// The ways out of the process. AddressSanitizer unpoisons the whole stack
// in use before every call to a function marked as never returning, and
// warns on stderr when that stack is deeper than it expects, which deep
// evaluation is; its builds therefore keep these exits ordinary calls.
#if defined(__SANITIZE_ADDRESS__)
#define TK_NORETURN
#else
#define TK_NORETURN [[noreturn]]
#endif

// Capacities of the areas. Limits are derived from these, never written
// out. Each area is one reservation of address space whose pages the
// system commits as they are first touched: allocation takes the lowest
// free place, so an area's memory in use follows its high-water mark, and
// the capacity is only how far the area may grow. AllocMemory sets them
// once per session from the memory limit (SetCapacities); a build that
// defines TK_CELLS or TK_NUMSLOTS fixes those instead.
extern long kCellCapacity;
extern long kFloatCapacity;
extern long kIntCapacity;
extern long kStringCapacity;  // bytes of symbol names
extern long kSymbolCapacity;  // at most capacity - 1 used
// The shares of the memory limit: cells three quarters, integers and
// floating numbers a sixteenth each, a byte of names per kilobyte and a
// symbol per 4 KB; none below what the areas held when their capacities were
// fixed (200,000 cells, 50,000 slots, 320,000 bytes, 100,000 symbols), so
// that a small limit still runs the library.
void SetCapacities(long heap);
// The global-variable and function tables: records never move (a special
// binding and a symbol's cdr keep their addresses), so each table is one
// reservation whose pages are touched as records are handed out. The most
// records a table may have follows from the heap limit (TableCapacityOf);
// the last of them is a scratch record, never found by a lookup, that a
// table handed out once every other is taken (see getSymVal2).
#if defined(__x86_64__)
constexpr long kMostTableRecords = 1L << 22;
#else
constexpr long kMostTableRecords = 1L << 18;
#endif
constexpr long kLeastTableRecords = 2048;
// Records left when a table reports itself full: the definition that
// reaches this level is made, and the next evaluation step fails with the
// table's message.
constexpr long kTableReserve = 64;
constexpr long TableCapacityOf(long heap) {
    return heap / 4096 > kMostTableRecords    ? kMostTableRecords
           : heap / 4096 < kLeastTableRecords ? kLeastTableRecords
                                              : heap / 4096;
}
constexpr long kCellStackCapacity = TK_STACKSLOTS;
constexpr long kLocStackCapacity = TK_STACKSLOTS;
constexpr int kFileSlots = 10;
constexpr int kLineSize = 20000;  // lineStr
// Debug and break loops open one inside the other, each lower on the
// evaluation stack. Past this many, or where a new loop would have no room
// to evaluate (see RoomForLoop), an error goes back to the innermost loop
// instead of opening another, so that every open loop can still evaluate.
constexpr int kMaxDebugLevel = 10000;
constexpr int kTextBound = kLineSize - 1;  // longest text: 19999 bytes
// The reader's real limit: lineStr grows as a text needs, up to this many
// bytes (the text and its rewriting); past it "S式が長過ぎます".
constexpr size_t kTextCeiling = (size_t)256 << 20;
constexpr long kGcThreshold = 1000;  // collect below this many free
// Cells and slots the evaluator lets be handed out between two collections
// before it collects for its own sake: at least this, or as many as the
// last collection found in use, so that an area never holds much more than
// twice its live data and the marking costs a bounded share of the work.
constexpr long kGcBudget = 1L << 18;
// Each collected area keeps a reserve. A collection that leaves less than
// twice the reserve free finds the area full: the step that needed the
// space fails with the area's message, and the debug loop that opens runs
// in the reserve. Only when the reserve is used up too does the process
// end. Twice, so that every collection buys at least a reserve's worth of
// allocation before the next one and a nearly full area never makes the
// program collect at every step. A 128th of the area, but no more than a
// debug loop needs (65,536), so a program can fill all but 131,072 cells of
// the cell area with live data; and no less than the collection threshold.
constexpr long kMostReserve = 1L << 16;
constexpr long reserveOf(long capacity) {
    return capacity / 128 > kMostReserve   ? kMostReserve
           : capacity / 128 > kGcThreshold ? capacity / 128
                                           : kGcThreshold;
}
constexpr long kLeastSymbolIndex = 1L << 17;  // slots of the index at first
constexpr int kFramePoolSizes = 16;           // frames of 1..15 records reused
constexpr int kExtraRoots = 4;                // gcExtraRoots

#include "memory/cell.h"

class cmemory {
public:
    // --- storage areas, in declaration order --------------------------------
    _cell* cellArea;
    char* stringArea;
    char* stringNext;
    _cell** symbolTable;
    _cell** symbolTableEnd;
    // Index of the interned symbols by name: open addressing, each slot 0
    // (empty) or 1 + an index into symbolTable. Its reservation has room
    // for twice the symbol table; symbolIndexSize slots of it are in use,
    // a power of 2 at least twice the symbols, doubled (and the index made
    // anew) as the table fills.
    unsigned* symbolIndex;
    long symbolIndexSize;
    long symbolIndexMost;
    void RebuildSymbolIndex();
    _numslot* floatArea;
    _intslot* intArea;
    _symval* funcTable;
    _symval* funcTableEnd;
    _cell** cellStack;
    _cell** cellStackTop;  // next free slot
    _symval** locStack;
    _symval** locStackTop;
    // Never deeper than the local stack: every entry has a frame record
    // there, pushed with the frame of the form that made it. It grows on
    // demand (an index, not an address, marks a place in it).
    SpecialSave* specialStack;
    long specialDepth;  // entries in use
    long specialCapacity;
    _symval* globalTable;
    _symval* globalTableEnd;
    long tableCapacity;  // records of each of the two tables
    RecordIndex globalIndex;
    RecordIndex funcIndex;
    // The most memory the session may take, in bytes: --heap or
    // TAMARISK_HEAP, else DefaultHeap(). Set before StartUp; kept by Init.
    long heapLimit = 0;
    static long DefaultHeap();
    // "2G", "512M", "64K", "1000000": bytes, or -1 for a text of another
    // shape.
    static long ParseSize(const char* text);
    FILE* fileTable[kFileSlots];
    // The number of the opening that filled each slot; a stream object
    // carries the number of its own opening, so that it stops designating
    // its slot once that is closed and opened again.
    long fileOpening[kFileSlots];
    bool fileWrites[kFileSlots];  // opened for output
    long openings;
    int throwPending;
    int debugLevel;
    int returnFromPending;

    // High-water marks: indexes above every cell/slot ever handed out.
    long cellHigh;
    long floatHigh;
    long intHigh;
    // In-use bitmaps, and the first word of each that may have a clear bit
    // (every word below it is full: bits are cleared only by a collection,
    // which starts the search again at word 0).
    markword* cellMarks;
    markword* floatMarks;
    markword* intMarks;
    // The same three bitmaps for the helper thread of a large marking, in
    // one block taken at its first use; all clear between markings.
    markword* helperMarks;
    long cellScan, floatScan, intScan;
    _framehead* keptFrames;  // frames outliving their call
    // The evaluation stack's depth limit (see StackExhausted); null: none.
    char* stackLimit;
    long depthEntries;  // cell and local stack slots evaluation
                        // may hold (see StackExhausted)
    // What the depth check compares with at the current debugLevel: the
    // lowest address of the evaluation stack in use, and the most entries
    // of the two stacks (null and the largest long without a stackLimit).
    // SetDepthLimits sets them from stackLimit, depthEntries and
    // debugLevel, and runs whenever one of those changes.
    char* stackFloor;
    long entriesLimit;
    void SetDepthLimits();
    int gcQuiet;   // collect without the statistics line
    long gcEpoch;  // a kept frame is marked when mark == epoch
    _cell** gcExtraRoots[kExtraRoots];  // the in-flight values of pending
                                        // exits; set by cfunction
    // Frames freed in stack order are kept here by record count for the
    // next AllocFrame, instead of going back to the C library.
    _framehead* framePool[kFramePoolSizes];

    // --- memory/cell.cpp ----------------------------------------------------
    void Init();        // before AllocMemory (clisp::StartUp)
    int AllocMemory();  // 0: an area could not be had (message out)
    // Every area reserved at the capacities; false with the message of
    // the first area refused.
    bool TryAllocMemory(const char*& refused);
    void FreeAreas();      // gives back what TryAllocMemory reserved
    long sessionHeap = 0;  // the memory limit the areas were sized for
    // Gives back what a session took: open files, binding frames, areas.
    // The teardown of clisp::StartUp; the object can be started again.
    void FreeMemory();
    void InitCellAndNumber();
    inline _cell* getCell();  // inline, at the end of this header
    // The values list of the cell, and the frame it captured as a closure
    // (null, with count 0: none). Either may take a carrier cell when the
    // cell then holds both; allocation never collects.
    void setValues(_cell* c, _cell* list);
    void setClosureEnv(_cell* c, _symval* env, long count);
    bool InUse(const _cell* c) const {
        return testMark(cellMarks, c - cellArea);
    }
    bool InUse(const _intslot* s) const {
        return testMark(intMarks, s - intArea);
    }
    bool InUse(const _numslot* s) const {
        return testMark(floatMarks, s - floatArea);
    }
    _numslot* getNumber(long double v);
    _intslot* getInt(long v);
    _cell* NumberToCell(long double v);
    _cell* IntToCell(long v);
    _cell* BunsuToCell(long n, long d);
    TK_NORETURN void Exhausted(const char* message);  // puts + Finish(1)
    // Ends the process with the status, from any depth of evaluation: output
    // is flushed and the evaluation stack is left before exit runs.
    TK_NORETURN void Finish(int status);
    void (*finishHook)(int status);  // set while evaluation has its stack

    // --- memory/intern.cpp --------------------------------------------------
    char* getString(const char* text);
    _cell* CheckStringCell(const char* name);
    // Null: the symbol table is full (printed: the message is out, no
    // debug loop has run).
    [[nodiscard]] _cell* getStringCell(const char* name);
    [[nodiscard]] _cell* getStringCellWide(const char* name);
    [[nodiscard]] _cell* MakeSymbol(const char* name, char kind);
    void IndexSymbol(const char* name, long position);
    _cell* getMojiCell(int byte, int second);
    long getSymVal(_cell* symbol);        // -1: no record
    long getSymVal2(_cell* symbol);       // appends a record if absent
    _symval* getFuncval(_cell* symbol);   // appends a record if absent
    _symval* getFuncval2(_cell* symbol);  // null: no record
    // The record getFuncval handed out now names its symbol.
    void NoteFuncRecord(_symval* record);
    long FindRecord(RecordIndex& ix, _symval* table, _cell* symbol);
    void EnterRecord(RecordIndex& ix, _symval* table, long position);
    // A table has reached its reserve: the next step fails with message.
    void TableFull(const char* message);

    // --- memory/stack.cpp ---------------------------------------------------
    // IncCellStack, IncLocStack, getLocal, StackExhausted
    // and TooDeep are inline, at the end of this header. A binding frame
    // is popped by setting the local stack back to where its push found it
    // (FrameGuard).
    _cell* IncCellStack(_cell* c);
    int IncLocStack(_symval* frame, long n);
    // The index of the first record naming symbol, or -1; unused records
    // name none.
    inline long getLocal(_symval* frame, long n, _cell* symbol);
    // Binds the special symbol dynamically to value until the
    // SpecialScope open around the binding form ends.
    void BindSpecial(_cell* symbol, _cell* value);
    // Makes every record of the frame (n of them) whose symbol is special
    // a dynamic binding of its value and leaves the record unnamed.
    inline void BindSpecials(_symval* frame, long n);
    // Puts back every global value put aside since the depth was mark,
    // last first.
    void UnbindSpecialsTo(long mark) {
        while (specialDepth > mark) {
            SpecialSave& e = specialStack[--specialDepth];
            e.record->value = e.old;
        }
    }
    _symval* AllocFrame(long n);        // zero-filled records; null when n is 0
    void ReleaseFrame(_symval* frame);  // frees it unless a closure holds it
    void CaptureFrame(_symval* frame);  // a closure now refers to the frame
    int StackExhausted();               // 1 when evaluation must not go deeper
    // 1 when it must not go deeper than here with `bytes` more of the
    // evaluation stack and `entries` more cell and local stack entries in
    // use; StackExhausted is TooDeep(0, 0).
    int TooDeep(long bytes, long entries);
    int RoomForLoop();  // 1 when a debug loop may open here
#if TK_FUZZ
    long fuzzSteps;  // evaluation steps left; at 0 the session ends
#endif

    // --- memory/gc.cpp ------------------------------------------------------
    // When to collect, and the free counters of the areas: every trigger of
    // a collection is listed in memory/policy.h.
    GcPolicy policy;
    // The collection the user sees: (GC), or one the policy finds due with
    // an area below its level. It prints the statistics line (unless
    // gcQuiet) and sets the free counters from what is in use.
    void gc();
    // A collection for the interpreter's own sake, when the allocation
    // budget is used up: it prints nothing and leaves the free counters
    // alone.
    void gcSilent();
    // The work both share: mark, free the kept frames nothing reaches,
    // count into usedCells, usedFloats and usedInts, set the budget.
    void Collect();
    long usedCells, usedFloats, usedInts;
    // What the last marking reached from the two stacks of the evaluation.
    long heldCells, heldFloats, heldInts;
    void SweepSymbols();
    // The message of an area that the last gc() found full, until the
    // evaluation step that collected reports it; the depth message when the
    // stacks of the evaluation held most of the area.
    const char* areaFull;
    // Is a collection due at this evaluation step? CollectNow runs it.
    bool CollectDue() { return policy.Due(); }
    void CollectNow();
    // The collection a primitive asks for before it allocates many cells
    // at once (gc() at once).
    void CollectForRoom();
    // `cells` more cells fit above the cell area's level, after a
    // collection if need be. May collect: the caller protects its cells.
    bool RoomFor(long cells);
    // Cells and slots handed out since start-up (what TIME reports).
    void Allocated(unsigned long* cells, unsigned long* floats,
                   unsigned long* ints) const {
        policy.Allocated(cells, floats, ints);
    }
    // --- memory/mark.cpp -----------------------------------------------------
    // Marks everything reachable from one root as in use; a large
    // structure on two threads, which are one again when it returns.
    void MarkFrom(_cell* root);
#if TK_DEBUG
    void VerifyRoots();  // asserts that every reachable cell is in use
#endif

    // --- math/power.cpp (helpers on evaluated cells) ------------------------
    static long double ExtendedValue(const _cell* c);  // of a number only
    static bool isPlus(const _cell* c);
    static bool isPlusExceptZero(const _cell* c);
    static bool isInRange(const _cell* c);
    // Null: printed (not a number, overflow, zero denominator).
    [[nodiscard]] _cell* jAbs(_cell* c);
    [[nodiscard]] _cell* ijExpt(long k, _cell* e);
    [[nodiscard]] _cell* njExpt(long double x, _cell* e);
    [[nodiscard]] _cell* bjExpt(long a, long b, _cell* e);

    // --- library/time.cpp ---------------------------------------------------
    _cell* now();
};

// Group guard for the protection protocol (see the comment at the top):
// pushes a null marker when made, as the hand-written protocol does (so a
// recursion holds as many entries per level), and when destroyed sets the
// cell stack back to where it began, just below that marker: groups made
// inside it have ended before it does, and nothing else leaves entries on
// the stack.
class CellGroup {
public:
    explicit CellGroup(cmemory* m) : mem(m), base(m->cellStackTop) {
        m->IncCellStack(nullptr);
    }
    ~CellGroup() { mem->cellStackTop = base; }
    _cell* push(_cell* c) { return mem->IncCellStack(c); }
    CellGroup(const CellGroup&) = delete;
    CellGroup& operator=(const CellGroup&) = delete;

private:
    cmemory* mem;
    _cell** base;
};

// The binding frame of one form: allocated when made (null when n is 0 or
// the C library refuses), on the local stack from push on, and popped and
// released when destroyed. It pushes, pops and releases exactly what the
// hand-written protocol would.
class FrameGuard {
public:
    FrameGuard(cmemory* m, long n) : mem(m), frame(m->AllocFrame(n)) {}
    ~FrameGuard() { close(); }
    _symval* get() const { return frame; }
    // Puts the frame on the local stack with its first n records.
    void push(long n) {
        base = mem->locStackTop;
        mem->IncLocStack(frame, n);
        pushed = true;
    }
    // Pops and releases now; used before reporting an error, so that the
    // debug loop finds the local stack as the form found it. Popping sets
    // the local stack back to where the push found it: frames pushed after
    // it have been popped by then.
    void close() {
        if (pushed) mem->locStackTop = base;
        pushed = false;
        mem->ReleaseFrame(frame);
        frame = nullptr;
    }
    FrameGuard(const FrameGuard&) = delete;
    FrameGuard& operator=(const FrameGuard&) = delete;

private:
    cmemory* mem;
    _symval* frame;
    _symval** base = nullptr;
    bool pushed = false;
};

// The extent of the dynamic bindings a form makes: when destroyed, the
// global values they put aside are back.
class SpecialScope {
public:
    explicit SpecialScope(cmemory* m) : mem(m), mark(m->specialDepth) {}
    ~SpecialScope() { close(); }
    void close() {
        if (mem->specialDepth != mark) mem->UnbindSpecialsTo(mark);
    }
    SpecialScope(const SpecialScope&) = delete;
    SpecialScope& operator=(const SpecialScope&) = delete;

private:
    cmemory* mem;
    long mark;
};

inline void cmemory::BindSpecials(_symval* frame, long n) {
    for (long i = 0; i < n; i++) {
        _cell* symbol = frame[i].symbol;
        if (symbol && __builtin_expect(symbol->symFlags & kSpecialSymbol, 0)) {
            BindSpecial(symbol, frame[i].value);
            frame[i].symbol = nullptr;
        }
    }
}

// Builds a list front to back from conses appended at its tail. Given a
// group, it pushes the head there once it exists, so that the list being
// built survives the evaluations between two appends; the cells appended
// later hang from it. Appending allocates at most, so never collects.
class ListBuilder {
public:
    explicit ListBuilder(cmemory* m, CellGroup* g = nullptr)
        : mem(m), group(g) {}
    // Appends a fresh cons holding v; answers that cons.
    _cell* add(_cell* v) {
        _cell* c = mem->getCell();
        c->car.p = v;
        append(c, c);
        return c;
    }
    // Appends the chain of conses from first to last.
    void append(_cell* first, _cell* last) {
        if (tail) {
            tail->cdr.p = first;
        } else {
            head = first;
            if (group) group->push(first);
        }
        tail = last;
    }
    bool empty() const { return tail == nullptr; }
    // Ends the list with rest (NIL, or the atom of a dotted list). The
    // list; rest itself when nothing was appended.
    _cell* finish(_cell* rest) {
        if (tail)
            tail->cdr.p = rest;
        else
            head = rest;
        return head;
    }
    ListBuilder(const ListBuilder&) = delete;
    ListBuilder& operator=(const ListBuilder&) = delete;

private:
    cmemory* mem;
    CellGroup* group;
    _cell* head = nullptr;
    _cell* tail = nullptr;
};

// The fresh list (a b): the cons holding b is taken first. Allocation only,
// never collects.
inline _cell* ListOfTwo(cmemory* m, _cell* a, _cell* b) {
    _cell* tail = m->getCell();
    tail->car.p = b;
    _cell* list = m->getCell();
    list->car.p = a;
    list->cdr.p = tail;
    return list;
}

// The stack operations of every evaluation step, inline: they are the
// most frequent calls of the evaluator.
inline _cell* cmemory::IncCellStack(_cell* c) {
    if (__builtin_expect(cellStackTop - cellStack >= kCellStackCapacity - 1, 0))
        Exhausted("エラー: セルスタックが一杯です。終了します");
    *cellStackTop++ = c;
    return c;
}

// A marker and the addresses of the frame's n records; the room for all of
// them is checked at once.
inline int cmemory::IncLocStack(_symval* frame, long n) {
    if (__builtin_expect(locStackTop - locStack + n >= kLocStackCapacity - 1,
                         0))
        Exhausted("エラー: ローカルスタックが一杯です。終了します");
    *locStackTop++ = nullptr;
    for (long i = 0; i < n; i++) *locStackTop++ = frame + i;
    return 0;
}

// symbol is never null, so an unused record (null) never matches it.
inline long cmemory::getLocal(_symval* frame, long n, _cell* symbol) {
    TK_ASSERT(symbol);
    for (long i = 0; i < n; i++)
        if (frame[i].symbol == symbol) return i;
    return -1;
}

// Evaluation may not go deeper when the evaluation stack reaches stackLimit,
// nor when the cell and local stacks hold more than depthEntries slots
// between them, which bounds the time and memory a runaway recursion takes
// before it is stopped. (A recursion whose frames hold most of an area
// stops when the collector finds the area full; see areaFull.) Each open
// debug loop gets some room of its own below both limits so that
// expressions can still be typed there; the first kLoopsWithRoom loops get
// room, deeper ones share the room of the last.
constexpr long kRoomPerLoop = 256 * 1024;
constexpr long kEntriesPerLoop = 4096;
constexpr long kLoopsWithRoom = 64;

inline int cmemory::StackExhausted() {
#if TK_FUZZ
    if (--fuzzSteps < 0) Finish(0);
#endif
    return TooDeep(0, 0);
}

inline void cmemory::SetDepthLimits() {
    long loops = debugLevel < kLoopsWithRoom ? debugLevel : kLoopsWithRoom;
    stackFloor = stackLimit ? stackLimit - loops * kRoomPerLoop : nullptr;
    entriesLimit =
        stackLimit ? depthEntries + loops * kEntriesPerLoop : LONG_MAX / 2;
}

inline int cmemory::TooDeep(long bytes, long entries) {
    char probe;
    if ((unsigned long)&probe < (unsigned long)stackFloor + bytes) return 1;
    return (cellStackTop - cellStack) + (locStackTop - locStack) + entries >
           entriesLimit;
}

// 1 when one more debug loop may open here: fewer than kMaxDebugLevel are
// open, and the new one would have at least half a loop's room above the
// limits it evaluates under, so that (bye) works in every open loop.
inline int cmemory::RoomForLoop() {
    if (debugLevel >= kMaxDebugLevel) return 0;
    if (!stackLimit) return 1;
    char probe;
    long loops =
        debugLevel + 1 < kLoopsWithRoom ? debugLevel + 1 : kLoopsWithRoom;
    if (&probe < stackLimit - loops * kRoomPerLoop + kRoomPerLoop / 2) return 0;
    return (cellStackTop - cellStack) + (locStackTop - locStack) <=
           depthEntries + loops * kEntriesPerLoop - kEntriesPerLoop / 2;
}

// Set by the handler of SIGINT (Ctrl-C), which does nothing else; the
// evaluator looks at it where it checks the depth, the console readers when
// a read is interrupted.
extern volatile std::sig_atomic_t interruptRequested;

// SIGTERM or SIGHUP: the number of the signal, set with interruptRequested
// by a handler that does nothing else, so that the next evaluation step or
// the interrupted console read ends the session (EndIfTerminated).
extern volatile std::sig_atomic_t terminateSignal;
// When a terminating signal came: flushes standard output and every open
// file, then ends the process with the status 128 + the signal's number.
// Called where a pending interrupt is taken (toplevel/repl.cpp).
void EndIfTerminated();

// Where error messages go: standard output at the console, where they are
// part of the dialogue, and standard error in script mode, where standard
// output belongs to the program. PutMessage writes the text and a newline,
// as puts does; before writing to standard error it flushes standard
// output, so that both keep their order on a terminal.
extern FILE* messageOut;
void PutMessage(const char* text);

// Allocation is inline: most callers set the new cell's fields at once,
// and inlined, the compiler drops the stores they overwrite.
//
// The lowest clear bit at or after word `scan` becomes set; its index is
// returned and `scan` moves to its word. The caller's free counter
// guarantees that there is one below the capacity (see gc.cpp).
inline long takeIndex(markword* marks, long& scan, long& high) {
    markword* w = marks + scan;
    while (*w == ~(markword)0) w++;
    scan = w - marks;
    int b = __builtin_ctzl(~*w);
    *w |= (markword)1 << b;
    long i = scan * kMarkBits + b;
    if (i >= high) high = i + 1;
    return i;
}

// An area is full when its free counter leaves only the last cell or slot,
// which is never handed out. The counters are never below what is really
// free (see gcSilent), so the search always finds a clear bit.
inline _cell* cmemory::getCell() {
    if (__builtin_expect(policy.freeCells <= 1, 0))
        Exhausted("エラー: セル領域が一杯です。終了します。");
    _cell* c = cellArea + takeIndex(cellMarks, cellScan, cellHigh);
    TK_ASSERT(c < cellArea + (kCellCapacity - 1));
    c->type = kConsTag;
    c->kind = kInternedKind;
    c->car.p = NILCell;
    c->cdr.p = NILCell;
    c->extraKind = 0;
    c->symFlags = 0;
    c->closureCount = 0;
    c->extra.p = nullptr;
    policy.TookCell();
    return c;
}

#endif  // TAMARISK_MEMORY_CMEMORY_H
