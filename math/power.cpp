// cmemory layer, numbers part: sign and range predicates on number cells,
// and the exact and floating powers behind EXPT.
//
// Exponents reach the power routines non-negative: EXPT turns a negative
// exponent into its magnitude with jAbs. The one magnitude a long cannot
// hold (that of the smallest long, which jAbs wraps onto itself) is read as
// the unsigned value it stands for, so it overflows like any huge power
// instead of counting as a negative repeat count.
#include <climits>
#include <cmath>

#include "memory/cmemory.h"

namespace {

const char kExponentNotNumber[] = "エラー: 指数部は数値でなければなりません";
const char kIntOverflow[] = "エラー: 整数値がオーバーフローしました";
const char kNumeratorOverflow[] = "エラー: 分子がオーバーフローしました";
const char kDenominatorOverflow[] = "エラー: 分母がオーバーフローしました";
const char kZeroDenominator[] = "エラー: 分母が０です";

unsigned long repeatCount(long p) { return (unsigned long)p; }

// x^y in extended; the 32-bit build computes the elementary functions in
// double, so there both operands and the result are rounded to double (the
// store to memory is the rounding the x87 must honour).
long double extendedPow(long double x, long double y) {
    if (sizeof(long) < 8) {
        volatile double d =
            std::pow(static_cast<double>(x), static_cast<double>(y));
        return d;
    }
    return powl(x, y);
}

// k^p for k >= 0 with an overflow test before every product. For k >= 2 the
// bound stops the loop within the width of long; 0 and 1 are answered at
// once, so no exponent makes this run long. Returns 0 (nothing written)
// when the power exceeds the largest long.
int checkedPower(long k, unsigned long p, long* out) {
    if (p == 0) {
        *out = 1;
        return 1;
    }
    if (k == 0 || k == 1) {
        *out = k;
        return 1;
    }
    long bound = LONG_MAX / k;
    long acc = 1;
    for (unsigned long i = 0; i < p; i++) {
        if (acc > bound) return 0;
        acc *= k;
    }
    *out = acc;
    return 1;
}

// checkedPower, printing message when the power exceeds the largest long.
int boundedPower(long k, unsigned long p, const char* message, long* out) {
    if (checkedPower(k, p, out)) return 1;
    PutMessage(message);
    return 0;
}

// Whether v >= 0 is a perfect s-th power (s >= 2): the extended s-th root
// is floored and ceiled, and each candidate raised back is compared with v.
// A candidate whose power exceeds the largest long is no root; raised
// modulo the word size it could land on v (12^18 does, on x86-64) and
// pass for one.
int perfectRoot(long v, long s, long* root) {
    long double t = extendedPow((long double)v, 1.0L / (long double)s);
    // t lies between 0 and the square root of the largest long; the test
    // keeps the conversions defined whatever the library returns.
    if (!(t >= 0.0L && t < (long double)LONG_MAX)) return 0;
    long lo = (long)floorl(t);
    long hi = (long)ceill(t);
    long p;
    if (checkedPower(lo, repeatCount(s), &p) && p == v) {
        *root = lo;
        return 1;
    }
    if (checkedPower(hi, repeatCount(s), &p) && p == v) {
        *root = hi;
        return 1;
    }
    return 0;
}

// a^p / b^p for a reduced a/b with b >= 0: each power bounded with its own
// message, the numerator first; a denominator 0 (b = 0, the reciprocal of
// the integer 0) has no value. Powers of coprime numbers stay coprime, so
// the result needs no reduction.
_cell* fractionPower(cmemory* m, long a, long b, unsigned long p) {
    long num, den;
    if (!boundedPower(a, p, kNumeratorOverflow, &num)) return nullptr;
    if (!boundedPower(b, p, kDenominatorOverflow, &den)) return nullptr;
    if (den == 0) {
        PutMessage(kZeroDenominator);
        return nullptr;
    }
    return den == 1 ? m->IntToCell(num) : m->BunsuToCell(num, den);
}

}  // namespace

// ===========================================================================
// Predicates
// ===========================================================================

bool cmemory::isPlus(const _cell* c) {
    switch (c->type) {
    case kIntegerTag:
        return c->car.i->value >= 0;
    case kFractionTag:
        return c->car.i->value >= 0;
    case kFloatingTag:
        return c->car.n->value >= 0.0L;   // NaN compares false
    default:
        return 0;
    }
}

bool cmemory::isPlusExceptZero(const _cell* c) {
    switch (c->type) {
    case kIntegerTag:
        return c->car.i->value > 0;
    case kFractionTag:
        return c->car.i->value > 0;
    case kFloatingTag:
        return c->car.n->value > 0.0L;
    default:
        return 0;
    }
}

// A fraction's value is the extended quotient of its numerator by its
// denominator; an integer converts exactly (64 bits of mantissa).
long double cmemory::ExtendedValue(const _cell* c) {
    switch (c->type) {
    case kIntegerTag:
        return (long double)c->car.i->value;
    case kFractionTag:
        return (long double)c->car.i->value / (long double)c->cdr.i->value;
    default:
        return c->car.n->value;
    }
}

bool cmemory::isInRange(const _cell* c) {
    if (!isNumber(c)) return 0;
    long double v = ExtendedValue(c);
    return v >= -1.0L && v <= 1.0L;
}

// Changes the sign; used on negative exponents only, where it yields their
// magnitude. The smallest long wraps onto itself.
_cell* cmemory::jAbs(_cell* c) {
    switch (c->type) {
    case kIntegerTag:
        return IntToCell(wrapNeg(c->car.i->value));
    case kFractionTag:
        return BunsuToCell(wrapNeg(c->car.i->value), c->cdr.i->value);
    case kFloatingTag:
        return NumberToCell(-c->car.n->value);
    default:
        PutMessage(kExponentNotNumber);
        return nullptr;
    }
}

// ===========================================================================
// Powers. Each returns null after its message; none enters the debug loop.
// ===========================================================================

_cell* cmemory::ijExpt(long k, _cell* e) {
    long r;
    switch (e->type) {
    case kIntegerTag:
        if (!boundedPower(k, repeatCount(e->car.i->value), kIntOverflow, &r))
            return nullptr;
        return IntToCell(r);
    case kFloatingTag:
        return NumberToCell(extendedPow((long double)k, e->car.n->value));
    case kFractionTag: {
        long g;
        long num = e->car.i->value;
        long den = e->cdr.i->value;
        if (perfectRoot(k, den, &g)) {
            if (!boundedPower(g, repeatCount(num), kIntOverflow, &r))
                return nullptr;
            return IntToCell(r);
        }
        return NumberToCell(extendedPow(
            (long double)k, (long double)repeatCount(num) / (long double)den));
    }
    default:
        PutMessage(kExponentNotNumber);
        return nullptr;
    }
}

_cell* cmemory::njExpt(long double x, _cell* e) {
    if (!isNumber(e)) {
        PutMessage(kExponentNotNumber);
        return nullptr;
    }
    return NumberToCell(extendedPow(x, ExtendedValue(e)));
}

// a/b is reduced and non-negative with b >= 0 (b is 0 only for the
// reciprocal of the integer 0, whose powers have no denominator).
_cell* cmemory::bjExpt(long a, long b, _cell* e) {
    switch (e->type) {
    case kIntegerTag:
        return fractionPower(this, a, b, repeatCount(e->car.i->value));
    case kFloatingTag:
        return NumberToCell(
            extendedPow((long double)a / (long double)b, e->car.n->value));
    case kFractionTag: {
        long r = e->car.i->value;
        long s = e->cdr.i->value;
        long g, h;
        // g/h is reduced like a/b, and its powers are bounded like those
        // of an integer exponent: (9/25)^(41/2) overflows as (3/5)^41 does.
        if (perfectRoot(a, s, &g) && perfectRoot(b, s, &h))
            return fractionPower(this, g, h, repeatCount(r));
        return NumberToCell(
            extendedPow((long double)a / (long double)b,
                        (long double)repeatCount(r) / (long double)s));
    }
    default:
        PutMessage(kExponentNotNumber);
        return nullptr;
    }
}
