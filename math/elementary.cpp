// cfunction layer, numbers part: the elementary built-ins SQRT, EXPT, EXP,
// LOG, SIN, COS, TAN, ASIN, ACOS, ATAN, EVENP and FLOOR.
//
// Two precisions are used on purpose. "Double" means the argument is
// rounded to double, the double library function is called and the result
// widened back; "extended" means the long double function. Integer
// arguments mostly go through double, floating numbers and fractions through
// extended, so (exp 1) and (exp 1.0) may differ in their last bits. The
// 32-bit build computes every one of these functions in double, so there
// the two agree. Every rounding to double is written out as a cast.
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

// The 32-bit build computes every function of this file in double.
constexpr bool kDoubleOnly = sizeof(long) < 8;

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

// The extended library function at x; on the 32-bit build, which computes
// every elementary function in double, the double one.
long double extended(double (*dbl)(double), long double (*ext)(long double),
                     long double x) {
    if (kDoubleOnly) return asDouble(dbl(static_cast<double>(x)));
    return ext(x);
}

// One of EXP SIN COS TAN LOG ASIN ACOS ATAN: the argument test with its
// message, the one integer argument whose result is exact, and the library
// functions. Floating numbers and fractions always go through extended.
struct Elementary {
    bool (*domain)(const _cell*);       // non-numbers fail it too
    const char* message;                // for an argument outside the domain
    long exactAt;                       // integer argument, exact result
    long exactValue;
    bool intInDouble;                   // other integers: double, not extended
    double (*dbl)(double);
    long double (*ext)(long double);
};

const Elementary kExp = {&isNumber,
                         "エラー: EXP 数値の引数が必要です",
                         0, 1, true, std::exp, expl};
const Elementary kSin = {&isNumber,
                         "エラー: SIN 数値の引数が必要です",
                         0, 0, true, std::sin, sinl};
const Elementary kCos = {&isNumber,
                         "エラー: COS 数値の引数が必要です",
                         0, 1, true, std::cos, cosl};
const Elementary kTan = {&isNumber,
                         "エラー: TAN 数値の引数が必要です",
                         0, 0, true, std::tan, tanl};
const Elementary kLog = {&cmemory::isPlusExceptZero, "エラー: 正数が必要です",
                         1, 0, true, std::log, logl};
const Elementary kAsin = {&cmemory::isInRange, "エラー: 範囲外です",
                          0, 0, false, std::asin, asinl};
const Elementary kAcos = {&cmemory::isInRange, "エラー: 範囲外です",
                          1, 0, false, std::acos, acosl};
const Elementary kAtan = {&isNumber, MSG_NOTNUMBER,
                          0, 0, false, std::atan, atanl};

_cell* elementary(cfunction* lisp, const Elementary& fn, _cell* form,
                  _symval* frame, long count) {
    _cell* v = lisp->eval(form, frame, count);
    if (!v) return nullptr;
    if (!fn.domain(v)) return lisp->Fail(fn.message, frame, count);
    if (isInteger(v)) {
        long i = CellToInt(v);
        if (i == fn.exactAt) return lisp->IntToCell(fn.exactValue);
        if (fn.intInDouble)
            return lisp->NumberToCell(
                asDouble(fn.dbl(static_cast<double>(i))));
    }
    return lisp->NumberToCell(
        extended(fn.dbl, fn.ext, lisp->ExtendedValue(v)));
}

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
        long double x = CellToNumber(v);
        if (x < 0.0L) return Fail(negative, frame, count);  // -0.0, NaN pass
        return NumberToCell(asDouble(std::sqrt(static_cast<double>(x))));
    }
    case 'i': {
        long i = CellToInt(v);
        if (i < 0) return Fail(negative, frame, count);
        double r = asDouble(std::sqrt(static_cast<double>(i)));
        long g;
        if (perfectSquare(i, r, &g)) return IntToCell(g);
        return NumberToCell(r);
    }
    case 'b': {
        long a = CellToBunshi(v), b = CellToBunbo(v);
        if (a < 0) return Fail(negative, frame, count);
        long g, h;
        double ra = asDouble(std::sqrt(static_cast<double>(a)));
        if (!perfectSquare(a, ra, &g))
            return NumberToCell(extended(std::sqrt, sqrtl, ExtendedValue(v)));
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
    if (isFloating(base)) return njExpt(CellToNumber(base), e);
    if (isPlus(e)) {
        if (isInteger(base)) return ijExpt(CellToInt(base), e);
        return bjExpt(CellToBunshi(base), CellToBunbo(base), e);
    }
    _cell* m = jAbs(e);
    if (!m) return nullptr;
    if (isInteger(base)) return bjExpt(1, CellToInt(base), m);
    if (CellToBunshi(base) == 1) return ijExpt(CellToBunbo(base), m);
    return bjExpt(CellToBunbo(base), CellToBunshi(base), m);
}

// ===========================================================================
// EXP SIN COS TAN LOG ASIN ACOS ATAN
// ===========================================================================

_cell* cfunction::jExp(_cell* form, _symval* frame, long count) {
    return elementary(this, kExp, form, frame, count);
}

_cell* cfunction::jSin(_cell* form, _symval* frame, long count) {
    return elementary(this, kSin, form, frame, count);
}

_cell* cfunction::jCos(_cell* form, _symval* frame, long count) {
    return elementary(this, kCos, form, frame, count);
}

_cell* cfunction::jTan(_cell* form, _symval* frame, long count) {
    return elementary(this, kTan, form, frame, count);
}

_cell* cfunction::jLog(_cell* form, _symval* frame, long count) {
    return elementary(this, kLog, form, frame, count);
}

_cell* cfunction::jAsin(_cell* form, _symval* frame, long count) {
    return elementary(this, kAsin, form, frame, count);
}

_cell* cfunction::jAcos(_cell* form, _symval* frame, long count) {
    return elementary(this, kAcos, form, frame, count);
}

_cell* cfunction::jAtan(_cell* form, _symval* frame, long count) {
    return elementary(this, kAtan, form, frame, count);
}

// ===========================================================================
// EVENP and FLOOR
// ===========================================================================

_cell* cfunction::jEvenp(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    if (!isInteger(v)) return Fail("エラー: 整数ではありません", frame, count);
    long r = CellToInt(v) % 2;  // truncating: -1 for negative odd numbers
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
        q = IntToCell(CellToInt(v));
        q->kind = v->kind;
        q->cdr = v->cdr;    // a stream's opening
        rest = IntToCell(0);
        break;
    case 'n': {
        long double x = CellToNumber(v);
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
        long a = CellToBunshi(v), b = CellToBunbo(v);
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
    return TwoValues(q, rest);
}
