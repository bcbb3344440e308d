// cmemory: the cell, local and static stacks, binding frames and the
// evaluation-depth check.
#include <cstdlib>

#include "memory/cmemory.h"

_cell* cmemory::IncCellStack(_cell* c) {
    if (cellStackTop - cellStack >= kCellStackCapacity - 1)
        Exhausted("エラー: セルスタックが一杯です。終了します");
    *cellStackTop++ = c;
    return c;
}

void cmemory::PopCellStack() {
    while (cellStackTop > cellStack) {
        if (*--cellStackTop == nullptr) return;
    }
}

namespace {

// Pushes a frame marker and the addresses of the frame's records; the room
// is checked before the marker and before each record.
void pushFrame(cmemory* m, _symval** base, _symval**& top, long capacity,
               _symval* frame, long n, const char* full) {
    if (top - base >= capacity - 1) m->Exhausted(full);
    *top++ = nullptr;
    for (long i = 0; i < n; i++) {
        if (top - base >= capacity - 1) m->Exhausted(full);
        *top++ = frame + i;
    }
}

}  // namespace

int cmemory::IncLocStack(_symval* frame, long n) {
    pushFrame(this, locStack, locStackTop, kLocStackCapacity, frame, n,
              "エラー: ローカルスタックが一杯です。終了します");
    return 0;
}

void cmemory::PopLocStack() {
    while (locStackTop > locStack) {
        if (*--locStackTop == nullptr) return;
    }
}

void cmemory::IncStaticStack(_symval* frame, long n) {
    pushFrame(this, staticStack, staticStackTop, kStaticStackCapacity, frame,
              n, "エラー: スタティックスタックが一杯です。終了します");
}

long cmemory::getLocal(_symval* frame, long n, _cell* symbol) {
    for (long i = 0; i < n; i++)
        if (frame[i].symbol && frame[i].symbol == symbol) return i;
    return -1;
}

// ---------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------

namespace {
_framehead* headOf(_symval* frame) { return (_framehead*)frame - 1; }
}  // namespace

_symval* cmemory::AllocFrame(long n) {
    if (n <= 0) return nullptr;
    _framehead* h = (_framehead*)calloc(
        1, sizeof(_framehead) + (size_t)n * sizeof(_symval));
    if (!h) return nullptr;
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
    } else {
        free(h);
    }
}

// The evaluation stack grows downwards from stackBase; past stackLimit the
// evaluator refuses to go deeper. Each open debug loop gets some room of its
// own below the limit so that expressions can still be typed there.
int cmemory::StackExhausted() {
    if (!stackLimit) return 0;
    char probe;
    const long kRoomPerLoop = 256 * 1024;
    char* limit = stackLimit - (long)(debugLevel < 64 ? debugLevel : 64) *
                                   kRoomPerLoop;
    return &probe < limit;
}
