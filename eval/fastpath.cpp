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
#include <cstdlib>
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// One bit per prelude name a C++ path depends on.
enum {
    B_NOT, B_ZEROP, B_LESS, B_GREATER, B_LESSEQ, B_GREATEREQ, B_NTH,
    B_NTHNAMES, B_CXR, B_LAST, B_REVERSE, B_REVERSE1, B_APPEND, B_APPEND1,
    B_EQUAL, B_AREF, B_GETARRAYPOS, B_ACCEPTDIMBASE, B_PREAREF,
    B_PREGETARRAYPOS, B_NTHCDR, B_MAKEARRAY, B_MAKEARRAYHELPERS, B_SETF,
    B_SETFHELPERS, B_GETHASH, B_MAPCAR,
};

constexpr unsigned long long bit(int b) { return 1ULL << b; }

// What the array paths stand for.
constexpr unsigned long long kArefNeeds =
    bit(B_AREF) | bit(B_GETARRAYPOS) | bit(B_ACCEPTDIMBASE) | bit(B_NTH);
constexpr unsigned long long kPreArefNeeds =
    bit(B_PREAREF) | bit(B_PREGETARRAYPOS) | bit(B_ACCEPTDIMBASE) |
    bit(B_NTH) | bit(B_NTHCDR) | bit(B_GREATER) | bit(B_ZEROP);
constexpr unsigned long long kSetfNeeds = bit(B_SETF) | bit(B_SETFHELPERS);
constexpr unsigned long long kReverseNeeds =
    bit(B_REVERSE) | bit(B_REVERSE1) | bit(B_APPEND) | bit(B_APPEND1);
// MAKE-ARRAY fills its array through SETF of AREF, and walks positions
// with REVERSE, NTH, < and ZEROP.
constexpr unsigned long long kMakeArrayNeeds =
    bit(B_MAKEARRAY) | bit(B_MAKEARRAYHELPERS) | kReverseNeeds | bit(B_NTH) |
    bit(B_LESS) | bit(B_ZEROP) | kSetfNeeds | kPreArefNeeds;

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
};
constexpr int kNameCount = sizeof kNames / sizeof kNames[0];

// Whether `c` is the form the text writes: symbols by name, NIL as NIL.
// Answers the text after the form, or null when c differs.
const char* matchForm(_cell* c, const char* text) {
    while (*text == ' ') text++;
    if (*text == '(') {
        text++;
        for (;;) {
            while (*text == ' ') text++;
            if (*text == ')') return isNil(c) ? text + 1 : nullptr;
            if (!isCons(c)) return nullptr;
            text = matchForm(c->car.p, text);
            if (!text) return nullptr;
            c = c->cdr.p;
        }
    }
    size_t n = strcspn(text, " ()");
    if (n == 3 && strncmp(text, "NIL", 3) == 0)
        return isNil(c) ? text + n : nullptr;
    if (!isSymbol(c) || strlen(c->car.s) != n || strncmp(c->car.s, text, n))
        return nullptr;
    return text + n;
}

// MAPCAR with one list is answered in C++ from its definition, which must
// be the prelude's, form for form: the path keeps that definition's frame
// (its PROG** frame: R TL L, then FUNC A B and the record behind the &REST
// parameter) with the values the definition's statements give it, and
// reads them back from the frame before each use, so that a break loop
// that assigns them is obeyed. Wherever a statement could do something
// else than the path's arithmetic, the definition's own statements run on
// from there, in that frame.
const char kMapcarText[] =
    "((FUNC A &REST B) (BLOCK MAPCAR (PROG** (R TL L)"
    " (SETQ R (LIST NIL)) (SETQ TL R) (IF (ATOM B) (GO ONE))"
    " (IF (CONSP (CDR B)) (RETURN-FROM MAPCAR (MAPCAR$N FUNC (CONS A B))))"
    " (SETQ L (CAR B))"
    " TWO (IF (OR (ATOM A) (ATOM L)) (RETURN-FROM MAPCAR (CDR R)))"
    " (RPLACD TL (LIST (APPLY FUNC (LIST (CAR A) (CAR L)))))"
    " (SETQ TL (CDR TL)) (SETQ A (CDR A)) (SETQ L (CDR L)) (GO TWO)"
    " ONE (IF (ATOM A) (RETURN-FROM MAPCAR (CDR R)))"
    " (RPLACD TL (LIST (FUNCALL FUNC (CAR A))))"
    " (SETQ TL (CDR TL)) (SETQ A (CDR A)) (GO ONE))))";

struct MapcarShape {
    enum { R, TL, L, FUNC, A, B, REST, kRecords };
    _cell* def = nullptr;
    _cell* name = nullptr;          // the BLOCK's name
    _cell* body;                    // the PROG** statements
    _cell* atIf;                    // the statements from (IF (ATOM A) ...)
    _cell* atSetqTl;                // ... from (SETQ TL (CDR TL))
    _cell* atSetqA;                 // ... from (SETQ A (CDR A))
    _cell* funcallForm;             // (FUNCALL FUNC (CAR A))
    _cell* symbols[kRecords];

    bool take(_cell* d) {
        const char* end = matchForm(d, kMapcarText);
        if (!end || *end) return false;
        _cell* params = d->car.p;
        _cell* block = d->cdr.p->car.p;
        _cell* progForm = block->cdr.p->cdr.p->car.p;
        _cell* vars = progForm->cdr.p->car.p;
        body = progForm->cdr.p->cdr.p;
        _cell* p = body;
        for (int i = 0; i < 12; i++) p = p->cdr.p;  // to the label ONE
        atIf = p->cdr.p;
        _cell* atRplacd = atIf->cdr.p;
        atSetqTl = atRplacd->cdr.p;
        atSetqA = atSetqTl->cdr.p;
        funcallForm = atRplacd->car.p->cdr.p->cdr.p->car.p->cdr.p->car.p;
        symbols[R] = vars->car.p;
        symbols[TL] = vars->cdr.p->car.p;
        symbols[L] = vars->cdr.p->cdr.p->car.p;
        symbols[FUNC] = params->car.p;
        symbols[A] = params->cdr.p->car.p;
        symbols[B] = params->cdr.p->cdr.p->cdr.p->car.p;
        symbols[REST] = nullptr;
        name = block->cdr.p->car.p;
        def = d;
        return true;
    }
} mapcarShape;

// The names of the table, interned by InitFastPaths, and other symbols the
// paths compare with.
_cell* nameSymbols[kNameCount];
_cell* symRest;
_cell* symHashTable;
_cell* symEq;
_cell* symEql;
_cell* symEqual;
_cell* symAref;
_cell* symAll;
_cell* symNothing;
_cell* kwInitialElement;
_cell* kwInitialContents;
_cell* kwElementType;

struct FastOp {
    int arity;
    unsigned long long needs;   // bits that must all be intact
};

FastOp fastOp(int op) {
    switch (op) {
    case OP_F_NOT: return {1, bit(B_NOT)};
    case OP_F_ZEROP: return {1, bit(B_ZEROP)};
    case OP_F_LESS: return {2, bit(B_LESS)};
    case OP_F_GREATER: return {2, bit(B_GREATER)};
    case OP_F_LESSEQ: return {2, bit(B_LESSEQ)};
    case OP_F_GREATEREQ: return {2, bit(B_GREATEREQ)};
    case OP_F_NTH: return {2, bit(B_NTH)};
    case OP_F_FIRST:
    case OP_F_REST: return {1, bit(B_NTHNAMES)};
    case OP_F_CXR: return {1, bit(B_CXR)};
    case OP_F_LAST: return {1, bit(B_LAST)};
    case OP_F_REVERSE: return {1, kReverseNeeds};
    case OP_F_EQUAL: return {2, bit(B_EQUAL)};
    default:    // SECOND .. TENTH call NTH
        return {1, bit(B_NTHNAMES) | bit(B_NTH)};
    }
}

// fastOp of every operator with a fixed parameter count, by
// op - OP_F_NOT.
FastOp opTable[OP_F_EQUAL - OP_F_NOT + 1];

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
long consCount(_cell* p) {
    long n = 0;
    for (; isCons(p); p = p->cdr.p)
        if (++n > kCellCapacity) return -1;
    return n;
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

constexpr int kMaxArgs = 16;

// The argument forms as a proper list of min..kMaxArgs forms: their
// number, or -1.
int formCount(_cell* args, int min) {
    int n = 0;
    for (; isCons(args); args = args->cdr.p)
        if (++n > kMaxArgs) return -1;
    return isNil(args) && n >= min ? n : -1;
}

// The record of a path's function when the path may run: every prelude
// name it stands for still as loaded, and op still a function; else null.
_symval* intactFunction(cfunction* f, unsigned long long needs, _cell* op) {
    if ((f->fastIntact & needs) != needs) return nullptr;
    _symval* record = f->getFuncval2(op);
    return record && record->kind == 'f' ? record : nullptr;
}

// The n argument forms of args evaluated left to right into v, each value
// pushed on g as it arrives. False when a form yields no value (reported,
// exit).
template <typename Group>
bool evalArguments(cfunction* f, Group& g, _cell* args, int n,
                   _cell** v, _symval* frame, long count) {
    for (int i = 0; i < n; i++, args = args->cdr.p) {
        v[i] = f->evalArg(args->car.p, frame, count);
        if (!v[i]) return false;
        g.push(v[i]);
    }
    return true;
}

// The argument forms ((QUOTE v0) ... (QUOTE vn-1)) that give the values
// back when evaluated. Allocates only.
_cell* quotedValues(cmemory* m, _cell** values, long n) {
    _cell* forms = NILCell;
    for (long i = n - 1; i >= 0; i--) {
        _cell* quoted = m->getCell();
        quoted->car.p = QUOTE;
        quoted->cdr.p = m->getCell();
        quoted->cdr.p->car.p = values[i];
        _cell* cell = m->getCell();
        cell->car.p = quoted;
        cell->cdr.p = forms;
        forms = cell;
    }
    return forms;
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

}  // namespace

void cfunction::InitFastPaths() {
    fastIntact = 0;
    for (int k = OP_F_NOT; k <= OP_F_EQUAL; k++) opTable[k - OP_F_NOT] = fastOp(k);
    for (int i = 0; i < kNameCount; i++) {
        _cell* sym = CheckStringCell(kNames[i].name);
        _symval* record = sym ? getFuncval2(sym) : nullptr;
        nameSymbols[i] = sym;
        if (!record) continue;
        fastIntact |= bit(kNames[i].bitIndex);
        if (kNames[i].op) sym->closureCount = kNames[i].op;
    }
    symRest = CheckStringCell("REST");
    symHashTable = getStringCell("HASH-TABLE");
    symEq = getStringCell("EQ");
    symEql = getStringCell("EQL");
    symEqual = getStringCell("EQUAL");
    symAref = CheckStringCell("AREF");
    symAll = getStringCell("ALL");
    symNothing = getStringCell("NOTHING?");
    kwInitialElement = getStringCell(":INITIAL-ELEMENT");
    kwInitialContents = getStringCell(":INITIAL-CONTENTS");
    kwElementType = getStringCell(":ELEMENT-TYPE");
    _symval* mapcarRecord = nameSymbols[kNameCount - 1]
                                ? getFuncval2(nameSymbols[kNameCount - 1])
                                : nullptr;
    if (!mapcarRecord || mapcarRecord->kind != 'f' ||
        !mapcarShape.take(mapcarRecord->value))
        fastIntact &= ~bit(B_MAPCAR);
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

// A path that allocates many cells in one step first makes sure of them:
// it collects as an evaluation step would when the cells would bring the
// free count below the collector's level, and answers false when they
// still do not fit (the definition then runs, step by step).
bool cfunction::RoomFor(long cells) {
    if (freeCells - cells >= gcDueCells) return true;
#if TK_GCSTRESS
    gcQuiet = 1;
    gc();
    gcQuiet = 0;
#else
    gc();
#endif
    return freeCells - cells >= gcDueCells;
}

_cell* cfunction::CallDefValues(_cell* def, _cell** values, long n,
                                _symval* frame, long count) {
    CellGroup g(this);
    _cell* forms = g.push(quotedValues(this, values, n));
    return CallDef(def, forms, frame, count);
}

namespace {

// EQUAL of the prelude, without its recursion along the CDR chain. 1 equal,
// 0 not, -1 nested deeper along CARs than this path follows.
int equalValues(cfunction* f, _cell* x, _cell* y, int depth) {
    for (long steps = 0;; steps++) {
        if (steps > kCellCapacity) return -1;
        if (x == y) return 1;   // the same object, however deep or circular
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

}  // namespace

_cell* cfunction::FastCall(_cell* op, _cell* args, _symval* frame,
                           long count, int* keepValues, bool* declined) {
    int k = (int)op->closureCount;
    if (k == OP_F_AREF || k == OP_F_PREAREF)
        return FastAref(op, args, frame, count, keepValues, declined);
    if (k == OP_F_MAKEARRAY) {
        *keepValues = 1;
        return FastMakeArray(args, frame, count, declined);
    }
    if (k == OP_F_SETF) return FastSetf(args, frame, count, keepValues, declined);
    if (k == OP_F_GETHASH)
        return FastGethash(op, args, frame, count, keepValues, declined);
    if (k == OP_F_MAPCAR) {
        *keepValues = 1;
        return FastMapcar(op, args, frame, count, declined);
    }
    const FastOp& desc = opTable[k - OP_F_NOT];
    *declined = true;
    _symval* record = intactFunction(this, desc.needs, op);
    if (!record || formCount(args, desc.arity) != desc.arity) return nullptr;
    *declined = false;

    // The form, and so `args`, is kept reachable by the caller.
    CellGroup g(this);
    _cell* def = g.push(record->value);
    _cell* v[2] = {nullptr, nullptr};
    if (!evalArguments(this, g, args, desc.arity, v, frame, count))
        return nullptr;
    _cell* x = v[0];
    _cell* y = v[1];
    // Results handed on as the definition's last form hands them: CAR and
    // CDR clear a multiple-value mark, a variable's value keeps it.
    *keepValues = 1;
    switch (k) {
    case OP_F_NOT:
        return isNil(x) ? TCell : NILCell;
    case OP_F_ZEROP:
        if (isInteger(x)) return x->car.i->value == 0 ? TCell : NILCell;
        break;
    case OP_F_LESS:
    case OP_F_GREATER:
    case OP_F_LESSEQ:
    case OP_F_GREATEREQ:
        // Two integers: the order COMPARE$ gives them. Other operands go
        // to the definition.
        if (isInteger(x) && isInteger(y)) {
            long a = x->car.i->value, b = y->car.i->value;
            bool r = k == OP_F_LESS      ? a < b
                     : k == OP_F_GREATER ? a > b
                     : k == OP_F_LESSEQ  ? a <= b
                                         : a >= b;
            return r ? TCell : NILCell;
        }
        break;
    case OP_F_NTH:
        if (isInteger(x) && x->car.i->value >= 0) {
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
            _cell* chars = stringChars(x);
            long n = consCount(chars);
            if (n < 0 || !isAllMoji(chars) || !RoomFor(n + 3)) break;
            return MakeMojiretsu(reversedCopy(this, chars));
        }
        if (!isCons(x)) return x;
        long n = consCount(x);
        if (n < 0 || !RoomFor(n)) break;
        return reversedCopy(this, x);
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

// ---------------------------------------------------------------------------
// Arrays: the index of an array's element conses, AREF, PRE-AREF, SETF of
// AREF, CAR and CDR, and MAKE-ARRAY without initial contents.
// ---------------------------------------------------------------------------

unsigned long spineChanges = 0;

namespace {

// Marks a cons of an array's structure; 'A' is never lowered to 'W', so a
// cons that holds rows anywhere keeps counting its RPLACA.
inline void markSpine(_cell* c, char k) {
    if (c->kind == 'H' || c->kind == 'E') c->kind = 'X';   // a hash table's too
    else if (c->kind != 'A' && c->kind != 'X') c->kind = k;
}

// Length of a proper list, -1 for anything else (a dotted or circular
// one: the walk stops after as many conses as the area holds).
long properLength(_cell* p) {
    long n = 0;
    for (; isCons(p); p = p->cdr.p)
        if (++n > kCellCapacity) return -1;
    return isNil(p) ? n : -1;
}

bool collectCells(ArrayIndex& e, _cell* list, long k) {
    if (properLength(list) != e.dims[k]) return false;
    for (_cell* p = list; isCons(p); p = p->cdr.p) {
        if (k == e.rank - 1) {
            markSpine(p, 'W');
            e.cells[e.size++] = p;
        } else {
            markSpine(p, 'A');
            if (!collectCells(e, p->car.p, k + 1)) return false;
        }
    }
    return true;
}

}  // namespace

const ArrayIndex* cfunction::IndexOf(_cell* a) {
    if (!isArray(a)) return nullptr;
    ArrayIndex& e =
        indexCache[((unsigned long)(a - cellArea) * 2654435761UL >> 8) %
                   kIndexSlots];
    if (e.array == a && e.gcEpoch == gcEpoch && e.changes == spineChanges)
        return &e;
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
    markSpine(body, 'A');
    if (size > 0 && !collectCells(e, body->cdr.p, 0)) return nullptr;
    e.array = a;
    e.gcEpoch = gcEpoch;
    e.changes = spineChanges;
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

namespace {

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

// The opening of a path that takes a variable number of arguments (at
// least min): when the path may run, the definition and then each argument
// value are pushed on g into *def and v. The number of arguments; -1 the
// path may not run (*declined stays true, nothing is evaluated); -2 a form
// yielded no value (reported, exit).
int openPath(cfunction* f, CellGroup& g, unsigned long long needs, _cell* op,
             _cell* args, int min, bool* declined, _cell** def, _cell** v,
             _symval* frame, long count) {
    *declined = true;
    _symval* record = intactFunction(f, needs, op);
    int n = formCount(args, min);
    if (!record || n < 0) return -1;
    *declined = false;
    *def = g.push(record->value);
    g.push(args);
    return evalArguments(f, g, args, n, v, frame, count) ? n : -2;
}

}  // namespace

_cell* cfunction::FastAref(_cell* op, _cell* args, _symval* frame,
                           long count, int* keepValues, bool* declined) {
    bool pre = op->closureCount == OP_F_PREAREF;
    unsigned long long needs = pre ? kPreArefNeeds : kArefNeeds;
    CellGroup g(this);
    _cell* def;
    _cell* v[kMaxArgs];
    int n = openPath(this, g, needs, op, args, pre ? 2 : 1, declined, &def, v,
                     frame, count);
    if (n < 0) return nullptr;
    int first = pre ? 2 : 1;
    _cell* a = v[first - 1];
    if (arrayAndIndexes(a, v + first, n - first) &&
        !(pre && sameSymbol(a->cdr.p->car.p, CHARACTER) && !isMoji(v[0]))) {
        _cell* c = ElementCons(a, v + first, n - first);
        if (c) {
            *keepValues = pre ? 1 : 0;
            return pre ? c : c->car.p;
        }
    }
    *keepValues = 1;
    return CallDefValues(def, v, n, frame, count);
}

// SETF of a variable, of CAR, CDR or REST of a form, and of AREF. The
// expansion the macro would make is evaluated without being made: the
// forms are evaluated, from a copy as the expansion is a copy, in the
// order and frame the expansion evaluates them; when the change cannot be
// made without an error, the expansion is made and evaluated on the
// values, so the error is reported where it is today.
_cell* cfunction::FastSetf(_cell* args, _symval* frame, long count,
                           int* keepValues, bool* declined) {
    *declined = true;
    if ((fastIntact & kSetfNeeds) != kSetfNeeds) return nullptr;
    _symval* record = getFuncval2(nameSymbols[0] ? CheckStringCell("SETF")
                                                 : nullptr);
    if (!record || record->kind != 'm') return nullptr;
    if (formCount(args, 2) != 2) return nullptr;
    _cell* place = args->car.p;
    enum { kVariable, kCar, kCdr, kAref } kind;
    if (isSymbol(place)) {
        kind = kVariable;
    } else if (!isCons(place)) {
        return nullptr;
    } else if ((place->car.p == CAR || place->car.p == CDR ||
                place->car.p == symRest) &&
               formCount(place->cdr.p, 1) == 1) {
        kind = place->car.p == CAR ? kCar : kCdr;
    } else if (place->car.p == symAref && formCount(place->cdr.p, 1) > 0) {
        if ((fastIntact & kPreArefNeeds) != kPreArefNeeds) return nullptr;
        kind = kAref;
    } else if (IsGethashPlace(place)) {     // library/hashindex.cpp
        *declined = false;
        return SetfGethash(args, frame, count, keepValues);
    } else {
        return nullptr;
    }
    *declined = false;

    CellGroup g(this);
    g.push(args);
    _cell* copy = Copy(args);
    if (!copy) return nullptr;
    g.push(copy);
    if (kind == kVariable) {
        *keepValues = 0;
        return setq(copy, frame, count);
    }
    _cell* forms = copy->car.p->cdr.p;     // the place's argument forms
    _cell* vals[3];
    int nvals;
    _cell* target = eval(forms->car.p, frame, count);
    if (!target) return nullptr;
    g.push(target);
    vals[0] = target;
    _cell* indexes = nullptr;
    if (kind == kAref) {
        // (LIST ,@indexes) as one evaluation step, like the expansion.
        _cell* listForm = g.push(getCell());
        listForm->car.p = LIST;
        listForm->cdr.p = forms->cdr.p;
        indexes = eval(listForm, frame, count);
        if (!indexes) return nullptr;
        g.push(indexes);
        vals[1] = indexes;
    }
    _cell* value = eval(copy->cdr.p->car.p, frame, count);
    if (!value) return nullptr;
    g.push(value);
    nvals = kind == kAref ? 3 : 2;
    vals[nvals - 1] = value;
    *keepValues = 1;

    if (kind == kCar || kind == kCdr) {
        if (isCons(target)) {
            NoteSpineChange(target, kind == kCar);
            if (kind == kCar)
                target->car.p = value;
            else
                target->cdr.p = value;
            return value;
        }
    } else {
        _cell* idx[kMaxArgs];
        long n = 0;
        for (_cell* p = indexes; isCons(p) && n < kMaxArgs; p = p->cdr.p)
            idx[n++] = p->car.p;
        if (!isCons(target) && arrayAndIndexes(target, idx, n) &&
            !(sameSymbol(target->cdr.p->car.p, CHARACTER) &&
              !isMoji(value))) {
            _cell* c = ElementCons(target, idx, n);
            if (c) {
                NoteSpineChange(c, true);   // counts for a hash table's key
                c->car.p = value;
                return value;
            }
        }
    }
    // The expansion, with the values in place of the forms it evaluates.
    _cell* expansion = MacroExec2(args, record, frame, count);
    if (!expansion) return nullptr;
    g.push(expansion);
    _cell* quoted = quotedValues(this, vals, nvals);
    if (!isCons(expansion) || !isCons(expansion->cdr.p)) return nullptr;
    expansion->cdr.p->cdr.p = quoted;
    return eval(expansion, frame, count);
}

_cell* cfunction::FastMakeArray(_cell* args, _symval* frame, long count,
                                bool* declined) {
    CellGroup g(this);
    _cell* def;
    _cell* v[kMaxArgs];
    int n = openPath(this, g, kMakeArrayNeeds, CheckStringCell("MAKE-ARRAY"),
                     args, 1, declined, &def, v, frame, count);
    if (n < 0) return nullptr;
    // Keyword arguments: each of :INITIAL-ELEMENT and :ELEMENT-TYPE at
    // most once, and no value that FIND could take for a keyword.
    bool ok = (n - 1) % 2 == 0;
    _cell* element = nullptr;
    _cell* type = nullptr;
    for (int i = 1; ok && i < n; i += 2) {
        _cell* key = v[i];
        _cell* val = v[i + 1];
        if (sameSymbol(val, kwInitialElement) ||
            sameSymbol(val, kwInitialContents) ||
            sameSymbol(val, kwElementType))
            ok = false;
        else if (sameSymbol(key, kwInitialElement) && !element)
            element = val;
        else if (sameSymbol(key, kwElementType) && !type)
            type = val;
        else
            ok = false;
    }
    bool character = type && sameSymbol(type, CHARACTER);
    if (ok && element && character && !sameSymbol(element, symNothing) &&
        !isMoji(element))
        ok = false;
    long dims[8];
    long rank = 0;
    if (ok) {
        _cell* d = v[0];
        if (isInteger(d) && d->car.i->value >= 0) {
            dims[rank++] = d->car.i->value;
        } else if (isCons(d) && properLength(d) > 0 && properLength(d) <= 8) {
            for (; isCons(d); d = d->cdr.p) {
                _cell* x = d->car.p;
                if (!isInteger(x) || x->car.i->value < 0) ok = false;
                else dims[rank++] = x->car.i->value;
            }
        } else {
            ok = false;
        }
    }
    // The cells the structure takes, level by level. An array that does
    // not fit in the cell area even after a collection fails with the
    // area's message, as filling it cell by cell would.
    long need = 4, rows = 1;
    bool tooLarge = false;
    for (long k = 0; ok && k < rank; k++) {
        if (dims[k] > 0 && rows > kCellCapacity / dims[k]) {
            tooLarge = true;
            break;
        }
        rows *= dims[k];
        need += rows;
    }
    if (ok && (tooLarge || !RoomFor(need)))
        return Fail("エラー: セル領域が一杯です。", frame, count);
    if (!ok) return CallDefValues(def, v, n, frame, count);

    if (!element || sameSymbol(element, symNothing)) {
        if (character) {
            element = getCell();
            element->type = 'm';
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
                _cell* c = f->getCell();
                c->car.p = k == rank - 1 ? element : level(k + 1);
                c->cdr.p = list;
                list = c;
            }
            return list;
        }
    } builder{this, dims, rank, element};
    _cell* body = getCell();
    body->car.p = character ? CHARACTER : symAll;
    body->cdr.p = builder.level(0);
    _cell* array = getCell();
    array->car.p = IntToCell(rank);
    array->cdr.p = body;
    array->type = 'a';
    return array;
}

// ---------------------------------------------------------------------------
// GETHASH: a hash table is (HASH-TABLE test (key . value) ...), and the
// definition walks the entries, calling the test on the key and each
// entry's key. Here the walk runs in C++ when the test is EQ or EQL, still
// the built-ins (no DEFUN of the name), or the prelude's EQUAL. Anything
// the definition would report (no hash table, an entry that is no cons, a
// circular list, a structure too deep for EQUAL's path) goes to it.
// ---------------------------------------------------------------------------

_cell* cfunction::FastGethash(_cell* op, _cell* args, _symval* frame,
                              long count, int* keepValues, bool* declined) {
    *declined = true;
    _symval* record = intactFunction(this, bit(B_GETHASH), op);
    if (!record || formCount(args, 2) != 2) return nullptr;
    *declined = false;

    // The form, and so `args`, is kept reachable by the caller.
    CellGroup g(this);
    _cell* def = g.push(record->value);
    _cell* v[2];
    if (!evalArguments(this, g, args, 2, v, frame, count)) return nullptr;
    _cell* key = v[0];
    _cell* table = v[1];
    enum { kNone, kEq, kEql, kEqual } test = kNone;
    if (isCons(table) && sameSymbol(table->car.p, symHashTable) &&
        isCons(table->cdr.p)) {
        _cell* t = table->cdr.p->car.p;
        if (sameSymbol(t, symEql) && !getFuncval2(symEql))
            test = kEql;
        else if (sameSymbol(t, symEq) && !getFuncval2(symEq))
            test = kEq;
        else if (sameSymbol(t, symEqual) && (fastIntact & bit(B_EQUAL)))
            test = kEqual;
    }
    // The list of the two values; allocation never collects.
    auto pairOf = [this](_cell* a, _cell* b) {
        _cell* tail = getCell();
        tail->car.p = b;
        _cell* list = getCell();
        list->car.p = a;
        list->cdr.p = tail;
        return list;
    };
    if (test != kNone) {
        _cell* e = nullptr;
        int found = HashFind(table, key, test, &e);   // library/hashindex.cpp
        if (found >= 0) {
            *keepValues = 1;
            return found ? MakeValues(e->cdr.p, pairOf(e->cdr.p, TCell))
                         : MakeValues(NILCell, pairOf(NILCell, NILCell));
        }
    }
    if (test != kNone) {
        long steps = 0;
        _cell* l = table->cdr.p->cdr.p;
        for (; isCons(l); l = l->cdr.p) {
            _cell* e = l->car.p;
            if (++steps > kCellCapacity || !isCons(e)) break;
            int hit = test == kEql  ? !isNil(teql(key, e->car.p))
                      : test == kEq ? !isNil(teq(key, e->car.p))
                                    : equalValues(this, key, e->car.p, 0);
            if (hit < 0) break;
            // (values (cdr e) t), as the definition returns it.
            if (hit) {
                *keepValues = 1;
                return MakeValues(e->cdr.p, pairOf(e->cdr.p, TCell));
            }
        }
        if (!isCons(l)) {
            *keepValues = 1;
            return MakeValues(NILCell, pairOf(NILCell, NILCell));
        }
    }
    *keepValues = 1;    // as a call of the definition hands its values on
    return CallDefValues(def, v, 2, frame, count);
}

// ---------------------------------------------------------------------------
// MAPCAR with one list (see MapcarShape). The function named by a symbol
// whose definition takes exactly one parameter is called on the element
// directly, as the call (FUNCALL FUNC (CAR A)) makes would bind it; any
// other function value goes through that form itself, in the frame.
// ---------------------------------------------------------------------------

namespace {

// The definition of the DEFUN function `fn` names when it has exactly one
// parameter; else null.
_cell* oneParameterDef(cfunction* f, _cell* fn) {
    if (!isSymbol(fn) || fn->closureCount != OP_NONE) return nullptr;
    _symval* record = f->getFuncval2(fn);
    if (!record || record->kind != 'f' || closureEnvOf(record->value))
        return nullptr;
    if (record->value->kind != kPlainDef) return nullptr;
    _cell* params = record->value->car.p;
    if (!isCons(params) || !isNil(params->cdr.p)) return nullptr;
    _cell* p = params->car.p;
    return isSymbol(p) && p != AMPREST ? record->value : nullptr;
}

// Calls the function of `def` (protected by the caller) with its one
// parameter bound to x; *called false: no frame could be had, and nothing
// was done.
_cell* callOne(cfunction* f, _cell* def, _cell* x, bool* called) {
    FrameGuard fg(f, 1);
    _symval* inner = fg.get();
    if (!inner) return nullptr;
    *called = true;
    inner[0].symbol = def->car.p->car.p;
    inner[0].value = x;
    fg.push(1);
    return f->RunDefBody(def, inner, 1, 1);
}

}  // namespace

_cell* cfunction::FastMapcar(_cell* op, _cell* args, _symval* frame,
                             long count, bool* declined) {
    const MapcarShape& s = mapcarShape;
    *declined = true;
    _symval* record = intactFunction(this, bit(B_MAPCAR), op);
    if (!record || record->value != s.def || formCount(args, 2) != 2)
        return nullptr;
    *declined = false;

    CellGroup g(this);
    _cell* def = g.push(record->value);
    g.push(args);
    _cell* v[2];
    if (!evalArguments(this, g, args, 2, v, frame, count)) return nullptr;
    constexpr long n = MapcarShape::kRecords;
    FrameGuard fg(this, n);
    _symval* F = fg.get();
    if (!F) return CallDefValues(def, v, 2, frame, count);
    for (long i = 0; i < n; i++) {
        F[i].symbol = s.symbols[i];
        F[i].value = i == MapcarShape::REST ? nullptr : NILCell;
    }
    F[MapcarShape::FUNC].value = v[0];
    F[MapcarShape::A].value = v[1];
    // (SETQ R (LIST NIL)) (SETQ TL R), and (GO ONE) as B is NIL.
    GoSymbol = nullptr;
    _cell* head = getCell();
    F[MapcarShape::R].value = head;
    F[MapcarShape::TL].value = head;
    fg.push(n);

    _cell* r = nullptr;
    for (;;) {
        // (IF (ATOM A) (RETURN-FROM MAPCAR (CDR R)))
        if (!CheckStep(F, n)) break;
        _cell* a = F[MapcarShape::A].value;
        if (!isCons(a)) {
            _cell* h = F[MapcarShape::R].value;
            r = isCons(h) ? h->cdr.p : progBodyFrom(s.body, s.atIf, F, n);
            break;
        }
        // (RPLACD TL (LIST (FUNCALL FUNC (CAR A))))
        CellGroup step(this);
        _cell* tl = step.push(F[MapcarShape::TL].value);
        _cell* fdef = oneParameterDef(this, F[MapcarShape::FUNC].value);
        bool called = false;
        _cell* x = nullptr;
        if (fdef) {
            step.push(fdef);
            x = callOne(this, fdef, a->car.p, &called);
        }
        if (!called) x = eval(s.funcallForm, F, n);
        if (!x) break;
        _cell* cell = getCell();
        cell->car.p = x;
        if (!rplacd(tl, cell, F, n)) break;
        if (GoSymbol) {
            r = progBodyFrom(s.body, nullptr, F, n);
            break;
        }
        // (SETQ TL (CDR TL)) (SETQ A (CDR A)) (GO ONE)
        tl = F[MapcarShape::TL].value;
        if (!isCons(tl)) {
            r = progBodyFrom(s.body, s.atSetqTl, F, n);
            break;
        }
        F[MapcarShape::TL].value = tl->cdr.p;
        a = F[MapcarShape::A].value;
        if (!isCons(a)) {
            r = progBodyFrom(s.body, s.atSetqA, F, n);
            break;
        }
        F[MapcarShape::A].value = a->cdr.p;
    }
    // As the call of the definition ends: its BLOCK takes a RETURN-FROM.
    if (!r && returnFromPending && returnFromName == s.name &&
        pendingReturnValue) {
        returnFromPending = 0;
        r = pendingReturnValue;
    }
    pendingReturnValue = nullptr;
    return r;
}

// The order SORT$ may sort by in C++: 1 when test names the prelude's <
// still in place, -1 for its >, 0 for anything else, which the Lisp merge
// then calls.
int cfunction::IntactOrder(_cell* test) {
    if (!isSymbol(test)) return 0;
    for (int i = 0; i < kNameCount; i++) {
        if (nameSymbols[i] != test) continue;
        int b = kNames[i].bitIndex;
        if ((b != B_LESS && b != B_GREATER) || !intactFunction(this, bit(b), test))
            return 0;
        return b == B_LESS ? 1 : -1;
    }
    return 0;
}
