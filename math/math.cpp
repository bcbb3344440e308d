// cfunction layer, numbers part: the four operations of the numeric tower
// (Wa, Sa, Seki, Sho), the built-ins + - * / 1+ 1- MINUSP, and COMPARE$,
// the order of numbers behind < > <= >= and /=.
//
// Integers are the build's long, and an integer result outside it is the
// overflow error, never a wrapped value: integer sums, differences and
// products are taken with the compiler's overflow builtins. Exact results
// with a fraction operand, and integer quotients, come reduced from the
// helpers of fraction.cpp: exact whenever the reduced result fits in long,
// the overflow error otherwise, so a fraction always has a denominator of
// at least 2 and an exact 0 or n/1 is an integer. A fraction enters
// floating arithmetic as the extended quotient of its numerator by its
// denominator.
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

const char kNotNumber[] = "エラー: それは数値ではありません。";
const char kDivByZero[] = "エラー: 0で除算しました。";

// The overflow message; null, as a printed failure.
_cell* overflow() {
    PutMessage(MSG_OVERFLOW);
    return nullptr;
}

// Both operands of a two-operand operation must be numbers; otherwise the
// message is printed, after both kinds were examined and before anything
// is allocated.
bool numberOperands(_cell* a, _cell* b) {
    if (isNumber(a) && isNumber(b)) return true;
    PutMessage(kNotNumber);
    return false;
}

// Numerator and denominator of an integer (over 1) or a fraction.
void exactParts(_cell* c, long* n, long* d) {
    if (isInteger(c)) {
        *n = CellToInt(c);
        *d = 1;
    } else {
        *n = CellToBunshi(c);
        *d = CellToBunbo(c);
    }
}

// A reduced rn/rd as an integer when rd is 1, else as a fraction.
_cell* exactCell(cmemory* m, long rn, long rd) {
    return rd == 1 ? m->IntToCell(rn) : m->BunsuToCell(rn, rd);
}

typedef int (cmathproc::*ExactOperation)(long, long, long, long, long*,
                                         long*);

// a/b op c/d through one of the helpers of fraction.cpp, as an integer or a
// fraction; null after the overflow message when the reduced result does
// not fit in long. (No divisor reaches here as 0: the callers refuse it.)
_cell* exact(cfunction* lisp, ExactOperation op, long a, long b, long c,
             long d) {
    long rn, rd;
    if (!(lisp->*op)(a, b, c, d, &rn, &rd)) {
        PutMessage(MSG_OVERFLOW);
        return nullptr;
    }
    return exactCell(lisp, rn, rd);
}

// The same for two exact operands (integers or fractions); with
// reciprocal, a op (1/b), the reduction moving a negative b's sign to the
// numerator.
_cell* exact(cfunction* lisp, ExactOperation op, _cell* a, _cell* b,
             bool reciprocal = false) {
    long an, ad, bn, bd;
    exactParts(a, &an, &ad);
    exactParts(b, &bn, &bd);
    if (reciprocal) return exact(lisp, op, an, ad, bd, bn);
    return exact(lisp, op, an, ad, bn, bd);
}

}  // namespace

// ===========================================================================
// The four operations: no debug loop of their own, null after the message
// ===========================================================================

_cell* cfunction::Wa(_cell* a, _cell* b) {
    if (!numberOperands(a, b)) return nullptr;
    if (isInteger(a) && isInteger(b)) {
        long r;
        if (__builtin_add_overflow(CellToInt(a), CellToInt(b), &r))
            return overflow();
        return IntToCell(r);
    }
    if (isFloating(a) || isFloating(b))
        return NumberToCell(ExtendedValue(a) + ExtendedValue(b));
    return exact(this, &cmathproc::WaWithTsubun, a, b);
}

_cell* cfunction::Sa(_cell* a, _cell* b) {
    if (!numberOperands(a, b)) return nullptr;
    if (isInteger(a) && isInteger(b)) {
        long r;
        if (__builtin_sub_overflow(CellToInt(a), CellToInt(b), &r))
            return overflow();
        return IntToCell(r);
    }
    if (isFloating(a) || isFloating(b))
        return NumberToCell(ExtendedValue(a) - ExtendedValue(b));
    return exact(this, &cmathproc::SaWithTsubun, a, b);
}

// An exact integer 0 absorbs a floating operand: 0 × 2.5 is the integer 0.
_cell* cfunction::Seki(_cell* a, _cell* b) {
    if (!numberOperands(a, b)) return nullptr;
    if ((isInteger(a) && CellToInt(a) == 0) ||
        (isInteger(b) && CellToInt(b) == 0))
        return IntToCell(0);
    if (isInteger(a) && isInteger(b)) {
        long r;
        if (__builtin_mul_overflow(CellToInt(a), CellToInt(b), &r))
            return overflow();
        return IntToCell(r);
    }
    if (isFloating(a) || isFloating(b))
        return NumberToCell(ExtendedValue(a) * ExtendedValue(b));
    return exact(this, &cmathproc::SekiWithYakubun, a, b);
}

// The zero tests come first in every row: (/ 0 0) is a division error.
_cell* cfunction::Sho(_cell* a, _cell* b) {
    if (!numberOperands(a, b)) return nullptr;
    // A fraction is never zero; a floating divisor is zero when it compares
    // equal to 0.0 (so -0.0 too, and never a NaN).
    if ((isInteger(b) && CellToInt(b) == 0) ||
        (isFloating(b) && CellToNumber(b) == 0.0L)) {
        PutMessage(kDivByZero);
        return nullptr;
    }
    // An exact 0 divided by anything non-zero, a floating y included, is
    // the integer 0.
    if (isInteger(a) && CellToInt(a) == 0) return IntToCell(0);
    if (isFloating(a) && isBunsu(b)) {  // (d/c) × x
        long double reciprocal =
            (long double)CellToBunbo(b) / (long double)CellToBunshi(b);
        return NumberToCell(reciprocal * CellToNumber(a));
    }
    if (isFloating(a) || isFloating(b))
        return NumberToCell(ExtendedValue(a) / ExtendedValue(b));
    // (an/ad) / (bn/bd) = (an/ad) · (bd/bn).
    return exact(this, &cmathproc::SekiWithYakubun, a, b, true);
}

// ===========================================================================
// Built-ins
// ===========================================================================

namespace {

typedef _cell* (cfunction::*Operation)(_cell*, _cell*);

// Folds the value of every form of args into value with op, left to right.
// The running value and the rest of the list live only here while a form is
// evaluated, so both are protected meanwhile. A failing op has printed its
// message; the debug loop follows. For +, - and * the running value takes
// a cell only when it is needed (at the end, or before an operand the
// operation must see as a cell): while it and the values are integers it
// is a long, and once it or a value is floating it is the long double that
// the floating result of the operation would hold (but for an exact 0,
// which makes a product the integer 0).
_cell* foldRest(cfunction* lisp, Operation op, _cell* value, _cell* args,
                _symval* frame, long count, long identity = 0) {
    char kind = op == &cfunction::Wa     ? '+'
                : op == &cfunction::Sa   ? '-'
                : op == &cfunction::Seki ? '*'
                                         : 0;

    // The running value is acc or ext, not yet a cell; a null value stands
    // for the integer acc from the start.
    bool inLong = !value;
    bool inExt = false;
    long acc = identity;
    long double ext = 0;
    for (; isCons(args); args = args->cdr.p) {
        _cell* v;
        {
            CellGroup g(lisp);
            // The running value keeps its place in the group while it is
            // acc or ext, so a recursion through the form holds as many
            // entries per level as before.
            g.push(inLong || inExt ? NILCell : value);
            g.push(args);
            v = lisp->evalArg(args->car.p, frame, count);
        }
        if (!v) return nullptr;
        if (kind && !inExt && isInteger(v) && (inLong || isInteger(value))) {
            long x = inLong ? acc : CellToInt(value);
            long y = CellToInt(v);
            bool over = kind == '+'   ? __builtin_add_overflow(x, y, &acc)
                        : kind == '-' ? __builtin_sub_overflow(x, y, &acc)
                                      : __builtin_mul_overflow(x, y, &acc);
            if (__builtin_expect(over, 0)) {
                PutMessage(MSG_OVERFLOW);
                lisp->errorlisp(frame, count);
                return nullptr;
            }
            inLong = true;
            continue;
        }
        bool runningNumber = inLong || inExt || isNumber(value);
        bool runningFloating = inExt || (!inLong && isFloating(value));
        bool runningZero = inLong ? acc == 0
                                  : !inExt && isInteger(value) &&
                                        CellToInt(value) == 0;
        if (kind && isNumber(v) && runningNumber &&
            (runningFloating || isFloating(v)) &&
            !(kind == '*' &&
              (runningZero || (isInteger(v) && CellToInt(v) == 0)))) {
            long double a = inExt    ? ext
                            : inLong ? (long double)acc
                                     : cmemory::ExtendedValue(value);
            long double b = cmemory::ExtendedValue(v);
            ext = kind == '+' ? a + b : kind == '-' ? a - b : a * b;
            inExt = true;
            inLong = false;
            continue;
        }
        // Allocation never collects: v needs no protection here.
        if (inLong) value = lisp->IntToCell(acc);
        if (inExt) value = lisp->NumberToCell(ext);
        inLong = inExt = false;
        value = (lisp->*op)(value, v);
        if (!value) {
            lisp->errorlisp(frame, count);
            return nullptr;
        }
    }
    if (inLong) return lisp->IntToCell(acc);
    if (inExt) return lisp->NumberToCell(ext);
    return value;
}

// + and *: the running value starts at the identity, so (+ x) is a fresh
// copy of x.
_cell* foldAll(cfunction* lisp, Operation op, long identity, _cell* args,
               _symval* frame, long count) {
    return foldRest(lisp, op, nullptr, args, frame, count, identity);
}

// - and /: at least one argument; a single argument x answers (- 0 x) or
// (/ 1 x), its negation or its reciprocal.
_cell* foldFirst(cfunction* lisp, Operation op, long unit, _cell* args,
                 _symval* frame, long count) {
    if (!isCons(args))
        return lisp->Fail("エラー: 引数が足りません", frame, count);
    _cell* value;
    {
        CellGroup g(lisp);
        g.push(args);
        value = lisp->evalArg(args->car.p, frame, count);
    }
    if (!value) return nullptr;
    if (!isNumber(value)) return lisp->Fail(MSG_NOTNUMBER, frame, count);
    if (isCons(args->cdr.p))
        return foldRest(lisp, op, value, args->cdr.p, frame, count);
    // Allocation never collects: value needs no protection here. A floating
    // number is negated as it is, so (- 0.0) is -0.0.
    if (op == &cfunction::Sa && isFloating(value))
        return lisp->NumberToCell(-CellToNumber(value));
    _cell* r = (lisp->*op)(lisp->IntToCell(unit), value);
    if (!r) lisp->errorlisp(frame, count);
    return r;
}

}  // namespace

_cell* cfunction::plus(_cell* args, _symval* frame, long count) {
    return foldAll(this, &cfunction::Wa, 0, args, frame, count);
}

_cell* cfunction::times(_cell* args, _symval* frame, long count) {
    return foldAll(this, &cfunction::Seki, 1, args, frame, count);
}

_cell* cfunction::minus(_cell* args, _symval* frame, long count) {
    return foldFirst(this, &cfunction::Sa, 0, args, frame, count);
}

_cell* cfunction::divide(_cell* args, _symval* frame, long count) {
    return foldFirst(this, &cfunction::Sho, 1, args, frame, count);
}

namespace {

// 1+ and 1-: delta is +1 or -1; a fraction n/d becomes (n ± d)/d.
_cell* addOne(cfunction* lisp, long delta, _cell* form, _symval* frame,
              long count) {
    _cell* v = lisp->eval(form, frame, count);
    if (!v) return nullptr;
    switch (v->type) {
    case kIntegerTag: {
        long r;
        if (__builtin_add_overflow(CellToInt(v), delta, &r))
            return lisp->Fail(MSG_OVERFLOW, frame, count);
        return lisp->IntToCell(r);
    }
    case kFloatingTag:
        return lisp->NumberToCell(CellToNumber(v) + (long double)delta);
    case kFractionTag: {
        // The denominator is the operand's own; only the numerator can
        // pass the range.
        _cell* r = exact(lisp, &cmathproc::WaWithTsubun, delta, 1,
                         CellToBunshi(v), CellToBunbo(v));
        if (!r) lisp->errorlisp(frame, count);
        return r;
    }
    default:
        return lisp->Fail("エラー: 対象が数値ではありません。", frame, count);
    }
}

}  // namespace

_cell* cfunction::OnePlus(_cell* form, _symval* frame, long count) {
    return addOne(this, 1, form, frame, count);
}

_cell* cfunction::OneMinus(_cell* form, _symval* frame, long count) {
    return addOne(this, -1, form, frame, count);
}

// -0.0 and NaN are not below 0.0. A non-number is refused without the debug
// loop.
_cell* cfunction::minusp(_cell* value) {
    switch (value->type) {
    case kIntegerTag:
        return CellToInt(value) < 0 ? T : NIL;
    case kFractionTag:
        return CellToBunshi(value) < 0 ? T : NIL;
    case kFloatingTag:
        return CellToNumber(value) < 0.0L ? T : NIL;
    default:
        PutMessage(MSG_NOTNUMBER);
        return nullptr;
    }
}

// ===========================================================================
// COMPARE$
// ===========================================================================

namespace {

// The sign of x - y for two numbers, found without computing x - y, so
// that no overflow can stop it. Exact operands compare exactly; with a
// floating operand both are taken in extended (an integer converts
// exactly there, and the sign of the rounded difference is the sign of the
// exact one). 2: unordered (a NaN).
int order(cfunction* lisp, _cell* x, _cell* y) {
    if (isInteger(x) && isInteger(y)) {
        long a = CellToInt(x), b = CellToInt(y);
        return a < b ? -1 : a > b ? 1 : 0;
    }
    if (isFloating(x) || isFloating(y)) {
        long double a = cmemory::ExtendedValue(x);
        long double b = cmemory::ExtendedValue(y);
        return a < b ? -1 : a > b ? 1 : a == b ? 0 : 2;
    }
    long an, ad, bn, bd;
    exactParts(x, &an, &ad);
    exactParts(y, &bn, &bd);
    return lisp->CompareExact(an, ad, bn, bd);
}

}  // namespace

// (COMPARE$ op x more): whether x and the numbers of the list more stand in
// the order op names (one of the symbols < > <= >= /=) from each to the
// next; for /=, whether no two of them are equal. Every argument must be a
// number, checked before any is compared.
_cell* cfunction::compare(_cell* args, _symval* frame, long count) {
    _cell* v[3];
    CellGroup g(this);
    int got = EvalN(g, args, 3, v, frame, count);
    if (got <= 0) return got < 0 ? SyntaxError(frame, count) : nullptr;
    const char* name = isSymbol(v[0]) ? v[0]->car.s : "";
    int which = std::strcmp(name, "<") == 0    ? 0
                : std::strcmp(name, ">") == 0  ? 1
                : std::strcmp(name, "<=") == 0 ? 2
                : std::strcmp(name, ">=") == 0 ? 3
                : std::strcmp(name, "/=") == 0 ? 4
                                               : -1;
    if (which < 0) return SyntaxError(frame, count);
    _cell* x = v[1];
    if (!isNumber(x)) return Fail(MSG_NOTNUMBER, frame, count);
    _cell* more = v[2];
    // The messages of a subtraction x - y: the first operand is checked as
    // (- x ...) does, the others as the operation itself does.
    for (_cell* q = more; isCons(q); q = q->cdr.p)
        if (!isNumber(q->car.p)) return Fail(kNotNumber, frame, count);
    if (which == 4) {
        // Each number against every one after it.
        for (_cell* rest = more;; rest = rest->cdr.p) {
            for (_cell* b = rest; isCons(b); b = b->cdr.p)
                if (order(this, x, b->car.p) == 0) return NILCell;
            if (!isCons(rest)) return TCell;
            x = rest->car.p;
        }
    }
    for (_cell* q = more; isCons(q); q = q->cdr.p) {
        int o = order(this, x, q->car.p);
        bool holds = which == 0   ? o == -1
                     : which == 1 ? o == 1
                     : which == 2 ? o == -1 || o == 0
                                  : o == 1 || o == 0;
        if (!holds) return NILCell;
        x = q->car.p;
    }
    return TCell;
}
