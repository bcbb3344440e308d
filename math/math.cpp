// cfunction layer, numbers part: the four operations of the numeric tower
// (Wa, Sa, Seki, Sho) and the built-ins + - * / 1+ 1- MINUSP.
//
// Integers wrap in two's complement (wrapAdd and friends). Exact results
// with a fraction operand, and integer quotients, come reduced from the
// helpers of fraction.cpp: exact whenever the reduced result fits in long,
// so a fraction always has a denominator of at least 2 and an exact 0 or
// n/1 is an integer. A fraction enters floating arithmetic as the extended
// quotient of its numerator by its denominator.
#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

const char kNotNumber[] = "エラー: それは数値ではありません。";
const char kDivByZero[] = "エラー: 0で除算しました。";

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
// fraction. A result that does not fit in long is the wrapped value of the
// same products in long; when its denominator wrapped to 0 or to the
// smallest long (which no positive denominator can hold) it has no value
// and is reported as the division by zero it amounts to: null after the
// message.
_cell* exact(cfunction* lisp, ExactOperation op, long a, long b, long c,
             long d) {
    long rn, rd;
    if (!(lisp->*op)(a, b, c, d, &rn, &rd)) {
        PutMessage(kDivByZero);
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
    if (isInteger(a) && isInteger(b))
        return IntToCell(wrapAdd(CellToInt(a), CellToInt(b)));
    if (isFloating(a) || isFloating(b))
        return NumberToCell(ExtendedValue(a) + ExtendedValue(b));
    return exact(this, &cmathproc::WaWithTsubun, a, b);
}

_cell* cfunction::Sa(_cell* a, _cell* b) {
    if (!numberOperands(a, b)) return nullptr;
    if (isInteger(a) && isInteger(b))
        return IntToCell(wrapSub(CellToInt(a), CellToInt(b)));
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
    if (isInteger(a) && isInteger(b))
        return IntToCell(wrapMul(CellToInt(a), CellToInt(b)));
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
    long (*intOp)(long, long) = kind == '+'   ? wrapAdd
                                : kind == '-' ? wrapSub
                                : kind == '*' ? wrapMul
                                              : nullptr;
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
        if (intOp && !inExt && isInteger(v) && (inLong || isInteger(value))) {
            acc = intOp(inLong ? acc : CellToInt(value), CellToInt(v));
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
    // Allocation never collects: value needs no protection here.
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
    case 'i':
        return lisp->IntToCell(wrapAdd(CellToInt(v), delta));
    case 'n':
        return lisp->NumberToCell(CellToNumber(v) + (long double)delta);
    case 'b': {
        // The denominator is the operand's own, so the sum cannot fail.
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
    case 'i':
        return CellToInt(value) < 0 ? T : NIL;
    case 'b':
        return CellToBunshi(value) < 0 ? T : NIL;
    case 'n':
        return CellToNumber(value) < 0.0L ? T : NIL;
    default:
        PutMessage(MSG_NOTNUMBER);
        return nullptr;
    }
}
