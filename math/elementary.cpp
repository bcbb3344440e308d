// cfunction: the elementary numeric built-ins SQRT, EXPT, EXP, LOG, SIN,
// COS, TAN, ASIN, ACOS, ATAN, EVENP and FLOOR.
//
// Two precisions are used on purpose. "Double" means the argument is
// rounded to double, the double library function is called and the result
// widened back; "extended" means the long double function. Integer
// arguments mostly go through double, floating numbers and fractions through
// extended, so (exp 1) and (exp 1.0) may differ in their last bits. Every
// rounding to double is written out as a cast.
#include <climits>
#include <cmath>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// The result of a double library function, rounded to double. The i386
// x87 returns double results in extended registers, unrounded; a store to
// memory is the one rounding the compiler must honour there.
double asDouble(double v) {
    volatile double d = v;
    return d;
}

long intOf(const _cell* c) { return c->car.i->value; }
long bunshiOf(const _cell* c) { return c->car.i->value; }
long bunboOf(const _cell* c) { return c->cdr.i->value; }
long double floatOf(const _cell* c) { return c->car.n->value; }
long double quotientOf(const _cell* c) {
    return (long double)bunshiOf(c) / (long double)bunboOf(c);
}

// The integer square root of i >= 0 when i is a perfect square: the double
// root is floored, then ceiled, and each candidate squared back.
int perfectSquare(long i, double r, long* root) {
    long g = (long)std::floor(r);
    if (wrapMul(g, g) == i) {
        *root = g;
        return 1;
    }
    g = (long)std::ceil(r);
    if (wrapMul(g, g) == i) {
        *root = g;
        return 1;
    }
    return 0;
}

// One of EXP SIN COS TAN: the value at the integer 0 (exact), the double
// and extended library functions, and the message for a non-number.
struct Transcendental {
    long atZero;
    double (*dbl)(double);
    long double (*ext)(long double);
    const char* message;
};

const Transcendental kExp = {1, std::exp, expl,
                             "エラー: EXP 数値の引数が必要です"};
const Transcendental kSin = {0, std::sin, sinl,
                             "エラー: SIN 数値の引数が必要です"};
const Transcendental kCos = {1, std::cos, cosl,
                             "エラー: COS 数値の引数が必要です"};
const Transcendental kTan = {0, std::tan, tanl,
                             "エラー: TAN 数値の引数が必要です"};

}  // namespace

// ===========================================================================
// SQRT and EXPT
// ===========================================================================

_cell* cfunction::jSqrt(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    const char* negative = "エラー: 負数は平方根はとれません";
    switch (v->type) {
    case 'n': {
        long double x = floatOf(v);
        if (x < 0.0L) return Fail(negative, frame, count);  // -0.0, NaN pass
        return NumberToCell(asDouble(std::sqrt(static_cast<double>(x))));
    }
    case 'i': {
        long i = intOf(v);
        if (i < 0) return Fail(negative, frame, count);
        double r = asDouble(std::sqrt(static_cast<double>(i)));
        long g;
        if (perfectSquare(i, r, &g)) return IntToCell(g);
        return NumberToCell(r);
    }
    case 'b': {
        long a = bunshiOf(v), b = bunboOf(v);
        if (a < 0) return Fail(negative, frame, count);
        long g, h;
        double ra = asDouble(std::sqrt(static_cast<double>(a)));
        if (!perfectSquare(a, ra, &g))
            return NumberToCell(sqrtl(quotientOf(v)));
        double rb = asDouble(std::sqrt(static_cast<double>(b)));
        if (perfectSquare(b, rb, &h)) return BunsuToCell(g, h);
        return NumberToCell((long double)g / (long double)rb);
    }
    default:
        return Fail("エラー: 数値以外の平方根はとれません", frame, count);
    }
}

// A negative exponent is turned into its magnitude with jAbs and the base
// into its reciprocal. Messages of the power routines (exponent not a
// number, overflow, zero denominator) do not enter the debug loop.
_cell* cfunction::jExpt(_cell* baseForm, _cell* expForm, _symval* frame,
                        long count) {
    CellGroup g(this);
    g.push(expForm);
    _cell* base = eval(baseForm, frame, count);
    if (!base) return nullptr;
    g.push(base);
    _cell* e = eval(expForm, frame, count);
    if (!e) return nullptr;
    g.push(e);
    if (!isPlus(base)) return Fail("エラー: 正数が必要です", frame, count);
    if (base->type == 'n') return njExpt(floatOf(base), e);
    if (isPlus(e)) {
        if (base->type == 'i') return ijExpt(intOf(base), e);
        return bjExpt(bunshiOf(base), bunboOf(base), e);
    }
    _cell* m = jAbs(e);
    if (!m) return nullptr;
    if (base->type == 'i') return bjExpt(1, intOf(base), m);
    if (bunshiOf(base) == 1) return ijExpt(bunboOf(base), m);
    return bjExpt(bunboOf(base), bunshiOf(base), m);
}

// ===========================================================================
// EXP SIN COS TAN LOG ASIN ACOS ATAN
// ===========================================================================

namespace {

_cell* transcendental(cfunction* lisp, const Transcendental& fn,
                             _cell* form, _symval* frame, long count) {
    _cell* v = lisp->eval(form, frame, count);
    if (!v) return nullptr;
    switch (v->type) {
    case 'i':
        if (intOf(v) == 0) return lisp->IntToCell(fn.atZero);
        return lisp->NumberToCell(
            asDouble(fn.dbl(static_cast<double>(intOf(v)))));
    case 'n':
        return lisp->NumberToCell(fn.ext(floatOf(v)));
    case 'b':
        return lisp->NumberToCell(fn.ext(quotientOf(v)));
    default:
        return lisp->Fail(fn.message, frame, count);
    }
}

}  // namespace

_cell* cfunction::jExp(_cell* form, _symval* frame, long count) {
    return transcendental(this, kExp, form, frame, count);
}

_cell* cfunction::jSin(_cell* form, _symval* frame, long count) {
    return transcendental(this, kSin, form, frame, count);
}

_cell* cfunction::jCos(_cell* form, _symval* frame, long count) {
    return transcendental(this, kCos, form, frame, count);
}

_cell* cfunction::jTan(_cell* form, _symval* frame, long count) {
    return transcendental(this, kTan, form, frame, count);
}

_cell* cfunction::jLog(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    if (!isPlusExceptZero(v)) return Fail("エラー: 正数が必要です", frame, count);
    switch (v->type) {
    case 'i':
        if (intOf(v) == 1) return IntToCell(0);
        return NumberToCell(
            asDouble(std::log(static_cast<double>(intOf(v)))));
    case 'n':
        return NumberToCell(logl(floatOf(v)));
    default:
        return NumberToCell(logl(quotientOf(v)));
    }
}

namespace {

// ASIN and ACOS: exactZero is the integer argument whose result is the
// integer 0 (0 for ASIN, 1 for ACOS); everything else is extended.
static _cell* inverseTrig(cfunction* lisp, long exactZero,
                          long double (*fn)(long double), _cell* form,
                          _symval* frame, long count) {
    _cell* v = lisp->eval(form, frame, count);
    if (!v) return nullptr;
    if (!lisp->isInRange(v)) return lisp->Fail("エラー: 範囲外です", frame, count);
    switch (v->type) {
    case 'i':
        if (intOf(v) == exactZero) return lisp->IntToCell(0);
        return lisp->NumberToCell(fn((long double)intOf(v)));
    case 'n':
        return lisp->NumberToCell(fn(floatOf(v)));
    default:
        return lisp->NumberToCell(fn(quotientOf(v)));
    }
}

}  // namespace

_cell* cfunction::jAsin(_cell* form, _symval* frame, long count) {
    return inverseTrig(this, 0, asinl, form, frame, count);
}

_cell* cfunction::jAcos(_cell* form, _symval* frame, long count) {
    return inverseTrig(this, 1, acosl, form, frame, count);
}

_cell* cfunction::jAtan(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    switch (v->type) {
    case 'i':
        if (intOf(v) == 0) return IntToCell(0);
        return NumberToCell(atanl((long double)intOf(v)));
    case 'n':
        return NumberToCell(atanl(floatOf(v)));
    case 'b':
        return NumberToCell(atanl(quotientOf(v)));
    default:
        return Fail(MSG_NOTNUMBER, frame, count);
    }
}

// ===========================================================================
// EVENP and FLOOR
// ===========================================================================

_cell* cfunction::jEvenp(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    if (v->type != 'i') return Fail("エラー: 整数ではありません", frame, count);
    long r = intOf(v) % 2;  // truncating: -1 for negative odd numbers
    return (r == 1 || r == -1) ? NIL : T;
}

// FLOOR returns the quotient q carrying the values list (q remainder), with
// the remainder always in [0, 1).
//
// A fraction is floored exactly in integer arithmetic, so a numerator
// beyond 2^53 is not rounded on the way. A floating number is floored in
// extended precision; a floor that no long can hold (an infinity, a NaN, a
// magnitude of 2^63 or more, 2^31 on i386) is refused as an integer
// overflow, since the quotient must be an integer.
_cell* cfunction::tfloor(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    _cell* q;
    _cell* rest;
    switch (v->type) {
    case 'i':
        q = IntToCell(intOf(v));
        q->kind = v->kind;
        rest = IntToCell(0);
        break;
    case 'n': {
        long double x = floatOf(v);
        long double f = floorl(x);
        // -(long double)LONG_MIN is 2^63 (2^31), exact in extended.
        if (!(f >= (long double)LONG_MIN && f < -(long double)LONG_MIN))
            return Fail("エラー: 整数値がオーバーフローしました", frame, count);
        q = IntToCell((long)f);
        long double r = x - f;
        // x - floor(x) is exact except for a tiny negative x, where the
        // true remainder just below 1 rounds up to 1; keep it below 1.
        if (r >= 1.0L) r = nextafterl(1.0L, 0.0L);
        rest = NumberToCell(r);
        break;
    }
    case 'b': {
        long a = bunshiOf(v), b = bunboOf(v);
        // b >= 2, so the quotient is well inside the range of long.
        long fl = a / b;
        if (a % b != 0 && a < 0) fl -= 1;
        q = IntToCell(fl);
        rest = Sa(v, q);
        if (!rest) {
            errorlisp(frame, count);
            return nullptr;
        }
        break;
    }
    default:
        return Fail(MSG_NOTNUMBER, frame, count);
    }
    // Allocation never collects, so q and rest need no protection here.
    _cell* second = getCell();
    second->car.p = rest;
    _cell* first = getCell();
    first->car.p = q;
    first->cdr.p = second;
    q->values = first;
    return q;
}
