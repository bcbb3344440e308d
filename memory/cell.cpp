// cmemory: reserving the storage areas, handing out cells and numeric slots,
// and the conversions between cells and machine numbers.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "memory/cmemory.h"
#include "toplevel/symbols.h"

// Everything FreeMemory gives back starts out absent, so that it can run
// after AllocMemory failed half-way.
void cmemory::Init() {
    cellWrapped = 0;
    debugLevel = 0;
    stackLimit = nullptr;
    depthEntries = 0;
    SetDepthLimits();
    finishHook = nullptr;
    ConsoleForget();
    cellArea = nullptr;
    stringArea = nullptr;
    symbolTable = nullptr;
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
    for (int i = 0; i < kFileSlots; i++) fileOpening[i] = 0, fileWrites[i] = false;
    openings = 0;
}

long cmemory::DefaultHeap() {
#if defined(__x86_64__)
    // Half the machine's memory.
    long pages = sysconf(_SC_PHYS_PAGES);
    long size = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && size > 0 && pages < LONG_MAX / size) return pages / 2 * size;
    return 4L << 30;
#else
    // What the address space of a 32-bit process leaves room for.
    return 2000L << 20;
#endif
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
    case 'k': case 'K': unit = 1LL << 10; end++; break;
    case 'm': case 'M': unit = 1LL << 20; end++; break;
    case 'g': case 'G': unit = 1LL << 30; end++; break;
    case 't': case 'T': unit = 1LL << 40; end++; break;
    default: return -1;
    }
    if (*end) return -1;
    if (n > LONG_MAX / unit) return LONG_MAX;
    return (long)(n * unit);
}

namespace {

// Reserves a zero-filled area. Large requests are served by fresh anonymous
// mappings whose pages stay untouched until first written, which is what
// keeps start-up cheap.
void* reserve(size_t count, size_t size) { return std::calloc(count, size); }

}  // namespace

int cmemory::AllocMemory() {
    if (!(cellArea = (_cell*)reserve(kCellCapacity, sizeof(_cell)))) {
        PutMessage("エラー: セル領域の獲得に失敗しました。");
        return 0;
    }
    if (!(stringArea = (char*)reserve(kStringCapacity, 1))) {
        fputs("エラー: ストリング領域の獲得に失敗しました", messageOut);
        return 0;
    }
    static_assert(kSymbolIndexSize * sizeof(unsigned) % sizeof(_cell*) == 0,
                  "the symbol index is a whole number of table slots");
    if (!(symbolTable = (_cell**)reserve(
              kSymbolCapacity +
                  kSymbolIndexSize * sizeof(unsigned) / sizeof(_cell*),
              sizeof(_cell*)))) {
        fputs("エラー: ストリングアドレス領域の獲得に失敗しました", messageOut);
        return 0;
    }
    symbolIndex = (unsigned*)(symbolTable + kSymbolCapacity);
    if (!(floatArea = (_numslot*)reserve(kFloatCapacity, sizeof(_numslot)))) {
        PutMessage("エラー: 数値領域の獲得に失敗しました");
        return 0;
    }
    if (!(intArea = (_intslot*)reserve(kIntCapacity, sizeof(_intslot)))) {
        PutMessage("エラー: 整数領域の獲得に失敗しました");
        return 0;
    }
    // The in-use bitmaps of the three areas, in one reservation.
    long marks = markWords(kCellCapacity) + markWords(kFloatCapacity) +
                 markWords(kIntCapacity);
    if (!(cellMarks = (markword*)reserve(marks, sizeof(markword)))) {
        puts("エラー: セル領域の獲得に失敗しました。");
        return 0;
    }
    floatMarks = cellMarks + markWords(kCellCapacity);
    intMarks = floatMarks + markWords(kFloatCapacity);
    tableCapacity = TableCapacityOf(heapLimit ? heapLimit : DefaultHeap());
    if (!(globalTable = (_symval*)reserve(tableCapacity, sizeof(_symval)))) {
        PutMessage("エラー: グローバル変数領域の獲得に失敗しました");
        return 0;
    }
    if (!(funcTable = (_symval*)reserve(tableCapacity, sizeof(_symval)))) {
        PutMessage("エラー: 関数領域の獲得に失敗しました");
        return 0;
    }
    if (!(cellStack = (_cell**)reserve(kCellStackCapacity, sizeof(_cell*)))) {
        PutMessage("エラー: セルスタック領域の獲得に失敗しました");
        return 0;
    }
    if (!(locStack = (_symval**)reserve(kLocStackCapacity, sizeof(_symval*)))) {
        PutMessage("エラー: ローカルスタック領域の獲得に失敗しました");
        return 0;
    }
    stringNext = stringArea;
    symbolTableEnd = symbolTable;
    funcTableEnd = funcTable;
    globalTableEnd = globalTable;
    cellStackTop = cellStack;
    locStackTop = locStack;
    specialDepth = 0;
    freeCells = kCellCapacity;
    freeFloats = kFloatCapacity;
    freeInts = kIntCapacity;
    cellHigh = floatHigh = intHigh = 0;
    cellScan = floatScan = intScan = 0;
    keptFrames = nullptr;
    for (int i = 0; i < kFramePoolSizes; i++) framePool[i] = nullptr;
    gcQuiet = 0;
    gcEpoch = 0;
    gcBudget = kGcBudget;
    gcCountdown = gcCountdownFrom = 0;
    cellsTaken = 0;
    freeCellsGiven = freeCells;
    floatsTaken = intsTaken = collections = 0;
    freeFloatsGiven = freeFloats;
    freeIntsGiven = freeInts;
    gcDueCells = reserveOf(kCellCapacity);
    gcDueFloats = reserveOf(kFloatCapacity);
    gcDueInts = reserveOf(kIntCapacity);
    gcDueString = reserveOf(kStringCapacity);
    gcDueSymbols = reserveOf(kSymbolCapacity);
    areasFull = 0;
    areaFull = nullptr;
    SetCountdown();
    // A tenth of the smaller stack: the stacks never overflow by recursion,
    // and a runaway recursion is stopped within a second, some 250,000
    // calls of a one-parameter function deep.
    depthEntries = (kCellStackCapacity < kLocStackCapacity ? kCellStackCapacity
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
    std::free(cellArea);
    std::free(stringArea);
    std::free(symbolTable);
    std::free(floatArea);
    std::free(intArea);
    std::free(globalTable);
    std::free(funcTable);
    std::free(globalIndex.slots);
    std::free(funcIndex.slots);
    std::free(cellStack);
    std::free(locStack);
    std::free(specialStack);   // Init below clears the pointer
    std::free(cellMarks);   // floatMarks and intMarks share its block
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

void cmemory::SetCountdown() {
    gcBudget -= gcCountdownFrom - gcCountdown;
    long left = gcBudget;
    if (freeCells - gcDueCells < left) left = freeCells - gcDueCells;
    if (freeFloats - gcDueFloats < left) left = freeFloats - gcDueFloats;
    if (freeInts - gcDueInts < left) left = freeInts - gcDueInts;
    gcCountdown = gcCountdownFrom = left;
}

bool cmemory::CountdownDue() {
    SetCountdown();
    return gcCountdown < 0;
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
    free--;
    m->gcCountdown--;
    return s;
}

}  // namespace

_numslot* cmemory::getNumber(long double v) {
    return takeSlot(this, floatArea, kFloatCapacity, floatMarks, floatScan,
                    floatHigh, freeFloats,
                    "エラー: 数値領域が一杯です。終了します。", v);
}

_intslot* cmemory::getInt(long v) {
    return takeSlot(this, intArea, kIntCapacity, intMarks, intScan, intHigh,
                    freeInts, "エラー: 整数領域が一杯です。終了します。", v);
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

long CellToBunshi(_cell* c) {
    return isBunsu(c) ? c->car.i->value : 0;
}

long CellToBunbo(_cell* c) {
    return isBunsu(c) ? c->cdr.i->value : 0;
}
