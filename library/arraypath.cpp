// cfunction, library part: the C++ paths of the array functions of the
// prelude (see eval/fastpath.cpp for when a path may answer), and the index
// of an array's element conses they find elements by.
//
// AREF and PRE-AREF answer from the index; SETF of AREF stores through it
// (storeElement, called by the SETF path); MAKE-ARRAY without initial
// contents builds the array's structure directly.
#include <cstdlib>

#include "eval/fastpath.h"
#include "toplevel/symbols.h"

using namespace fastpath;

namespace {

// Marks a cons of an array's structure; kRowCons is never lowered to
// kElementCons, so a cons that holds rows anywhere keeps counting its RPLACA.
inline void markSpine(_cell* c, char k) {
    if (isHashMarked(c))
        c->kind = kArrayHashCons;   // a hash table's too
    else if (c->kind != kRowCons && c->kind != kArrayHashCons)
        c->kind = k;
}

// Length of a proper list, -1 for anything else (a dotted or circular
// one: the walk stops after as many conses as the area holds).
long properLength(_cell* p) {
    bool proper;
    long n = cfunction::tlength(p, kCellCapacity, &proper);
    return proper ? n : -1;
}

bool collectCells(ArrayIndex& e, _cell* list, long k) {
    if (properLength(list) != e.dims[k]) return false;
    for (_cell* p = list; isCons(p); p = p->cdr.p) {
        if (k == e.rank - 1) {
            markSpine(p, kElementCons);
            e.cells[e.size++] = p;
        } else {
            markSpine(p, kRowCons);
            if (!collectCells(e, p->car.p, k + 1)) return false;
        }
    }
    return true;
}

// An array of `rank` with rank integer indexes not below 0, each checked
// the way AREF and PRE-AREF check them before they walk.
bool arrayAndIndexes(_cell* a, _cell** idx, long n) {
    if (!isArray(a) || n < 1) return false;
    _cell* rank = a->car.p;
    if (!isInteger(rank) || rank->car.i->value != n) return false;
    if (!a->cdr.p || !isCons(a->cdr.p)) return false;
    for (long k = 0; k < n; k++)
        if (!isInteger(idx[k]) || idx[k]->car.i->value < 0) return false;
    return true;
}

}  // namespace

const ArrayIndex* cfunction::IndexOf(_cell* a) {
    if (!isArray(a)) return nullptr;
    ArrayIndex& e =
        indexCache[((unsigned long)(a - cellArea) * 2654435761UL >> 8) %
                   kIndexSlots];
    if (e.array == a && StillGood(e.stamp, spineChanges)) return &e;
    e.array = nullptr;
    _cell* rank = a->car.p;
    _cell* body = a->cdr.p;
    if (!isInteger(rank) || !isCons(body)) return nullptr;
    long r = rank->car.i->value;
    if (r < 1 || r > 8) return nullptr;
    // Dimensions along the first row of every level.
    long size = 1;
    _cell* row = body->cdr.p;
    for (long k = 0; k < r; k++) {
        long n = row ? properLength(row) : 0;
        if (n < 0) return nullptr;
        e.dims[k] = n;
        if (n > 0 && size > kCellCapacity / n) return nullptr;
        size *= n;
        row = n > 0 ? row->car.p : nullptr;
    }
    if (size > e.capacity) {
        // malloc rather than new: the program needs nothing of the C++
        // runtime library at run time, which keeps its start-up short.
        free(e.cells);
        e.capacity = 0;
        e.cells = (_cell**)malloc((size_t)size * sizeof(_cell*));
        if (!e.cells) return nullptr;
        e.capacity = size;
    }
    e.rank = r;
    e.size = 0;
    markSpine(body, kRowCons);
    if (size > 0 && !collectCells(e, body->cdr.p, 0)) return nullptr;
    e.array = a;
    e.stamp = StampNow(spineChanges);
    return &e;
}

_cell* cfunction::ElementCons(_cell* a, _cell** idx, long rank) {
    if (const ArrayIndex* ix = IndexOf(a)) {
        if (ix->rank != rank) return nullptr;
        long off = 0;
        for (long k = 0; k < rank; k++) {
            long i = idx[k]->car.i->value;
            if (i >= ix->dims[k]) return nullptr;
            off = off * ix->dims[k] + i;
        }
        return ix->cells[off];
    }
    // Not rectangular: the walk of GET-ARRAY-POS, NTH at every level but
    // the last, where the cons itself is the answer.
    _cell* row = stringChars(a);
    for (long k = 0; k < rank - 1; k++) {
        row = nthElement(idx[k]->car.i->value, row);
        if (!row) return nullptr;
    }
    for (long i = idx[rank - 1]->car.i->value; i > 0; i--) {
        if (!isCons(row)) return nullptr;
        row = row->cdr.p;
    }
    return isCons(row) ? row : nullptr;
}

namespace fastpath {

// AREF (array . indexes) and PRE-AREF (value array . indexes): the element
// cons found through the index; the element for AREF, the cons itself for
// PRE-AREF.
FastAnswer arefPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    bool pre = operatorOf(c.op) == OP_F_PREAREF;
    int first = pre ? 2 : 1;
    _cell* a = c.v[first - 1];
    if (!arrayAndIndexes(a, c.v + first, c.n - first))
        return FastAnswer::kDeclined;
    if (pre && sameSymbol(a->cdr.p->car.p, CHARACTER) && !isMoji(c.v[0]))
        return FastAnswer::kDeclined;
    _cell* e = f->ElementCons(a, c.v + first, c.n - first);
    if (!e) return FastAnswer::kDeclined;
    *out = pre ? e : e->car.p;
    return pre ? FastAnswer::kKeepValues : FastAnswer::kValue;
}

bool storeElement(cfunction* f, _cell* array, _cell* indexes, _cell* value) {
    _cell* idx[kMaxArgs];
    long n = 0;
    for (_cell* p = indexes; isCons(p) && n < kMaxArgs; p = p->cdr.p)
        idx[n++] = p->car.p;
    if (isCons(array) || !arrayAndIndexes(array, idx, n) ||
        (sameSymbol(array->cdr.p->car.p, CHARACTER) && !isMoji(value)))
        return false;
    _cell* e = f->ElementCons(array, idx, n);
    if (!e) return false;
    f->SetCar(e, value);   // counts for a hash table's key
    return true;
}

// MAKE-ARRAY of dimensions with :INITIAL-ELEMENT and :ELEMENT-TYPE.
FastAnswer makeArrayPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    _cell** v = c.v;
    int n = c.n;
    // Keyword arguments: each of :INITIAL-ELEMENT and :ELEMENT-TYPE at
    // most once, and no value that FIND could take for a keyword.
    if ((n - 1) % 2 != 0) return FastAnswer::kDeclined;
    _cell* element = nullptr;
    _cell* type = nullptr;
    for (int i = 1; i < n; i += 2) {
        _cell* key = v[i];
        _cell* val = v[i + 1];
        if (sameSymbol(val, f->fastSym.initialElement) ||
            sameSymbol(val, f->fastSym.initialContents) ||
            sameSymbol(val, f->fastSym.elementType))
            return FastAnswer::kDeclined;
        else if (sameSymbol(key, f->fastSym.initialElement) && !element)
            element = val;
        else if (sameSymbol(key, f->fastSym.elementType) && !type)
            type = val;
        else
            return FastAnswer::kDeclined;
    }
    bool character = type && sameSymbol(type, CHARACTER);
    if (element && character && !sameSymbol(element, f->fastSym.nothing) &&
        !isMoji(element))
        return FastAnswer::kDeclined;
    long dims[8];
    long rank = 0;
    _cell* d = v[0];
    if (isInteger(d) && d->car.i->value >= 0) {
        dims[rank++] = d->car.i->value;
    } else if (isCons(d) && properLength(d) > 0 && properLength(d) <= 8) {
        for (; isCons(d); d = d->cdr.p) {
            _cell* x = d->car.p;
            if (!isInteger(x) || x->car.i->value < 0)
                return FastAnswer::kDeclined;
            dims[rank++] = x->car.i->value;
        }
    } else {
        return FastAnswer::kDeclined;
    }
    // The cells the structure takes, level by level. An array that does
    // not fit in the cell area even after a collection fails with the
    // area's message, as filling it cell by cell would.
    long need = 4, rows = 1;
    bool tooLarge = false;
    for (long k = 0; k < rank; k++) {
        if (dims[k] > 0 && rows > kCellCapacity / dims[k]) {
            tooLarge = true;
            break;
        }
        rows *= dims[k];
        need += rows;
    }
    if (!f->RoomForResult(tooLarge ? -1 : need, c.frame, c.count)) {
        *out = nullptr;
        return FastAnswer::kValue;
    }

    if (!element || sameSymbol(element, f->fastSym.nothing)) {
        if (character) {
            element = f->getCell();
            element->type = kCharacterTag;
            element->car.c = 32;
            element->cdr.c = 0;
        } else {
            element = NILCell;
        }
    }
    // Built from the last row backwards; allocation never collects.
    struct Builder {
        cfunction* f;
        long* dims;
        long rank;
        _cell* element;
        _cell* level(long k) {
            _cell* list = NILCell;
            for (long i = 0; i < dims[k]; i++) {
                _cell* cell = f->getCell();
                cell->car.p = k == rank - 1 ? element : level(k + 1);
                cell->cdr.p = list;
                list = cell;
            }
            return list;
        }
    } builder{f, dims, rank, element};
    _cell* body = f->getCell();
    body->car.p = character ? CHARACTER : f->fastSym.all;
    body->cdr.p = builder.level(0);
    _cell* array = f->getCell();
    array->car.p = f->IntToCell(rank);
    array->cdr.p = body;
    array->type = kArrayTag;
    *out = array;
    return FastAnswer::kKeepValues;
}

}  // namespace fastpath
