// cfunction: the numeric tower's four operations (Wa, Sa, Seki, Sho) and the
// built-ins + - * / 1+ 1- MINUSP.
//
// Integers wrap in two's complement (wrapAdd and friends); exact results go
// through MakeExact, so a fraction is always reduced with a denominator of at
// least 2 and an exact 0 or n/1 is an integer. A fraction enters floating
// arithmetic as the extended quotient of its numerator by its denominator.
#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

const char kNotNumber[] = "エラー: それは数値ではありません。";
const char kDivByZero[] = "エラー: 0で除算しました。";

bool isNumberCell(const _cell* c) {
    return c->type == 'i' || c->type == 'b' || c->type == 'n';
}

long intOf(const _cell* c) { return c->car.i->value; }
long bunshiOf(const _cell* c) { return c->car.i->value; }
long bunboOf(const _cell* c) { return c->cdr.i->value; }
long double floatOf(const _cell* c) { return c->car.n->value; }

// The value of any number cell in extended precision.
long double extendedOf(const _cell* c) {
    switch (c->type) {
    case 'i':
        return (long double)intOf(c);
    case 'b':
        return (long double)bunshiOf(c) / (long double)bunboOf(c);
    default:
        return floatOf(c);
    }
}

// Numerator and denominator of an integer (over 1) or a fraction.
void exactParts(const _cell* c, long* n, long* d) {
    if (c->type == 'i') {
        *n = intOf(c);
        *d = 1;
    } else {
        *n = bunshiOf(c);
        *d = bunboOf(c);
    }
}

}  // namespace

// ===========================================================================
// Exact results
// ===========================================================================

// Reduces n/d into an integer or a fraction. A denominator that wrapped to 0
// (or to the smallest long, which no positive denominator can hold) has no
// exact value; it is reported as the division by zero it amounts to.
_cell* cfunction::MakeExact(long n, long d) {
    long rn, rd;
    if (!yakubun(n, d, &rn, &rd)) {
        puts(kDivByZero);
        return nullptr;
    }
    return rd == 1 ? IntToCell(rn) : BunsuToCell(rn, rd);
}

namespace {

// a/b + c/d through WaWithTsubun, as an integer or a fraction.
_cell* exactSum(cfunction* lisp, long a, long b, long c, long d) {
    long rn, rd;
    if (!lisp->WaWithTsubun(a, b, c, d, &rn, &rd)) {
        puts(kDivByZero);
        return nullptr;
    }
    return rd == 1 ? lisp->IntToCell(rn) : lisp->BunsuToCell(rn, rd);
}

}  // namespace

// ===========================================================================
// The four operations: no debug loop of their own, null after the message
// ===========================================================================

_cell* cfunction::Wa(_cell* a, _cell* b) {
    if (!isNumberCell(a) || !isNumberCell(b)) {
        puts(kNotNumber);
        return nullptr;
    }
    if (a->type == 'i' && b->type == 'i')
        return IntToCell(wrapAdd(intOf(a), intOf(b)));
    if (a->type == 'n' || b->type == 'n')
        return NumberToCell(extendedOf(a) + extendedOf(b));
    long an, ad, bn, bd;
    exactParts(a, &an, &ad);
    exactParts(b, &bn, &bd);
    return exactSum(this, an, ad, bn, bd);
}

_cell* cfunction::Sa(_cell* a, _cell* b) {
    if (!isNumberCell(a) || !isNumberCell(b)) {
        puts(kNotNumber);
        return nullptr;
    }
    if (a->type == 'i' && b->type == 'i')
        return IntToCell(wrapSub(intOf(a), intOf(b)));
    if (a->type == 'n' || b->type == 'n')
        return NumberToCell(extendedOf(a) - extendedOf(b));
    long an, ad, bn, bd;
    exactParts(a, &an, &ad);
    exactParts(b, &bn, &bd);
    return exactSum(this, an, ad, wrapNeg(bn), bd);
}

// An exact integer 0 absorbs a floating operand: 0 × 2.5 is the integer 0.
_cell* cfunction::Seki(_cell* a, _cell* b) {
    if (!isNumberCell(a) || !isNumberCell(b)) {
        puts(kNotNumber);
        return nullptr;
    }
    if ((a->type == 'i' && intOf(a) == 0) || (b->type == 'i' && intOf(b) == 0))
        return IntToCell(0);
    if (a->type == 'i' && b->type == 'i')
        return IntToCell(wrapMul(intOf(a), intOf(b)));
    if (a->type == 'n' || b->type == 'n')
        return NumberToCell(extendedOf(a) * extendedOf(b));
    long an, ad, bn, bd;
    exactParts(a, &an, &ad);
    exactParts(b, &bn, &bd);
    return MakeExact(wrapMul(an, bn), wrapMul(ad, bd));
}

// The zero tests come first in every row: (/ 0 0) is a division error.
_cell* cfunction::Sho(_cell* a, _cell* b) {
    if (!isNumberCell(a) || !isNumberCell(b)) {
        puts(kNotNumber);
        return nullptr;
    }
    // A fraction is never zero; a floating divisor is zero when it compares
    // equal to 0.0 (so -0.0 too, and never a NaN).
    if ((b->type == 'i' && intOf(b) == 0) ||
        (b->type == 'n' && floatOf(b) == 0.0L)) {
        puts(kDivByZero);
        return nullptr;
    }
    // An exact 0 divided by anything non-zero, a floating y included, is
    // the integer 0.
    if (a->type == 'i' && intOf(a) == 0) return IntToCell(0);
    if (a->type == 'n' && b->type == 'b') {  // (d/c) × x
        long double reciprocal =
            (long double)bunboOf(b) / (long double)bunshiOf(b);
        return NumberToCell(reciprocal * floatOf(a));
    }
    if (a->type == 'n' || b->type == 'n')
        return NumberToCell(extendedOf(a) / extendedOf(b));
    long an, ad, bn, bd;
    exactParts(a, &an, &ad);
    exactParts(b, &bn, &bd);
    // (an/ad) / (bn/bd) = (an·bd) / (ad·bn); yakubun moves a negative
    // divisor's sign to the numerator.
    return MakeExact(wrapMul(an, bd), wrapMul(ad, bn));
}

// ===========================================================================
// Built-ins
// ===========================================================================

namespace {

typedef _cell* (cfunction::*Operation)(_cell*, _cell*);

// + and *: the running value starts at the identity and every argument is
// folded in, so (+ x) is a fresh copy of x.
_cell* foldAll(cfunction* lisp, Operation op, long identity, _cell* args,
               _symval* frame, long count) {
    _cell* total = lisp->IntToCell(identity);
    while (args->type == 'l') {
        _cell* v;
        {
            // The total and the rest of the list live only here while the
            // element is evaluated.
            CellGroup g(lisp);
            g.push(total);
            g.push(args);
            v = lisp->eval(args->car.p, frame, count);
        }
        if (!v) return nullptr;
        total = (lisp->*op)(total, v);
        if (!total) {
            lisp->errorlisp(frame, count);
            return nullptr;
        }
        args = args->cdr.p;
    }
    return total;
}

// - and /: at least one argument; a single argument is returned as it is.
_cell* foldFirst(cfunction* lisp, Operation op, _cell* args, _symval* frame,
                 long count) {
    if (args->type != 'l')
        return lisp->Fail("エラー: 引数が足りません", frame, count);
    _cell* value;
    {
        CellGroup g(lisp);
        g.push(args);
        value = lisp->eval(args->car.p, frame, count);
    }
    if (!value) return nullptr;
    if (!isNumberCell(value)) return lisp->Fail(MSG_NOTNUMBER, frame, count);
    for (args = args->cdr.p; args->type == 'l'; args = args->cdr.p) {
        _cell* v;
        {
            CellGroup g(lisp);
            g.push(value);
            g.push(args);
            v = lisp->eval(args->car.p, frame, count);
        }
        if (!v) return nullptr;
        value = (lisp->*op)(value, v);
        if (!value) {
            lisp->errorlisp(frame, count);
            return nullptr;
        }
    }
    return value;
}

}  // namespace

_cell* cfunction::plus(_cell* args, _symval* frame, long count) {
    return foldAll(this, &cfunction::Wa, 0, args, frame, count);
}

_cell* cfunction::times(_cell* args, _symval* frame, long count) {
    return foldAll(this, &cfunction::Seki, 1, args, frame, count);
}

_cell* cfunction::minus(_cell* args, _symval* frame, long count) {
    return foldFirst(this, &cfunction::Sa, args, frame, count);
}

_cell* cfunction::divide(_cell* args, _symval* frame, long count) {
    return foldFirst(this, &cfunction::Sho, args, frame, count);
}

namespace {

// 1+ and 1-: delta is +1 or -1; a fraction n/d becomes (n ± d)/d.
_cell* addOne(cfunction* lisp, long delta, _cell* form, _symval* frame,
              long count) {
    _cell* v = lisp->eval(form, frame, count);
    if (!v) return nullptr;
    switch (v->type) {
    case 'i':
        return lisp->IntToCell(wrapAdd(intOf(v), delta));
    case 'n':
        return lisp->NumberToCell(floatOf(v) + (long double)delta);
    case 'b': {
        long rn, rd;
        if (!lisp->WaWithTsubun(delta, 1, bunshiOf(v), bunboOf(v), &rn, &rd)) {
            // The denominator is the operand's own; this cannot happen.
            puts(kDivByZero);
            lisp->errorlisp(frame, count);
            return nullptr;
        }
        return rd == 1 ? lisp->IntToCell(rn) : lisp->BunsuToCell(rn, rd);
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
    if (!value) return nullptr;
    switch (value->type) {
    case 'i':
        return intOf(value) < 0 ? T : NIL;
    case 'b':
        return bunshiOf(value) < 0 ? T : NIL;
    case 'n':
        return floatOf(value) < 0.0L ? T : NIL;
    default:
        puts(MSG_NOTNUMBER);
        return nullptr;
    }
}
