// cmemory: reserving the storage areas, handing out cells and numeric slots,
// and the conversions between cells and machine numbers.
#include <cstdlib>
#include <cstring>

#include "memory/cmemory.h"
#include "toplevel/symbols.h"

// Everything FreeMemory gives back starts out absent, so that it can run
// after AllocMemory failed half-way.
void cmemory::Init() {
    cellWrapped = 0;
    debugLevel = 0;
    stackBase = stackLimit = nullptr;
    finishHook = nullptr;
    cellArea = nullptr;
    stringArea = nullptr;
    symbolTable = nullptr;
    floatArea = nullptr;
    intArea = nullptr;
    globalTable = nullptr;
    funcTable = nullptr;
    cellStack = nullptr;
    locStack = locStackTop = nullptr;
    keptFrames = nullptr;
    for (int i = 0; i < kFramePoolSizes; i++) framePool[i] = nullptr;
    for (int i = 0; i < kFileSlots; i++) fileTable[i] = nullptr;
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
    if (!(globalTable = (_symval*)reserve(kTableCapacity, sizeof(_symval)))) {
        PutMessage("エラー: グローバル変数領域の獲得に失敗しました");
        return 0;
    }
    if (!(funcTable = (_symval*)reserve(kTableCapacity, sizeof(_symval)))) {
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
    cellCursor = cellArea;
    stringNext = stringArea;
    symbolTableEnd = symbolTable;
    floatCursor = floatArea;
    intCursor = intArea;
    funcTableEnd = funcTable;
    globalTableEnd = globalTable;
    cellStackTop = cellStack;
    locStackTop = locStack;
    freeCells = kCellCapacity;
    freeFloats = kFloatCapacity;
    freeInts = kIntCapacity;
    cellHigh = floatHigh = intHigh = 0;
    keptFrames = nullptr;
    for (int i = 0; i < kFramePoolSizes; i++) framePool[i] = nullptr;
    gcQuiet = 0;
    gcEpoch = 0;
    gcDueCells = gcDueFloats = gcDueInts = kGcThreshold;
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
    std::free(cellStack);
    std::free(locStack);
    Init();
}

// Cells and slots that were never handed out are zero-filled, and a state
// other than 'd' means free, so there is nothing to write here: the areas
// are already "all free" without touching their pages.
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

_cell* cmemory::getCell() {
    _cell* last = cellArea + (kCellCapacity - 1);
    for (long looks = 0; looks < kCellCapacity - 1; looks++) {
        _cell* c = cellCursor++;
        if (cellCursor == last) {
            cellCursor = cellArea;
            cellWrapped = 1;
        }
        if (c->gcState != 'd') {
            long index = c - cellArea;
            if (index >= cellHigh) cellHigh = index + 1;
            c->type = 'l';
            c->kind = 'u';
            c->gcState = 'd';
            c->car.p = NILCell;
            c->cdr.p = NILCell;
            c->values = nullptr;
            c->closureEnv = nullptr;
            c->closureCount = 0;
            freeCells--;
            return c;
        }
    }
    Exhausted("エラー: セル領域が一杯です。終了します。");
    return nullptr;     // not reached
}

namespace {

// The rotating first-fit search over a numeric-slot area: resumes at the
// cursor, wraps before the last slot (which is never handed out), and
// answers null after a full cycle without a free slot.
template <typename Slot>
Slot* takeSlot(Slot* area, Slot*& cursor, long capacity, long& high) {
    Slot* last = area + (capacity - 1);
    for (long looks = 0; looks < capacity - 1; looks++) {
        Slot* s = cursor++;
        if (cursor == last) cursor = area;
        if (s->state != 'd') {
            long index = s - area;
            if (index >= high) high = index + 1;
            s->state = 'd';
            return s;
        }
    }
    return nullptr;
}

}  // namespace

_numslot* cmemory::getNumber(long double v) {
    _numslot* s = takeSlot(floatArea, floatCursor, kFloatCapacity, floatHigh);
    if (!s) Exhausted("エラー: 数値領域が一杯です。終了します。");
    s->value = v;
    freeFloats--;
    return s;
}

_intslot* cmemory::getInt(long v) {
    _intslot* s = takeSlot(intArea, intCursor, kIntCapacity, intHigh);
    if (!s) Exhausted("エラー: 整数領域が一杯です。終了します。");
    s->value = v;
    freeInts--;
    return s;
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
