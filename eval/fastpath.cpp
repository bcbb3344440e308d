// cfunction: C++ paths of prelude functions. The functions stay the DEFUN
// functions of the prelude; a call of one of them is answered here instead
// when nothing a program could see differs:
// - the definitions the answer stands for (the function's own and those of
//   the prelude functions and macros it calls) are still the ones the
//   prelude made; a DEFUN or DEFMACRO of any of those names turns the path
//   off for good, and the ordinary call runs the new definition;
// - the argument forms are a proper list of the function's parameter count
//   (anything else goes to the ordinary call before any form is evaluated,
//   which reports it as before);
// - the argument values are ones for which the definition gives its answer
//   without an error. For any other values the definition itself runs on
//   them, so an error opens the debug loop in its own frame, with its own
//   variables, as before.
// The definition a call runs is the one in place when the call began, also
// when an argument form redefines the function: the C++ answer is that
// definition's answer, and the fallback runs the definition taken first.
//
// This file holds the table of paths (kFastPaths), the dispatcher, and the
// handlers of the list, comparison, SETF and GETHASH paths; the array paths
// are in library/arraypath.cpp, MAPCAR's in eval/mapcarpath.cpp.
#include <cstring>

#include "eval/fastpath.h"
#include "toplevel/symbols.h"

using namespace fastpath;

namespace {

struct FastName {
    const char* name;
    int bitIndex;
    int op;  // 0: a dependency only
};

const FastName kNames[] = {
    {"NOT", B_NOT, OP_F_NOT},
    {"ZEROP", B_ZEROP, OP_F_ZEROP},
    {"<", B_LESS, OP_F_LESS},
    {">", B_GREATER, OP_F_GREATER},
    {"<=", B_LESSEQ, OP_F_LESSEQ},
    {">=", B_GREATEREQ, OP_F_GREATEREQ},
    {"NTH", B_NTH, OP_F_NTH},
    {"FIRST", B_NTHNAMES, OP_F_FIRST},
    {"SECOND", B_NTHNAMES, OP_F_SECOND},
    {"THIRD", B_NTHNAMES, OP_F_THIRD},
    {"FOURTH", B_NTHNAMES, OP_F_FOURTH},
    {"FIFTH", B_NTHNAMES, OP_F_FIFTH},
    {"SIXTH", B_NTHNAMES, OP_F_SIXTH},
    {"SEVENTH", B_NTHNAMES, OP_F_SEVENTH},
    {"EIGHTH", B_NTHNAMES, OP_F_EIGHTH},
    {"NINTH", B_NTHNAMES, OP_F_NINTH},
    {"TENTH", B_NTHNAMES, OP_F_TENTH},
    {"REST", B_NTHNAMES, OP_F_REST},
    {"CAAR", B_CXR, OP_F_CXR},
    {"CADR", B_CXR, OP_F_CXR},
    {"CDAR", B_CXR, OP_F_CXR},
    {"CDDR", B_CXR, OP_F_CXR},
    {"CAAAR", B_CXR, OP_F_CXR},
    {"CAADR", B_CXR, OP_F_CXR},
    {"CADAR", B_CXR, OP_F_CXR},
    {"CADDR", B_CXR, OP_F_CXR},
    {"CDAAR", B_CXR, OP_F_CXR},
    {"CDADR", B_CXR, OP_F_CXR},
    {"CDDAR", B_CXR, OP_F_CXR},
    {"CDDDR", B_CXR, OP_F_CXR},
    {"CAAAAR", B_CXR, OP_F_CXR},
    {"CAAADR", B_CXR, OP_F_CXR},
    {"CAADAR", B_CXR, OP_F_CXR},
    {"CAADDR", B_CXR, OP_F_CXR},
    {"CADAAR", B_CXR, OP_F_CXR},
    {"CADADR", B_CXR, OP_F_CXR},
    {"CADDAR", B_CXR, OP_F_CXR},
    {"CADDDR", B_CXR, OP_F_CXR},
    {"CDAAAR", B_CXR, OP_F_CXR},
    {"CDAADR", B_CXR, OP_F_CXR},
    {"CDADAR", B_CXR, OP_F_CXR},
    {"CDADDR", B_CXR, OP_F_CXR},
    {"CDDAAR", B_CXR, OP_F_CXR},
    {"CDDADR", B_CXR, OP_F_CXR},
    {"CDDDAR", B_CXR, OP_F_CXR},
    {"CDDDDR", B_CXR, OP_F_CXR},
    {"LAST", B_LAST, OP_F_LAST},
    {"REVERSE", B_REVERSE, OP_F_REVERSE},
    {"REVERSE1", B_REVERSE1, 0},
    {"APPEND", B_APPEND, 0},
    {"APPEND1", B_APPEND1, 0},
    {"EQUAL", B_EQUAL, OP_F_EQUAL},
    {"AREF", B_AREF, OP_F_AREF},
    {"GET-ARRAY-POS", B_GETARRAYPOS, 0},
    {"ACCEPT-DIMENSION-ELEMENT-BASE", B_ACCEPTDIMBASE, 0},
    {"PRE-AREF", B_PREAREF, OP_F_PREAREF},
    {"PRE-GET-ARRAY-POS", B_PREGETARRAYPOS, 0},
    {"NTHCDR", B_NTHCDR, 0},
    {"MAKE-ARRAY", B_MAKEARRAY, OP_F_MAKEARRAY},
    {"GET-CONTENTS", B_MAKEARRAYHELPERS, 0},
    {"GET-ELEMENT", B_MAKEARRAYHELPERS, 0},
    {"GET-TYPE", B_MAKEARRAYHELPERS, 0},
    {"FIND", B_MAKEARRAYHELPERS, 0},
    {"CONSN", B_MAKEARRAYHELPERS, 0},
    {"COPY", B_MAKEARRAYHELPERS, 0},
    {"ACCEPT-DIMENSION-ELEMENT", B_MAKEARRAYHELPERS, 0},
    {"MAKE-ARRAY-BASE", B_MAKEARRAYHELPERS, 0},
    {"MEMBER", B_MAKEARRAYHELPERS, 0},
    {"SET-CONTENTS", B_MAKEARRAYHELPERS, 0},
    {"INIT-POS", B_MAKEARRAYHELPERS, 0},
    {"A-CONTENT", B_MAKEARRAYHELPERS, 0},
    {"INC-POS", B_MAKEARRAYHELPERS, 0},
    {"SETF", B_SETF, OP_F_SETF},
    {"FIND-NTH-NAME", B_SETFHELPERS, 0},
    {"FIND-A-NAME", B_SETFHELPERS, 0},
    {"FIND-D-NAME", B_SETFHELPERS, 0},
    {"ASSOC", B_SETFHELPERS, 0},
    {"GETHASH", B_GETHASH, OP_F_GETHASH},
    {"MAPCAR", B_MAPCAR, OP_F_MAPCAR},
    {"SUBSEQ", B_SUBSEQ, OP_F_SUBSEQ},
};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];
static_assert(kNameCount == kFastNameCount,
              "one symbol of cfunction::fastNameSymbols per name");

// The CAR or CDR chain of a C[AD]+R name, applied from its last letter.
// Null when a step meets something other than a cons: CAR and CDR report
// that as an error, which the definition must do.
_cell* walkCxr(const char* name, _cell* x) {
    size_t n = strlen(name);
    for (size_t i = n - 2; i >= 1; i--) {
        if (!isCons(x)) return nullptr;
        x = name[i] == 'A' ? x->car.p : x->cdr.p;
    }
    return x;
}

// The conses along the CDR chain; -1 for a circular one (more conses than
// the area holds), which the definition is left to meet.
long consCount(_cell* p) { return cfunction::tlength(p, kCellCapacity); }

// The argument forms as a proper list of min..max forms: their number, or
// -1.
int formCount(_cell* args, int min, int max) {
    bool proper;
    long n = cfunction::tlength(args, max, &proper);
    return n >= min && proper ? (int)n : -1;
}

// The n argument forms of args evaluated left to right into v, each value
// pushed on g as it arrives. False when a form yields no value (reported,
// exit).
[[gnu::always_inline]] inline bool evalArguments(cfunction* f, CellGroup& g,
                                                 _cell* args, int n, _cell** v,
                                                 _symval* frame, long count) {
    for (int i = 0; i < n; i++, args = args->cdr.p) {
        v[i] = f->evalArg(args->car.p, frame, count);
        if (!v[i]) return false;
        g.push(v[i]);
    }
    return true;
}

// A fresh list of the elements of list in reverse order. Allocates only.
_cell* reversedCopy(cmemory* m, _cell* list) {
    _cell* r = NILCell;
    for (; isCons(list); list = list->cdr.p) {
        _cell* c = m->getCell();
        c->car.p = list->car.p;
        c->cdr.p = r;
        r = c;
    }
    return r;
}

// EQUAL of the prelude, without its recursion along the CDR chain. 1 equal,
// 0 not, -1 nested deeper along CARs than this path follows.
int equalValues(cfunction* f, _cell* x, _cell* y, int depth) {
    for (long steps = 0;; steps++) {
        if (steps > kCellCapacity) return -1;
        if (x == y) return 1;  // the same object, however deep or circular
        if (!isCons(x)) {
            if (isNil(f->teql(x, y)) == false) return 1;
            if (isString(x) && isString(y))
                return isNil(f->StringEqual(x, y)) ? 0 : 1;
            return 0;
        }
        if (!isCons(y)) return 0;
        if (depth > 10000) return -1;
        int e = equalValues(f, x->car.p, y->car.p, depth + 1);
        if (e <= 0) return e;
        x = x->cdr.p;
        y = y->cdr.p;
    }
}

// ---------------------------------------------------------------------------
// Handlers of the functions of one or two fixed parameters. Their answers
// are handed on as the definition's last form hands them, except where the
// definition ends in CAR or CDR, which drop a multiple-value mark.
// ---------------------------------------------------------------------------

inline FastAnswer answer(_cell** out, _cell* x, FastAnswer how) {
    *out = x;
    return how;
}

inline FastAnswer truth(_cell** out, bool b) {
    return answer(out, b ? TCell : NILCell, FastAnswer::kKeepValues);
}

FastAnswer notPath(cfunction*, const FastCallArgs& c, _cell** out) {
    return truth(out, isNil(c.v[0]));
}

FastAnswer zeropPath(cfunction*, const FastCallArgs& c, _cell** out) {
    _cell* x = c.v[0];
    if (!isInteger(x)) return FastAnswer::kDeclined;
    return truth(out, x->car.i->value == 0);
}

// Two integers: the order COMPARE$ gives them. Other operands go to the
// definition.
FastAnswer comparePath(cfunction*, const FastCallArgs& c, _cell** out) {
    _cell* x = c.v[0];
    _cell* y = c.v[1];
    if (!isInteger(x) || !isInteger(y)) return FastAnswer::kDeclined;
    long a = x->car.i->value, b = y->car.i->value;
    switch (operatorOf(c.op)) {
        case OP_F_LESS: return truth(out, a < b);
        case OP_F_GREATER: return truth(out, a > b);
        case OP_F_LESSEQ: return truth(out, a <= b);
        default: return truth(out, a >= b);
    }
}

FastAnswer nthPath(cfunction*, const FastCallArgs& c, _cell** out) {
    _cell* x = c.v[0];
    if (!isInteger(x) || x->car.i->value < 0) return FastAnswer::kDeclined;
    _cell* e = nthElement(x->car.i->value, c.v[1]);
    return e ? answer(out, e, FastAnswer::kValue) : FastAnswer::kDeclined;
}

// FIRST and REST; SECOND .. TENTH, which call NTH.
FastAnswer nthNamePath(cfunction*, const FastCallArgs& c, _cell** out) {
    _cell* x = c.v[0];
    long k = operatorOf(c.op);
    if (k == OP_F_FIRST || k == OP_F_REST) {
        if (!isCons(x)) return FastAnswer::kDeclined;
        return answer(out, k == OP_F_FIRST ? x->car.p : x->cdr.p,
                      FastAnswer::kValue);
    }
    _cell* e = nthElement(k - OP_F_FIRST, x);
    return e ? answer(out, e, FastAnswer::kValue) : FastAnswer::kDeclined;
}

FastAnswer cxrPath(cfunction*, const FastCallArgs& c, _cell** out) {
    _cell* e = walkCxr(c.op->car.s, c.v[0]);
    return e ? answer(out, e, FastAnswer::kValue) : FastAnswer::kDeclined;
}

FastAnswer lastPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    return answer(out, f->LastCell(c.v[0]), FastAnswer::kKeepValues);
}

FastAnswer reversePath(cfunction* f, const FastCallArgs& c, _cell** out) {
    _cell* x = c.v[0];
    if (isString(x)) {
        _cell* chars = stringChars(x);
        long n = consCount(chars);
        if (n < 0 || !f->isAllMoji(chars)) return FastAnswer::kDeclined;
        if (!f->RoomForResult(n + 3, c.frame, c.count))
            return answer(out, nullptr, FastAnswer::kValue);
        return answer(out, f->MakeMojiretsu(reversedCopy(f, chars)),
                      FastAnswer::kKeepValues);
    }
    if (!isCons(x)) return answer(out, x, FastAnswer::kKeepValues);
    long n = consCount(x);
    if (n < 0) return FastAnswer::kDeclined;
    // Without room for the copy the definition, which reverses by
    // appending, would fill the area after as many collections as the list
    // has elements: the step fails at once, with the same message.
    if (!f->RoomForResult(n, c.frame, c.count))
        return answer(out, nullptr, FastAnswer::kValue);
    return answer(out, reversedCopy(f, x), FastAnswer::kKeepValues);
}

// SUBSEQ of a proper list from an index to an index no further than its
// end: a copy of that stretch, where the definition takes each element
// with NTH, in time that grows with the square of the length. A string,
// an end past the list (which the definition pads with NIL) or an index
// that is no integer is left to the definition. An end of NIL is the end
// of the list, as when it is left out.
FastAnswer subseqPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    _cell* x = c.v[0];
    if (!isCons(x) || !isInteger(c.v[1])) return FastAnswer::kDeclined;
    bool proper = false;
    long n = cfunction::tlength(x, kCellCapacity, &proper);
    if (!proper) return FastAnswer::kDeclined;
    long start = CellToInt(c.v[1]);
    long end = n;
    if (c.n == 3 && !isNil(c.v[2])) {
        if (!isInteger(c.v[2])) return FastAnswer::kDeclined;
        end = CellToInt(c.v[2]);
    }
    if (start < 0 || end > n) return FastAnswer::kDeclined;
    if (start >= end) return answer(out, NILCell, FastAnswer::kValue);
    if (!f->RoomForResult(end - start, c.frame, c.count))
        return answer(out, nullptr, FastAnswer::kValue);
    for (long i = 0; i < start; i++) x = x->cdr.p;
    ListBuilder copy(f);
    for (long i = start; i < end; i++, x = x->cdr.p) copy.add(x->car.p);
    return answer(out, copy.finish(NILCell), FastAnswer::kValue);
}

FastAnswer equalPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    int e = equalValues(f, c.v[0], c.v[1], 0);
    return e >= 0 ? truth(out, e) : FastAnswer::kDeclined;
}

// ---------------------------------------------------------------------------
// SETF of a variable, of CAR, CDR or REST of a form, and of AREF. The
// expansion the macro would make is evaluated without being made: the
// forms are evaluated, from a copy as the expansion is a copy, in the
// order and frame the expansion evaluates them; when the change cannot be
// made without an error, the expansion is made and evaluated on the
// values, so the error is reported where it is today.
// ---------------------------------------------------------------------------

FastAnswer setfPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    _cell* args = c.forms;
    _cell* place = args->car.p;
    enum { kVariable, kCar, kCdr, kAref } kind;
    if (isSymbol(place)) {
        kind = kVariable;
    } else if (!isCons(place)) {
        return FastAnswer::kDeclined;
    } else if ((place->car.p == CAR || place->car.p == CDR ||
                place->car.p == f->fastSym.rest) &&
               formCount(place->cdr.p, 1, 1) == 1) {
        kind = place->car.p == CAR ? kCar : kCdr;
    } else if (place->car.p == f->fastSym.aref &&
               formCount(place->cdr.p, 1, kMaxArgs) > 0) {
        if ((f->fastIntact & kPreArefNeeds) != kPreArefNeeds)
            return FastAnswer::kDeclined;
        kind = kAref;
    } else if (f->IsGethashPlace(place)) {  // library/hashindex.cpp
        int keep = 0;
        *out = f->SetfGethash(args, c.frame, c.count, &keep);
        return keep ? FastAnswer::kKeepValues : FastAnswer::kValue;
    } else {
        return FastAnswer::kDeclined;
    }
    *out = nullptr;

    CellGroup g(f);
    _cell* copy = f->Copy(args);
    if (!copy) return FastAnswer::kKeepValues;
    g.push(copy);
    if (kind == kVariable) {
        *out = f->setq(copy, c.frame, c.count);
        return FastAnswer::kValue;
    }
    _cell* forms = copy->car.p->cdr.p;  // the place's argument forms
    _cell* vals[3];
    _cell* target = f->eval(forms->car.p, c.frame, c.count);
    if (!target) return FastAnswer::kKeepValues;
    g.push(target);
    vals[0] = target;
    _cell* indexes = nullptr;
    if (kind == kAref) {
        // (LIST ,@indexes) as one evaluation step, like the expansion.
        _cell* listForm = g.push(f->getCell());
        listForm->car.p = LIST;
        listForm->cdr.p = forms->cdr.p;
        indexes = f->eval(listForm, c.frame, c.count);
        if (!indexes) return FastAnswer::kKeepValues;
        g.push(indexes);
        vals[1] = indexes;
    }
    _cell* value = f->eval(copy->cdr.p->car.p, c.frame, c.count);
    if (!value) return FastAnswer::kKeepValues;
    g.push(value);
    int nvals = kind == kAref ? 3 : 2;
    vals[nvals - 1] = value;

    if (kind == kCar || kind == kCdr) {
        if (isCons(target)) {
            if (kind == kCar)
                f->SetCar(target, value);
            else
                f->SetCdr(target, value);
            return answer(out, value, FastAnswer::kKeepValues);
        }
    } else if (storeElement(f, target, indexes, value)) {
        return answer(out, value, FastAnswer::kKeepValues);
    }
    // The expansion, with the values in place of the forms it evaluates.
    _cell* expansion = f->MacroExec2(args, c.record, c.frame, c.count);
    if (!expansion) return FastAnswer::kKeepValues;
    g.push(expansion);
    _cell* quoted = f->QuoteEach(vals, nvals, NILCell);
    if (!isCons(expansion) || !isCons(expansion->cdr.p))
        return FastAnswer::kKeepValues;
    expansion->cdr.p->cdr.p = quoted;
    return answer(out, f->eval(expansion, c.frame, c.count),
                  FastAnswer::kKeepValues);
}

// ---------------------------------------------------------------------------
// GETHASH: a hash table is (HASH-TABLE test (key . value) ...), and the
// definition walks the entries, calling the test on the key and each
// entry's key. Here the walk runs in C++ when the test is EQ or EQL, still
// the built-ins (no DEFUN of the name), or the prelude's EQUAL. Anything
// the definition would report (no hash table, an entry that is no cons, a
// circular list, a structure too deep for EQUAL's path) goes to it.
// ---------------------------------------------------------------------------

FastAnswer gethashPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    _cell* key = c.v[0];
    _cell* table = c.v[1];
    enum { kNone, kEq, kEql, kEqual } test = kNone;
    const FastSymbols& sym = f->fastSym;
    if (isCons(table) && sameSymbol(table->car.p, sym.hashTable) &&
        isCons(table->cdr.p)) {
        _cell* t = table->cdr.p->car.p;
        if (sameSymbol(t, sym.eql) && !f->getFuncval2(sym.eql))
            test = kEql;
        else if (sameSymbol(t, sym.eq) && !f->getFuncval2(sym.eq))
            test = kEq;
        else if (sameSymbol(t, sym.equal) && (f->fastIntact & bit(B_EQUAL)))
            test = kEqual;
    }
    if (test == kNone) return FastAnswer::kDeclined;
    if (int known = f->HashTestOf(table)) {  // library/hashindex.cpp
        _cell* e = nullptr;
        int found = f->HashFind(table, key, known, &e);
        if (found > 0) {
            _cell* values = ListOfTwo(f, e->cdr.p, TCell);
            return answer(out, f->MakeValues(e->cdr.p, values),
                          FastAnswer::kKeepValues);
        }
        if (found == 0)
            return answer(
                out, f->MakeValues(NILCell, ListOfTwo(f, NILCell, NILCell)),
                FastAnswer::kKeepValues);
    }
    long steps = 0;
    _cell* l = table->cdr.p->cdr.p;
    for (; isCons(l); l = l->cdr.p) {
        _cell* e = l->car.p;
        if (++steps > kCellCapacity || !isCons(e)) break;
        int hit = test == kEql  ? !isNil(f->teql(key, e->car.p))
                  : test == kEq ? !isNil(f->teq(key, e->car.p))
                                : equalValues(f, key, e->car.p, 0);
        if (hit < 0) break;
        // (values (cdr e) t), as the definition returns it.
        if (hit) {
            _cell* values = ListOfTwo(f, e->cdr.p, TCell);
            return answer(out, f->MakeValues(e->cdr.p, values),
                          FastAnswer::kKeepValues);
        }
    }
    if (isCons(l)) return FastAnswer::kDeclined;
    return answer(out, f->MakeValues(NILCell, ListOfTwo(f, NILCell, NILCell)),
                  FastAnswer::kKeepValues);
}

// ---------------------------------------------------------------------------
// The table: one row per OP_F_ number, in that order.
// ---------------------------------------------------------------------------

struct FastRow {
    FastPath path;
    // When not null, the one definition the path stands for (MAPCAR's, as
    // its shape was taken from it).
    const _cell* cfunction::*definition;
};

#define ROW(name, op, lo, hi, needs, kind, handler) \
    { {name, op, lo, hi, needs, kind, handler}, nullptr }
constexpr FastRow kFastPaths[] = {
    ROW("NOT", OP_F_NOT, 1, 1, bit(B_NOT), 'f', notPath),
    ROW("ZEROP", OP_F_ZEROP, 1, 1, bit(B_ZEROP), 'f', zeropPath),
    ROW("<", OP_F_LESS, 2, 2, bit(B_LESS), 'f', comparePath),
    ROW(">", OP_F_GREATER, 2, 2, bit(B_GREATER), 'f', comparePath),
    ROW("<=", OP_F_LESSEQ, 2, 2, bit(B_LESSEQ), 'f', comparePath),
    ROW(">=", OP_F_GREATEREQ, 2, 2, bit(B_GREATEREQ), 'f', comparePath),
    ROW("NTH", OP_F_NTH, 2, 2, bit(B_NTH), 'f', nthPath),
    ROW("FIRST", OP_F_FIRST, 1, 1, bit(B_NTHNAMES), 'f', nthNamePath),
#define NTHNAME(name, op) \
    ROW(name, op, 1, 1, bit(B_NTHNAMES) | bit(B_NTH), 'f', nthNamePath)
    NTHNAME("SECOND", OP_F_SECOND),
    NTHNAME("THIRD", OP_F_THIRD),
    NTHNAME("FOURTH", OP_F_FOURTH),
    NTHNAME("FIFTH", OP_F_FIFTH),
    NTHNAME("SIXTH", OP_F_SIXTH),
    NTHNAME("SEVENTH", OP_F_SEVENTH),
    NTHNAME("EIGHTH", OP_F_EIGHTH),
    NTHNAME("NINTH", OP_F_NINTH),
    NTHNAME("TENTH", OP_F_TENTH),
#undef NTHNAME
    ROW("REST", OP_F_REST, 1, 1, bit(B_NTHNAMES), 'f', nthNamePath),
    ROW("CADR", OP_F_CXR, 1, 1, bit(B_CXR), 'f', cxrPath),
    ROW("LAST", OP_F_LAST, 1, 1, bit(B_LAST), 'f', lastPath),
    ROW("REVERSE", OP_F_REVERSE, 1, 1, kReverseNeeds, 'f', reversePath),
    ROW("EQUAL", OP_F_EQUAL, 2, 2, bit(B_EQUAL), 'f', equalPath),
    ROW("AREF", OP_F_AREF, 1, kMaxArgs, kArefNeeds, 'f', arefPath),
    ROW("PRE-AREF", OP_F_PREAREF, 2, kMaxArgs, kPreArefNeeds, 'f', arefPath),
    ROW("MAKE-ARRAY", OP_F_MAKEARRAY, 1, kMaxArgs, kMakeArrayNeeds, 'f',
        makeArrayPath),
    ROW("SETF", OP_F_SETF, 2, 2, kSetfNeeds, 'm', setfPath),
    ROW("GETHASH", OP_F_GETHASH, 2, 2, bit(B_GETHASH), 'f', gethashPath),
    {{"MAPCAR", OP_F_MAPCAR, 2, 2, bit(B_MAPCAR), 'f', mapcarPath},
     &cfunction::mapcarDef},
    ROW("SUBSEQ", OP_F_SUBSEQ, 2, 3, bit(B_SUBSEQ) | bit(B_LESS) | bit(B_NTH),
        'f', subseqPath),
};
#undef ROW
constexpr int kPathCount = sizeof kFastPaths / sizeof kFastPaths[0];
static_assert(kPathCount == OP_COUNT - OP_F_NOT,
              "one row of kFastPaths per OP_F_ number");

constexpr bool rowsInOrder(int i) {
    return i == kPathCount ||
           (kFastPaths[i].path.op == OP_F_NOT + i && rowsInOrder(i + 1));
}
static_assert(rowsInOrder(0), "the rows of kFastPaths in OP_F_ order");

}  // namespace

void cfunction::InitFastPaths() {
    fastIntact = 0;
    for (int i = 0; i < kNameCount; i++) {
        _cell* s = CheckStringCell(kNames[i].name);
        fastNameSymbols[i] = s;
        if (!s || !getFuncval2(s)) continue;
        fastIntact |= bit(kNames[i].bitIndex);
        if (kNames[i].op) setOperatorOf(s, kNames[i].op);
    }
    fastSym.rest = CheckStringCell("REST");
    fastSym.hashTable = getStringCell("HASH-TABLE");
    fastSym.eq = getStringCell("EQ");
    fastSym.eql = getStringCell("EQL");
    fastSym.equal = getStringCell("EQUAL");
    fastSym.aref = CheckStringCell("AREF");
    fastSym.all = getStringCell("ALL");
    fastSym.nothing = getStringCell("NOTHING?");
    fastSym.initialElement = getStringCell(":INITIAL-ELEMENT");
    fastSym.initialContents = getStringCell(":INITIAL-CONTENTS");
    fastSym.elementType = getStringCell(":ELEMENT-TYPE");
    _cell* mapcar = CheckStringCell("MAPCAR");
    _symval* mapcarRecord = mapcar ? getFuncval2(mapcar) : nullptr;
    if (!mapcarRecord || mapcarRecord->kind != kFunctionRecord ||
        !takeMapcarShape(this, mapcarRecord->value))
        fastIntact &= ~bit(B_MAPCAR);
    // A name the prelude did not define leaves its bit off.
    for (int i = 0; i < kNameCount; i++)
        if (!fastNameSymbols[i] || !getFuncval2(fastNameSymbols[i]))
            fastIntact &= ~bit(kNames[i].bitIndex);
}

void cfunction::NoteRedefinition(_cell* s) {
    if (!fastIntact) return;
    for (int i = 0; i < kNameCount; i++)
        if (fastNameSymbols[i] == s) fastIntact &= ~bit(kNames[i].bitIndex);
}

// Out of line: it is the rare end of a path, and would widen the C++ frame
// of every path it was built into.
[[gnu::noinline]] _cell* cfunction::CallDefValues(_cell* def, _cell** values,
                                                  long n, _symval* frame,
                                                  long count) {
    CellGroup g(this);
    _cell* forms = g.push(QuoteEach(values, n, NILCell));
    return CallDef(def, forms, frame, count);
}

namespace {

// The dispatcher for row I of the table: the opening (the bits, the
// definition, the form count), the arguments evaluated, the handler, and
// the fallback. One instance per row, so that the row's counts and handler
// are constants there and the handler is built in: a path runs in a C++
// frame of its own size, which matters because the paths lie on every
// recursion through their arguments, (NOT (F ...)) at every level.
template <int I>
_cell* runRow(cfunction* f, _cell* op, _cell* args, _symval* frame, long count,
              int* keepValues, bool* declined) {
    constexpr FastRow row = kFastPaths[I];
    constexpr FastPath p = row.path;
    *declined = true;
    _symval* record = intactRecord(f, p.needs, op, p.kind);
    if (!record || (row.definition && record->value != f->*row.definition))
        return nullptr;
    int n = formCount(args, p.minArgs, p.maxArgs);
    if (n < 0) return nullptr;

    // The form, and so `args`, is kept reachable by the caller.
    CellGroup g(f);
    _cell* def = g.push(record->value);
    _cell* v[p.maxArgs];
    FastCallArgs call{op, args, nullptr, n, record, frame, count};
    _cell* r = nullptr;
    if (p.kind == kFunctionRecord) {
        *declined = false;
        if (!evalArguments(f, g, args, n, v, frame, count)) return nullptr;
        call.v = v;
    }
    switch (p.handler(f, call, &r)) {
        case FastAnswer::kValue:
            *declined = false;
            *keepValues = 0;
            return r;
        case FastAnswer::kKeepValues:
            *declined = false;
            *keepValues = cfunction::kKeepValues;
            return r;
        case FastAnswer::kDeclined: break;
    }
    // Nothing evaluated: the macro runs.
    if (p.kind != kFunctionRecord) return nullptr;
    // As a call of the definition hands its values on.
    *keepValues = cfunction::kKeepValues;
    return f->CallDefValues(def, v, n, frame, count);
}

using RowRunner = _cell* (*)(cfunction*, _cell*, _cell*, _symval*, long, int*,
                             bool*);

template <int... I>
struct Runners {
    static constexpr RowRunner table[] = {&runRow<I>...};
};

template <int N, int... I>
struct MakeRunners : MakeRunners<N - 1, N - 1, I...> {};
template <int... I>
struct MakeRunners<0, I...> {
    using type = Runners<I...>;
};

// runRow of every row, by op - OP_F_NOT.
using AllRunners = MakeRunners<kPathCount>::type;

}  // namespace

_cell* cfunction::FastCall(_cell* op, _cell* args, _symval* frame, long count,
                           int* keepValues, bool* declined) {
    return AllRunners::table[operatorOf(op) - OP_F_NOT](
        this, op, args, frame, count, keepValues, declined);
}

const FastPath* fastpath::pathOf(int op) {
    if (op < OP_F_NOT || op >= OP_COUNT) return nullptr;
    return &kFastPaths[op - OP_F_NOT].path;
}

// The order SORT$ may sort by in C++: 1 when test names the prelude's <
// still in place, -1 for its >, 0 for anything else, which the Lisp merge
// then calls.
int cfunction::IntactOrder(_cell* test) {
    if (!isSymbol(test)) return 0;
    for (int i = 0; i < kNameCount; i++) {
        if (fastNameSymbols[i] != test) continue;
        int b = kNames[i].bitIndex;
        if ((b != B_LESS && b != B_GREATER) ||
            !intactRecord(this, bit(b), test, 'f'))
            return 0;
        return b == B_LESS ? 1 : -1;
    }
    return 0;
}
