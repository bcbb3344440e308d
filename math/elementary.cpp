// cfunction layer, numbers part: the elementary built-ins SQRT, EXPT, EXP,
// LOG, SIN, COS, TAN, ASIN, ACOS, ATAN, EVENP and FLOOR, and QUOTIENT$,
// the rounding divisions behind CEILING, TRUNCATE, ROUND, MOD and REM.
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
#include <cstring>

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
    case kFloatingTag: {
        long double x = CellToNumber(v);
        if (x < 0.0L) return Fail(negative, frame, count);  // -0.0, NaN pass
        return NumberToCell(asDouble(std::sqrt(static_cast<double>(x))));
    }
    case kIntegerTag: {
        long i = CellToInt(v);
        if (i < 0) return Fail(negative, frame, count);
        double r = asDouble(std::sqrt(static_cast<double>(i)));
        long g;
        if (perfectSquare(i, r, &g)) return IntToCell(g);
        return NumberToCell(r);
    }
    case kFractionTag: {
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
    // A negative base has a power for an integer exponent only: that of
    // its magnitude, negated when the exponent is odd. (The magnitude of
    // the smallest long is no long.)
    bool negate = false;
    if (!isPlus(base)) {
        if (!isNumber(base) || !isInteger(e))
            return Fail("エラー: 正数が必要です", frame, count);
        negate = (CellToInt(e) & 1) != 0;
        base = g.push(jAbs(base));
        if (!isPlus(base)) {
            PutMessage("エラー: 整数値がオーバーフローしました");
            return nullptr;
        }
    }
    _cell* r = positivePower(base, e);
    return r && negate ? jAbs(r) : r;
}

_cell* cfunction::positivePower(_cell* base, _cell* e) {
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
// EVENP
// ===========================================================================

_cell* cfunction::jEvenp(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    if (!isInteger(v)) return Fail("エラー: 整数ではありません", frame, count);
    long r = CellToInt(v) % 2;  // truncating: -1 for negative odd numbers
    return (r == 1 || r == -1) ? NIL : T;
}

// ===========================================================================
// FLOOR, and QUOTIENT$ behind CEILING, TRUNCATE, ROUND, MOD and REM
// ===========================================================================

namespace {

const char kDivisionByZero[] = "エラー: 0で除算しました。";

// v rounded to an integer by mode, in extended.
long double roundExtended(long double v, cmathproc::Rounding mode) {
    switch (mode) {
    case cmathproc::kFloor: return floorl(v);
    case cmathproc::kCeiling: return ceill(v);
    case cmathproc::kTruncate: return truncl(v);
    default: return nearbyintl(v);   // to nearest, ties to even
    }
}

// Whether a rounded floating value f is an integer some long holds: not an
// infinity, not a NaN, and within [-2^63, 2^63) (2^31 on i386).
// -(long double)LONG_MIN is 2^63 (2^31), exact in extended.
bool fitsLong(long double f) {
    return f >= (long double)LONG_MIN && f < -(long double)LONG_MIN;
}

}  // namespace

// x divided by y (by 1 when y is null), the quotient rounded by mode: the
// quotient q carrying the values list (q remainder), with the remainder
// x - q·y; with remainderOnly, the remainder alone, which needs no quotient
// within the range (MOD and REM of the smallest long by -1 are 0). Both
// operands are number cells and y is not zero.
//
// Integers and fractions are divided exactly in integer arithmetic, so a
// numerator beyond 2^53 is not rounded on the way; a quotient or remainder
// that no long holds (the smallest long over -1) is the overflow error. With
// a floating operand, both are taken in extended, the remainder is
// floating, and a quotient that no long can hold (an infinity, a NaN, a
// magnitude of 2^63 or more, 2^31 on i386) is the overflow error too, since
// the quotient must be an integer. Null: reported.
_cell* cfunction::RoundedDivision(_cell* x, _cell* y, Rounding mode,
                                  _symval* frame, long count,
                                  bool remainderOnly) {
    _cell* q;
    _cell* rest;
    if (remainderOnly && y && (isFloating(x) || isFloating(y))) {
        // The remainder of the exact division, rounded once: fmodl gives
        // that of TRUNCATE, and FLOOR's differs from it by y when the
        // signs differ.
        long double a = ExtendedValue(x), b = ExtendedValue(y);
        long double r = fmodl(a, b);
        if (mode == kFloor && r != 0.0L && (r < 0.0L) != (b < 0.0L)) r += b;
        return NumberToCell(r);
    }
    if (!y && isInteger(x)) {
        q = IntToCell(CellToInt(x));
        q->kind = x->kind;
        q->cdr = x->cdr;    // a stream's opening
        rest = IntToCell(0);
    } else if (isFloating(x) || (y && isFloating(y))) {
        long double a = ExtendedValue(x);
        long double f;
        long double r;
        if (!y) {
            f = roundExtended(a, mode);
            r = a - f;
            // a - f is exact except for a tiny a of the other sign than
            // the step, where the true remainder just inside (-1, 1)
            // rounds to 1 or -1; keep it inside.
            if (r >= 1.0L) r = nextafterl(1.0L, 0.0L);
            if (r <= -1.0L) r = nextafterl(-1.0L, 0.0L);
        } else {
            long double b = ExtendedValue(y);
            f = roundExtended(a / b, mode);
            r = a - f * b;
        }
        if (!fitsLong(f)) return Fail(MSG_OVERFLOW, frame, count);
        q = IntToCell((long)f);
        rest = NumberToCell(r);
    } else {
        long an, ad, bn = 1, bd = 1;
        if (isInteger(x)) {
            an = CellToInt(x);
            ad = 1;
        } else {
            an = CellToBunshi(x);
            ad = CellToBunbo(x);
        }
        if (y && isInteger(y)) {
            bn = CellToInt(y);
        } else if (y) {
            bn = CellToBunshi(y);
            bd = CellToBunbo(y);
        }
        long qv, rn, rd;
        if (!RoundedQuotient(an, ad, bn, bd, mode,
                             remainderOnly ? nullptr : &qv, &rn, &rd))
            return Fail(MSG_OVERFLOW, frame, count);
        rest = rd == 1 ? IntToCell(rn) : BunsuToCell(rn, rd);
        if (remainderOnly) return rest;
        q = IntToCell(qv);
    }
    // Allocation never collects, so q and rest need no protection here.
    return TwoValues(q, rest);
}

namespace {

// The dividend and the divisor (null when absent) of a rounding division,
// both checked: numbers, and a divisor that is not zero. False: reported.
bool divisionOperands(cfunction* f, _cell* x, _cell* y, _symval* frame,
                      long count) {
    if (!isNumber(x) || (y && !isNumber(y))) {
        (void)f->Fail(MSG_NOTNUMBER, frame, count);
        return false;
    }
    // A fraction is never zero; a floating divisor is zero when it compares
    // equal to 0.0 (so -0.0 too, and never a NaN).
    if (y && ((isInteger(y) && CellToInt(y) == 0) ||
              (isFloating(y) && CellToNumber(y) == 0.0L))) {
        (void)f->Fail(kDivisionByZero, frame, count);
        return false;
    }
    return true;
}

}  // namespace

// (FLOOR x) and (FLOOR x y).
_cell* cfunction::tfloor(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return SyntaxError(frame, count);
    _cell* more = args->cdr.p;
    if (isCons(more) && !isNil(more->cdr.p))
        return Fail(MSG_ARGCOUNT, frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* x = eval(args->car.p, frame, count);
    if (!x) return nullptr;
    g.push(x);
    _cell* y = nullptr;
    if (isCons(more)) {
        y = eval(more->car.p, frame, count);
        if (!y) return nullptr;
        g.push(y);
    }
    if (!divisionOperands(this, x, y, frame, count)) return nullptr;
    return RoundedDivision(x, y, kFloor, frame, count);
}

// (QUOTIENT$ mode x divisor): mode one of the symbols FLOOR, CEILING,
// TRUNCATE and ROUND, which answer both values, or MOD (the remainder of
// FLOOR) and REM (that of TRUNCATE); divisor NIL for none, a number, or a
// list of at most one number (a &REST parameter).
_cell* cfunction::quotient(_cell* args, _symval* frame, long count) {
    _cell* v[3];
    CellGroup g(this);
    int got = EvalN(g, args, 3, v, frame, count);
    if (got <= 0) return got < 0 ? SyntaxError(frame, count) : nullptr;
    struct Mode {
        const char* name;
        Rounding rounding;
        bool remainderOnly;
    };
    static const Mode kModes[] = {
        {"FLOOR", kFloor, false},      {"CEILING", kCeiling, false},
        {"TRUNCATE", kTruncate, false}, {"ROUND", kRound, false},
        {"MOD", kFloor, true},         {"REM", kTruncate, true},
    };
    const Mode* mode = nullptr;
    if (isSymbol(v[0]))
        for (const Mode& m : kModes)
            if (std::strcmp(v[0]->car.s, m.name) == 0) mode = &m;
    if (!mode) return SyntaxError(frame, count);
    _cell* y = v[2];
    if (mode->remainderOnly) {
        if (!isNumber(y)) return Fail(MSG_NOTNUMBER, frame, count);
    } else if (isCons(y)) {
        if (!isNil(y->cdr.p)) return Fail(MSG_ARGCOUNT, frame, count);
        y = y->car.p;
    } else if (isNil(y)) {
        y = nullptr;
    }
    if (!divisionOperands(this, v[1], y, frame, count)) return nullptr;
    return RoundedDivision(v[1], y, mode->rounding, frame, count,
                           mode->remainderOnly);
}
