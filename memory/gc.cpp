// cmemory: the collector. Clear every mark, mark from the roots, count what
// is in use; cells left unmarked are free for the rotating searches.
#include <cstdlib>

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
                puts("エラー: セル領域が一杯です。終了します。");
                fflush(stdout);
                exit(1);
            }
            items = grown;
            capacity = n;
        }
        items[size++] = c;
    }
    _cell* pop() { return size ? items[--size] : nullptr; }
};

WorkList work;

_framehead* headOf(_symval* frame) { return (_framehead*)frame - 1; }

}  // namespace

void cmemory::Disable(_cell* root) {
    work.push(root);
    while (_cell* c = work.pop()) {
        // Follow the cdr chain in this loop; cars and values go on the list.
        while (c) {
            switch (c->type) {
            case 's':
            case 'm':
                c->gcState = 'd';
                break;
            case 'i':
                c->gcState = 'd';
                c->car.i->state = 'd';
                break;
            case 'n':
                c->gcState = 'd';
                c->car.n->state = 'd';
                break;
            case 'b':
                c->gcState = 'd';
                c->car.i->state = 'd';
                c->cdr.i->state = 'd';
                break;
            case 'l':
            case 'a':
                if (c->gcState == 'd') {
                    c = nullptr;
                    continue;
                }
                c->gcState = 'd';
                break;
            default:
                c = nullptr;
                continue;
            }
            work.push(c->values);
            if (c->closureEnv && c->type != 's') {
                // A closure keeps its captured frame, and through it the
                // values of the bindings it will copy in.
                _framehead* h = headOf(c->closureEnv);
                if (h->mark != gcEpoch) {
                    h->mark = gcEpoch;
                    for (long i = 0; i < h->count; i++)
                        if (c->closureEnv[i].symbol)
                            work.push(c->closureEnv[i].value);
                }
            }
            if (c->type == 'l' || c->type == 'a') {
                work.push(c->car.p);
                c = c->cdr.p;
            } else {
                c = nullptr;
            }
        }
    }
}

void cmemory::gc() {
    gcEpoch++;
    // Clear. Symbols keep 'd': they are never reclaimed.
    for (long i = 0; i < cellHigh; i++)
        if (cellArea[i].type != 's') cellArea[i].gcState = 'e';
    for (long i = 0; i < floatHigh; i++) floatArea[i].state = 'e';
    for (long i = 0; i < intHigh; i++) intArea[i].state = 'e';

    // Mark, root by root, in the order the protocol names them.
    for (_cell** p = cellStack; p < cellStackTop; p++)
        if (*p) Disable(*p);
    for (_symval** p = locStack; p < locStackTop; p++)
        if (*p && (*p)->symbol) Disable((*p)->value);
    for (_symval** p = staticStack; p < staticStackTop; p++)
        if (*p && (*p)->symbol) Disable((*p)->value);
    for (_symval* r = globalTable; r < globalTableEnd; r++)
        if (r->value) Disable(r->value);
    for (_symval* r = funcTable; r < funcTableEnd; r++)
        if (r->value) Disable(r->value);
    for (_cell** const* r = gcExtraRoots; r < gcExtraRoots + 4; r++)
        if (*r && **r) Disable(**r);

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

    long usedCells = 0, usedFloats = 0, usedInts = 0;
    for (long i = 0; i < cellHigh; i++)
        if (cellArea[i].gcState == 'd') usedCells++;
    for (long i = 0; i < floatHigh; i++)
        if (floatArea[i].state == 'd') usedFloats++;
    for (long i = 0; i < intHigh; i++)
        if (intArea[i].state == 'd') usedInts++;
    freeCells = kCellCapacity - usedCells;
    freeFloats = kFloatCapacity - usedFloats;
    freeInts = kIntCapacity - usedInts;
    if (!gcQuiet)
        printf("gc: セル %ld個 浮動小数点数 %ld個 整数 %ld個 使用中 %c\n",
               usedCells, usedFloats, usedInts, cellWrapped ? '*' : ' ');
}
