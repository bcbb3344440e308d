// cmemory: reserving the storage areas, handing out cells and numeric slots,
// and the conversions between cells and machine numbers.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include "memory/cmemory.h"
#include "reader/console.h"
#include "toplevel/symbols.h"

// Everything FreeMemory gives back starts out absent, so that it can run
// after AllocMemory failed half-way.
void cmemory::Init() {
    policy.cellWrapped = 0;
    debugLevel = 0;
    stackLimit = nullptr;
    depthEntries = 0;
    SetDepthLimits();
    finishHook = nullptr;
    ConsoleForget();
    cellArea = nullptr;
    stringArea = nullptr;
    symbolTable = nullptr;
    symbolIndex = nullptr;
    symbolIndexSize = symbolIndexMost = 0;
    floatArea = nullptr;
    intArea = nullptr;
    cellMarks = floatMarks = intMarks = nullptr;
    helperMarks = nullptr;
    globalTable = nullptr;
    funcTable = nullptr;
    globalIndex = RecordIndex{};
    funcIndex = RecordIndex{};
    tableCapacity = 0;
    cellStack = nullptr;
    locStack = locStackTop = nullptr;
    specialStack = nullptr;
    specialDepth = specialCapacity = 0;
    keptFrames = nullptr;
    for (int i = 0; i < kFramePoolSizes; i++) framePool[i] = nullptr;
    for (int i = 0; i < kFileSlots; i++) fileTable[i] = nullptr;
    for (int i = 0; i < kFileSlots; i++)
        fileOpening[i] = 0, fileWrites[i] = false;
    openings = 0;
}

long cmemory::DefaultHeap() {
#if defined(__x86_64__)
    // Half the machine's memory.
    long heap = 4L << 30;
    long pages = sysconf(_SC_PHYS_PAGES);
    long size = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && size > 0 && pages < LONG_MAX / size)
        heap = pages / 2 * size;
#else
    // What the address space of a 32-bit process leaves room for beside
    // the stacks.
    long heap = 2000L << 20;
#endif
    // Under a limit on the address space, a quarter of it: the stacks and
    // the evaluation stack need the rest.
    struct rlimit r;
    if (getrlimit(RLIMIT_AS, &r) == 0 && r.rlim_cur != RLIM_INFINITY &&
        (unsigned long)r.rlim_cur / 4 < (unsigned long)heap)
        heap = (long)(r.rlim_cur / 4);
    return heap;
}

long cmemory::ParseSize(const char* text) {
    if (!text || !*text) return -1;
    char* end;
    errno = 0;
    long long n = strtoll(text, &end, 10);
    if (errno || end == text || n <= 0 || text[0] == '-' || text[0] == '+')
        return -1;
    long long unit = 1;
    switch (*end) {
        case 0: break;
        case 'k':
        case 'K':
            unit = 1LL << 10;
            end++;
            break;
        case 'm':
        case 'M':
            unit = 1LL << 20;
            end++;
            break;
        case 'g':
        case 'G':
            unit = 1LL << 30;
            end++;
            break;
        case 't':
        case 'T':
            unit = 1LL << 40;
            end++;
            break;
        default: return -1;
    }
    if (*end) return -1;
    if (n > LONG_MAX / unit) return LONG_MAX;
    return (long)(n * unit);
}

namespace {

// Reserves a zero-filled area of address space: the system commits its
// pages as they are first written, so that a large area costs only what is
// used of it. Null when the address space has no room.
void* reserve(size_t count, size_t size) {
    if (count == 0 || size > SIZE_MAX / count) return nullptr;
    void* p = mmap(nullptr, count * size, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void release(void* p, size_t count, size_t size) {
    if (p) munmap(p, count * size);
}

#if !defined(__x86_64__)
constexpr size_t kRoomAfterAreas = (size_t)640 << 20;
#endif

long powerOfTwoAbove(long n) {
    long p = 1;
    while (p <= n) p *= 2;
    return p;
}

}  // namespace

long kCellCapacity;
long kFloatCapacity;
long kIntCapacity;
long kStringCapacity;
long kSymbolCapacity;

void SetCapacities(long heap) {
    long h = heap / 16;
    kCellCapacity = TK_CELLS ? TK_CELLS : h * 12 / (long)sizeof(_cell);
    kIntCapacity = TK_NUMSLOTS ? TK_NUMSLOTS : h / (long)sizeof(_intslot);
    kFloatCapacity = TK_NUMSLOTS ? TK_NUMSLOTS : h / (long)sizeof(_numslot);
    kStringCapacity = heap / 1024;
    kSymbolCapacity = heap / 4096;
    if (!TK_CELLS && kCellCapacity < 200000) kCellCapacity = 200000;
    if (!TK_NUMSLOTS && kIntCapacity < 50000) kIntCapacity = 50000;
    if (!TK_NUMSLOTS && kFloatCapacity < 50000) kFloatCapacity = 50000;
    if (kStringCapacity < 320000) kStringCapacity = 320000;
    if (kSymbolCapacity < 100000) kSymbolCapacity = 100000;
    // Indexes are unsigned slots of the symbol index.
    if (kSymbolCapacity > (1L << 30)) kSymbolCapacity = 1L << 30;
}

namespace {

// The sizes of every reservation AllocMemory makes, so that FreeMemory
// gives back exactly those.
struct Sizes {
    long cells, strings, symbols, index, floats, ints, marks, tables, cellStack,
        locStack;
};

Sizes sizesOf(long tableCapacity, long indexMost) {
    return {kCellCapacity,
            kStringCapacity,
            kSymbolCapacity,
            indexMost,
            kFloatCapacity,
            kIntCapacity,
            markWords(kCellCapacity) + markWords(kFloatCapacity) +
                markWords(kIntCapacity),
            tableCapacity,
            kCellStackCapacity,
            kLocStackCapacity};
}

}  // namespace

bool cmemory::TryAllocMemory(const char*& refused) {
    Sizes z = sizesOf(tableCapacity, symbolIndexMost);
    cellArea = (_cell*)reserve(z.cells, sizeof(_cell));
    stringArea = (char*)reserve(z.strings, 1);
    symbolTable = (_cell**)reserve(z.symbols, sizeof(_cell*));
    symbolIndex = (unsigned*)reserve(z.index, sizeof(unsigned));
    floatArea = (_numslot*)reserve(z.floats, sizeof(_numslot));
    intArea = (_intslot*)reserve(z.ints, sizeof(_intslot));
    // The in-use bitmaps of the three areas, in one reservation.
    cellMarks = (markword*)reserve(z.marks, sizeof(markword));
    globalTable = (_symval*)reserve(z.tables, sizeof(_symval));
    funcTable = (_symval*)reserve(z.tables, sizeof(_symval));
    cellStack = (_cell**)reserve(z.cellStack, sizeof(_cell*));
    locStack = (_symval**)reserve(z.locStack, sizeof(_symval*));
    refused = !cellArea || !cellMarks ? "エラー: セル領域の獲得に失敗しました。"
              : !stringArea ? "エラー: ストリング領域の獲得に失敗しました"
              : !symbolTable || !symbolIndex
                  ? "エラー: ストリングアドレス領域の獲得に失敗しました"
              : !floatArea ? "エラー: 数値領域の獲得に失敗しました"
              : !intArea ? "エラー: 整数領域の獲得に失敗しました"
              : !globalTable ? "エラー: グローバル変数領域の獲得に失敗しました"
              : !funcTable ? "エラー: 関数領域の獲得に失敗しました"
              : !cellStack ? "エラー: セルスタック領域の獲得に失敗しました"
              : !locStack ? "エラー: ローカルスタック領域の獲得に失敗しました"
                          : nullptr;
    if (refused) return false;
    floatMarks = cellMarks + markWords(kCellCapacity);
    intMarks = floatMarks + markWords(kFloatCapacity);
    return true;
}

void cmemory::FreeAreas() {
    Sizes z = sizesOf(tableCapacity, symbolIndexMost);
    release(cellArea, z.cells, sizeof(_cell));
    release(stringArea, z.strings, 1);
    release(symbolTable, z.symbols, sizeof(_cell*));
    release(symbolIndex, z.index, sizeof(unsigned));
    release(floatArea, z.floats, sizeof(_numslot));
    release(intArea, z.ints, sizeof(_intslot));
    release(cellMarks, z.marks, sizeof(markword));
    release(globalTable, z.tables, sizeof(_symval));
    release(funcTable, z.tables, sizeof(_symval));
    release(cellStack, z.cellStack, sizeof(_cell*));
    release(locStack, z.locStack, sizeof(_symval*));
    cellArea = nullptr;
    stringArea = nullptr;
    symbolTable = nullptr;
    symbolIndex = nullptr;
    floatArea = nullptr;
    intArea = nullptr;
    cellMarks = floatMarks = intMarks = nullptr;
    globalTable = funcTable = nullptr;
    cellStack = nullptr;
    locStack = locStackTop = nullptr;
}

int cmemory::AllocMemory() {
    // Without a limit of the user's, a default the address space cannot
    // hold is halved until it can.
    long heap = heapLimit ? heapLimit : DefaultHeap();
    for (;;) {
        SetCapacities(heap);
        tableCapacity = TableCapacityOf(heap);
        symbolIndexMost = powerOfTwoAbove(2 * kSymbolCapacity);
        const char* refused = nullptr;
        if (TryAllocMemory(refused)) {
#if defined(__x86_64__)
            break;
#else
            // The evaluation stack and the C library still need room in
            // the 32-bit address space once the areas have theirs.
            void* room = reserve(kRoomAfterAreas, 1);
            release(room, kRoomAfterAreas, 1);
            if (room) break;
            refused = "エラー: 評価スタック領域の獲得に失敗しました";
#endif
        }
        FreeAreas();
        if (heapLimit || heap < (64L << 20)) {
            PutMessage(refused);
            return 0;
        }
        heap /= 2;
    }
    sessionHeap = heap;
    symbolIndexSize = kLeastSymbolIndex < symbolIndexMost ? kLeastSymbolIndex
                                                          : symbolIndexMost;
    stringNext = stringArea;
    symbolTableEnd = symbolTable;
    funcTableEnd = funcTable;
    globalTableEnd = globalTable;
    cellStackTop = cellStack;
    locStackTop = locStack;
    specialDepth = 0;
    cellHigh = floatHigh = intHigh = 0;
    cellScan = floatScan = intScan = 0;
    keptFrames = nullptr;
    for (int i = 0; i < kFramePoolSizes; i++) framePool[i] = nullptr;
    gcQuiet = 0;
    gcEpoch = 0;
    policy.Start(kCellCapacity, kFloatCapacity, kIntCapacity, kStringCapacity,
                 kSymbolCapacity);
    areaFull = nullptr;
    // A tenth of the smaller stack: the stacks never overflow by recursion,
    // and a runaway recursion is stopped within a second, some 250,000
    // calls of a one-parameter function deep.
    depthEntries =
        (kCellStackCapacity < kLocStackCapacity ? kCellStackCapacity
                                                : kLocStackCapacity) /
        10;
    SetDepthLimits();
    InitCellAndNumber();
    return 1;
}

namespace {
_framehead* headOf(_symval* frame) { return (_framehead*)frame - 1; }
}  // namespace

// A frame on the local stack starts with the record pushed right after a
// null marker; a frame is there, or kept for closures, or pooled, never two
// of these at once.
void cmemory::FreeMemory() {
    EndDribble();
    for (int i = 0; i < kFileSlots; i++) {
        if (fileTable[i]) std::fclose(fileTable[i]);
        fileTable[i] = nullptr;
    }
    if (locStack) {
        for (_symval** p = locStack; p + 1 < locStackTop; p++) {
            if (*p == nullptr && p[1] != nullptr) std::free(headOf(p[1]));
        }
    }
    for (_framehead* h = keptFrames; h;) {
        _framehead* next = h->next;
        std::free(h);
        h = next;
    }
    for (int i = 0; i < kFramePoolSizes; i++) {
        for (_framehead* h = framePool[i]; h;) {
            _framehead* next = h->next;
            std::free(h);
            h = next;
        }
    }
    FreeAreas();
    std::free(globalIndex.slots);
    std::free(funcIndex.slots);
    std::free(specialStack);  // Init below clears the pointer
    std::free(helperMarks);
    Init();
}

// The bitmaps start zero-filled, which means "all free", so there is
// nothing to write here and no page of the areas is touched.
void cmemory::InitCellAndNumber() {
    for (int i = 0; i < kFileSlots; i++) fileTable[i] = nullptr;
    throwPending = 0;
    returnFromPending = 0;
}

FILE* messageOut = stdout;

void PutMessage(const char* text) {
    if (messageOut != stdout) fflush(stdout);
    fputs(text, messageOut);
    fputc('\n', messageOut);
}

void cmemory::Exhausted(const char* message) {
    PutMessage(message);
    Finish(1);
}

void cmemory::Finish(int status) {
    fflush(stdout);
    if (finishHook) finishHook(status);
    exit(status);
}

void cmemory::setValues(_cell* c, _cell* list) {
    if (!list) {
        clearValues(c);
    } else if (c->extraKind == (kHasValues | kHasEnv)) {
        c->extra.p->car.p = list;
    } else if (c->extraKind == kHasEnv) {
        _cell* carrier = getCell();
        carrier->car.p = list;
        carrier->extraKind = kHasEnv;
        carrier->extra.env = c->extra.env;
        carrier->closureCount = c->closureCount;
        c->extraKind = kHasValues | kHasEnv;
        c->extra.p = carrier;
    } else {
        c->extraKind = kHasValues;
        c->extra.p = list;
    }
}

void cmemory::setClosureEnv(_cell* c, _symval* env, long count) {
    _cell* list = valuesOf(c);
    c->extraKind = 0;
    c->extra.p = nullptr;
    c->closureCount = env ? (int)count : 0;
    if (env) {
        c->extraKind = kHasEnv;
        c->extra.env = env;
    }
    if (list) setValues(c, list);
}

namespace {

// A number slot from an area: the lowest free one, holding v. The last
// slot is never handed out (see getCell).
template <typename Slot, typename Value>
inline Slot* takeSlot(cmemory* m, Slot* area, [[maybe_unused]] long capacity,
                      markword* marks, long& scan, long& high, long& free,
                      const char* full, Value v) {
    if (__builtin_expect(free <= 1, 0)) m->Exhausted(full);
    Slot* s = area + takeIndex(marks, scan, high);
    TK_ASSERT(s < area + (capacity - 1));
    s->value = v;
    m->policy.TookSlot(free);
    return s;
}

}  // namespace

_numslot* cmemory::getNumber(long double v) {
    return takeSlot(this, floatArea, kFloatCapacity, floatMarks, floatScan,
                    floatHigh, policy.freeFloats,
                    "エラー: 数値領域が一杯です。終了します。", v);
}

_intslot* cmemory::getInt(long v) {
    return takeSlot(this, intArea, kIntCapacity, intMarks, intScan, intHigh,
                    policy.freeInts, "エラー: 整数領域が一杯です。終了します。",
                    v);
}

_cell* cmemory::NumberToCell(long double v) {
    _cell* c = getCell();
    c->type = 'n';
    c->car.n = getNumber(v);
    return c;
}

_cell* cmemory::IntToCell(long v) {
    _cell* c = getCell();
    c->type = 'i';
    c->car.i = getInt(v);
    return c;
}

_cell* cmemory::BunsuToCell(long n, long d) {
    _cell* c = getCell();
    c->type = 'b';
    c->car.i = getInt(n);
    c->cdr.i = getInt(d);
    return c;
}

long double CellToNumber(_cell* c) {
    return isFloating(c) ? c->car.n->value : 0.0L;
}

long CellToInt(_cell* c) { return isInteger(c) ? c->car.i->value : 0; }

long CellToBunshi(_cell* c) { return isBunsu(c) ? c->car.i->value : 0; }

long CellToBunbo(_cell* c) { return isBunsu(c) ? c->cdr.i->value : 0; }
