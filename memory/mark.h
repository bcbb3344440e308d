// cmemory: what the marking (memory/mark.cpp) and the collection that
// runs it (memory/gc.cpp) share: the roots, and the counts of a marking.
#ifndef TAMARISK_MEMORY_MARK_H
#define TAMARISK_MEMORY_MARK_H

#include "memory/cmemory.h"

namespace marking {

// What marking changed from free to in use; the totals of a collection
// are the symbols of the table (in use from the start) plus these, so no
// pass over the areas is needed to count them.
extern long markedCells, markedFloats, markedInts;

// Calls visit on every root, in the order the protocol names them: the cell
// stack, the local stack, the values put aside by dynamic bindings, the
// global-variable table, the function table, and the values of exits in
// flight. afterStacks runs once the two stacks
// are visited.
template <typename Visit, typename After>
inline void visitRoots(cmemory* m, Visit visit, After afterStacks) {
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

}  // namespace marking

#endif  // TAMARISK_MEMORY_MARK_H
