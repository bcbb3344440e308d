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
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// One bit per prelude name a C++ path depends on.
enum {
    B_NOT, B_ZEROP, B_LESS, B_GREATER, B_LESSEQ, B_GREATEREQ, B_NTH,
    B_NTHNAMES, B_CXR, B_LAST, B_REVERSE, B_REVERSE1, B_APPEND, B_APPEND1,
    B_EQUAL,
};

constexpr unsigned long bit(int b) { return 1UL << b; }

struct FastName {
    const char* name;
    int bitIndex;
    int op;         // 0: a dependency only
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
    {"CAAR", B_CXR, OP_F_CXR}, {"CADR", B_CXR, OP_F_CXR},
    {"CDAR", B_CXR, OP_F_CXR}, {"CDDR", B_CXR, OP_F_CXR},
    {"CAAAR", B_CXR, OP_F_CXR}, {"CAADR", B_CXR, OP_F_CXR},
    {"CADAR", B_CXR, OP_F_CXR}, {"CADDR", B_CXR, OP_F_CXR},
    {"CDAAR", B_CXR, OP_F_CXR}, {"CDADR", B_CXR, OP_F_CXR},
    {"CDDAR", B_CXR, OP_F_CXR}, {"CDDDR", B_CXR, OP_F_CXR},
    {"CAAAAR", B_CXR, OP_F_CXR}, {"CAAADR", B_CXR, OP_F_CXR},
    {"CAADAR", B_CXR, OP_F_CXR}, {"CAADDR", B_CXR, OP_F_CXR},
    {"CADAAR", B_CXR, OP_F_CXR}, {"CADADR", B_CXR, OP_F_CXR},
    {"CADDAR", B_CXR, OP_F_CXR}, {"CADDDR", B_CXR, OP_F_CXR},
    {"CDAAAR", B_CXR, OP_F_CXR}, {"CDAADR", B_CXR, OP_F_CXR},
    {"CDADAR", B_CXR, OP_F_CXR}, {"CDADDR", B_CXR, OP_F_CXR},
    {"CDDAAR", B_CXR, OP_F_CXR}, {"CDDADR", B_CXR, OP_F_CXR},
    {"CDDDAR", B_CXR, OP_F_CXR}, {"CDDDDR", B_CXR, OP_F_CXR},
    {"LAST", B_LAST, OP_F_LAST},
    {"REVERSE", B_REVERSE, OP_F_REVERSE},
    {"REVERSE1", B_REVERSE1, 0},
    {"APPEND", B_APPEND, 0},
    {"APPEND1", B_APPEND1, 0},
    {"EQUAL", B_EQUAL, OP_F_EQUAL},
};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];

// The names of the table, interned by InitFastPaths.
_cell* nameSymbols[kNameCount];

struct FastOp {
    int arity;
    unsigned long needs;    // bits that must all be intact
};

FastOp fastOp(int op) {
    switch (op) {
    case OP_F_NOT: return {1, bit(B_NOT)};
    case OP_F_ZEROP: return {1, bit(B_ZEROP)};
    case OP_F_LESS: return {2, bit(B_LESS)};
    // > and <= call ZEROP
    case OP_F_GREATER: return {2, bit(B_GREATER) | bit(B_ZEROP)};
    case OP_F_LESSEQ: return {2, bit(B_LESSEQ) | bit(B_ZEROP)};
    case OP_F_GREATEREQ: return {2, bit(B_GREATEREQ)};
    case OP_F_NTH: return {2, bit(B_NTH)};
    case OP_F_FIRST:
    case OP_F_REST: return {1, bit(B_NTHNAMES)};
    case OP_F_CXR: return {1, bit(B_CXR)};
    case OP_F_LAST: return {1, bit(B_LAST)};
    case OP_F_REVERSE:
        return {1, bit(B_REVERSE) | bit(B_REVERSE1) | bit(B_APPEND) |
                       bit(B_APPEND1)};
    case OP_F_EQUAL: return {2, bit(B_EQUAL)};
    default:    // SECOND .. TENTH call NTH
        return {1, bit(B_NTHNAMES) | bit(B_NTH)};
    }
}

inline bool isCons(const _cell* c) { return c->type == 'l'; }

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

// The NTHCDR-like walk of NTH: null when a CDR or the final CAR would meet
// something other than a cons.
_cell* nthElement(long n, _cell* list) {
    for (; n > 0; n--) {
        if (!isCons(list)) return nullptr;
        list = list->cdr.p;
    }
    return isCons(list) ? list->car.p : nullptr;
}

}  // namespace

void cfunction::InitFastPaths() {
    fastIntact = 0;
    for (int i = 0; i < kNameCount; i++) {
        _cell* sym = CheckStringCell(kNames[i].name);
        _symval* record = sym ? getFuncval2(sym) : nullptr;
        nameSymbols[i] = sym;
        if (!record) continue;
        fastIntact |= bit(kNames[i].bitIndex);
        if (kNames[i].op) sym->closureCount = kNames[i].op;
    }
    // A name the prelude did not define leaves its bit off.
    for (int i = 0; i < kNameCount; i++) {
        _symval* record = nameSymbols[i] ? getFuncval2(nameSymbols[i])
                                         : nullptr;
        if (!record) fastIntact &= ~bit(kNames[i].bitIndex);
    }
}

void cfunction::NoteRedefinition(_cell* sym) {
    if (!fastIntact) return;
    for (int i = 0; i < kNameCount; i++)
        if (nameSymbols[i] == sym) fastIntact &= ~bit(kNames[i].bitIndex);
}

_cell* cfunction::CallDefValues(_cell* def, _cell** values, long n,
                                _symval* frame, long count) {
    CellGroup g(this);
    _cell* forms = NILCell;
    for (long i = n - 1; i >= 0; i--) {
        _cell* quoted = getCell();
        quoted->car.p = QUOTE;
        quoted->cdr.p = getCell();
        quoted->cdr.p->car.p = values[i];
        _cell* cell = getCell();
        cell->car.p = quoted;
        cell->cdr.p = forms;
        forms = cell;
    }
    g.push(forms);
    return CallDef(def, forms, frame, count);
}

namespace {

// EQUAL of the prelude, without its recursion along the CDR chain. 1 equal,
// 0 not, -1 nested deeper along CARs than this path follows.
int equalValues(cfunction* f, _cell* x, _cell* y, int depth) {
    for (;;) {
        if (!isCons(x)) {
            if (isNil(f->teql(x, y)) == false) return 1;
            if (f->isString(x) && f->isString(y))
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

}  // namespace

_cell* cfunction::FastCall(_cell* op, _cell* args, _symval* frame,
                           long count, int* keepValues, bool* declined) {
    int k = (int)op->closureCount;
    FastOp desc = fastOp(k);
    *declined = true;
    if ((fastIntact & desc.needs) != desc.needs) return nullptr;
    _symval* record = getFuncval2(op);
    if (!record || record->kind != 'f') return nullptr;
    _cell* p = args;
    for (int i = 0; i < desc.arity; i++) {
        if (!isCons(p)) return nullptr;
        p = p->cdr.p;
    }
    if (p != NILCell) return nullptr;
    *declined = false;

    CellGroup g(this);
    _cell* def = g.push(record->value);
    g.push(args);
    _cell* v[2] = {nullptr, nullptr};
    p = args;
    for (int i = 0; i < desc.arity; i++, p = p->cdr.p) {
        v[i] = eval(p->car.p, frame, count);
        if (!v[i]) return nullptr;
        g.push(v[i]);
    }
    _cell* x = v[0];
    _cell* y = v[1];
    // Results handed on as the definition's last form hands them: CAR and
    // CDR clear a multiple-value mark, a variable's value keeps it.
    *keepValues = 1;
    switch (k) {
    case OP_F_NOT:
        return isNil(x) ? TCell : NILCell;
    case OP_F_ZEROP:
        if (x->type == 'i') return x->car.i->value == 0 ? TCell : NILCell;
        break;
    case OP_F_LESS:
    case OP_F_GREATER:
    case OP_F_LESSEQ:
    case OP_F_GREATEREQ:
        // On integers the definitions give the true order, the sign of x
        // deciding where the difference wraps.
        if (x->type == 'i' && y->type == 'i') {
            long a = x->car.i->value, b = y->car.i->value;
            bool r = k == OP_F_LESS      ? a < b
                     : k == OP_F_GREATER ? a > b
                     : k == OP_F_LESSEQ  ? a <= b
                                         : a >= b;
            return r ? TCell : NILCell;
        }
        break;
    case OP_F_NTH:
        if (x->type == 'i' && x->car.i->value >= 0) {
            _cell* e = nthElement(x->car.i->value, y);
            if (e) {
                *keepValues = 0;
                return e;
            }
        }
        break;
    case OP_F_FIRST:
    case OP_F_REST:
        if (isCons(x)) {
            *keepValues = 0;
            return k == OP_F_FIRST ? x->car.p : x->cdr.p;
        }
        break;
    case OP_F_CXR: {
        _cell* e = walkCxr(op->car.s, x);
        if (e) {
            *keepValues = 0;
            return e;
        }
        break;
    }
    case OP_F_LAST:
        return LastCell(x);
    case OP_F_REVERSE: {
        if (isString(x)) {
            _cell* chars = x->cdr.p->cdr.p;
            if (!isAllMoji(chars)) break;
            _cell* r = NILCell;
            for (; isCons(chars); chars = chars->cdr.p) {
                _cell* c = getCell();
                c->car.p = chars->car.p;
                c->cdr.p = r;
                r = c;
            }
            return MakeMojiretsu(r);
        }
        if (!isCons(x)) return x;
        _cell* r = NILCell;
        for (; isCons(x); x = x->cdr.p) {
            _cell* c = getCell();
            c->car.p = x->car.p;
            c->cdr.p = r;
            r = c;
        }
        return r;
    }
    case OP_F_EQUAL: {
        int e = equalValues(this, x, y, 0);
        if (e >= 0) return e ? TCell : NILCell;
        break;
    }
    default:    // SECOND .. TENTH
        if (k >= OP_F_SECOND && k <= OP_F_TENTH) {
            _cell* e = nthElement(k - OP_F_FIRST, x);
            if (e) {
                *keepValues = 0;
                return e;
            }
        }
        break;
    }
    return CallDefValues(def, v, desc.arity, frame, count);
}
