// cmemory: the cell and local stacks, binding frames and the
// evaluation-depth check.
#include <cstdlib>
#include <cstring>

#include "memory/cmemory.h"

volatile std::sig_atomic_t interruptRequested = 0;
volatile std::sig_atomic_t terminateSignal = 0;

// IncCellStack, IncLocStack, getLocal and StackExhausted run
// at every evaluation step; they are inline in cmemory.h.

// ---------------------------------------------------------------------------
// Dynamic bindings
// ---------------------------------------------------------------------------

// The special stack doubles when full; it holds no more entries than the
// local stack, whose depth the evaluation bounds.
void cmemory::BindSpecial(_cell* symbol, _cell* value) {
    if (__builtin_expect(specialDepth >= specialCapacity, 0)) {
        long capacity = specialCapacity ? 2 * specialCapacity : 256;
        void* grown = realloc(specialStack, capacity * sizeof(SpecialSave));
        if (!grown || capacity > kLocStackCapacity)
            Exhausted("エラー: ローカルスタックが一杯です。終了します");
        specialStack = (SpecialSave*)grown;
        specialCapacity = capacity;
    }
    _symval* record = globalTable + getSymVal2(symbol);
    specialStack[specialDepth].record = record;
    specialStack[specialDepth].old = record->value;
    specialDepth++;
    record->value = value;
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

namespace {
_framehead* headOf(_symval* frame) { return (_framehead*)frame - 1; }
}  // namespace

// Frames live and die in stack order except those a closure keeps, so a
// frame released uncaptured goes to a pool by record count and the next
// frame of that size reuses it. Builds that check addresses or run many
// sessions in one process give every frame back to the C library instead.
#if defined(__SANITIZE_ADDRESS__) || TK_FUZZ
constexpr bool kPoolFrames = false;
#else
constexpr bool kPoolFrames = true;
#endif

_symval* cmemory::AllocFrame(long n) {
    if (n <= 0) return nullptr;
    size_t bytes = sizeof(_framehead) + (size_t)n * sizeof(_symval);
    _framehead* h;
    if (kPoolFrames && n < kFramePoolSizes && framePool[n]) {
        h = framePool[n];
        framePool[n] = h->next;
        memset(h, 0, bytes);
    } else {
        h = (_framehead*)calloc(1, bytes);
        if (!h) return nullptr;
    }
    h->count = n;
    h->active = 1;
    return (_symval*)(h + 1);
}

void cmemory::CaptureFrame(_symval* frame) {
    if (frame) headOf(frame)->captured = 1;
}

// A frame that a closure points at cannot be freed when its form ends: it
// joins the kept list, and the collector frees it once no reachable closure
// refers to it.
void cmemory::ReleaseFrame(_symval* frame) {
    if (!frame) return;
    _framehead* h = headOf(frame);
    h->active = 0;
    if (h->captured) {
        h->next = keptFrames;
        keptFrames = h;
    } else if (kPoolFrames && h->count < kFramePoolSizes) {
        h->next = framePool[h->count];
        framePool[h->count] = h;
    } else {
        free(h);
    }
}
