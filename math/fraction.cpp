// cmathproc layer, numbers part: greatest common divisor, reduction of
// fractions, and the exact sums, differences, products and quotients of
// integers and fractions for the reader, the arithmetic and the rounding
// divisions.
//
// Magnitudes are handled as unsigned values so that the smallest long
// (whose magnitude has no positive long) reduces without overflow.
//
// Every computation is done in a type twice as wide as long and reduced
// there, so an exact result whose reduced numerator and denominator fit in
// long is found even when the products on the way do not. A reduced result
// that does not fit is refused: the interpreter's integers never wrap.
#include <climits>

#include "math/cmathproc.h"

namespace {

// Twice the width of long: __int128 where long has 64 bits, long long on
// i386 where it has 32. A product of two longs is at most 2^(2w-2) in
// magnitude (w the width of long), so it fits; a sum of two such products
// fits too when both denominators are positive longs.
#if __SIZEOF_LONG__ < __SIZEOF_LONG_LONG__
typedef long long Wide;
typedef unsigned long long UWide;
#else
typedef __int128 Wide;
typedef unsigned __int128 UWide;
#endif
static_assert(sizeof(Wide) >= 2 * sizeof(long), "no type twice as wide");

template <typename U, typename S>
U magnitude(S v) {
    return v < 0 ? U(0) - (U)v : (U)v;
}

template <typename U>
U gcdMagnitude(U a, U b) {
    while (b != 0) {
        U t = a % b;
        a = b;
        b = t;
    }
    return a;
}

Wide wideProduct(long a, long b) { return (Wide)a * (Wide)b; }

// x ± y without overflow in the arithmetic itself; the callers keep the
// exact result within Wide.
Wide wideSum(Wide x, Wide y) { return (Wide)((UWide)x + (UWide)y); }
Wide wideDifference(Wide x, Wide y) { return (Wide)((UWide)x - (UWide)y); }

// Reduces the exact n/d and writes it when the reduced numerator and
// denominator fit in long; returns 0 (nothing written) when they do not.
int narrowExact(Wide n, Wide d, long* rn, long* rd) {
    if (d == 0) return 0;
    if (n == 0) {
        *rn = 0;
        *rd = 1;
        return 1;
    }
    bool negative = (n < 0) != (d < 0);
    UWide un = magnitude<UWide>(n);
    UWide ud = magnitude<UWide>(d);
    UWide c = gcdMagnitude(un, ud);
    un /= c;
    ud /= c;
    if (ud > (UWide)LONG_MAX) return 0;
    if (un > (negative ? (UWide)LONG_MAX + 1 : (UWide)LONG_MAX)) return 0;
    *rn = negative ? (long)(0UL - (unsigned long)un) : (long)un;
    *rd = (long)ud;
    return 1;
}


}  // namespace

// A denominator must end up positive, and a magnitude after reduction can
// be the one value a long cannot hold positive (2^63, or 2^31 on i386):
// the smallest long over -1, or a denominator of the smallest long. Those
// are refused, since no integer or fraction can carry them.
int reduceFraction(long n, long d, long* rn, long* rd) {
    return narrowExact(n, d, rn, rd);
}

// a/b + c/d = (a·d + b·c)/(b·d).
int cmathproc::WaWithTsubun(long a, long b, long c, long d, long* rn,
                            long* rd) {
    return narrowExact(wideSum(wideProduct(a, d), wideProduct(b, c)),
                      wideProduct(b, d), rn, rd);
}

// a/b - c/d = (a·d - b·c)/(b·d); c may be the smallest long, whose
// negation no long holds.
int cmathproc::SaWithTsubun(long a, long b, long c, long d, long* rn,
                            long* rd) {
    return narrowExact(wideDifference(wideProduct(a, d), wideProduct(b, c)),
                      wideProduct(b, d), rn, rd);
}

// (a/b)·(c/d) = (a·c)/(b·d).
int cmathproc::SekiWithYakubun(long a, long b, long c, long d, long* rn,
                               long* rd) {
    return narrowExact(wideProduct(a, c), wideProduct(b, d), rn, rd);
}

// x/y = (a·d)/(b·c) = num/den. The truncated quotient and remainder of
// num by den are moved by one step of den where the mode rounds otherwise,
// which keeps the remainder t below den in magnitude; the remainder of x by
// y is then (c/d)·(t/den) = t/(b·d). Every value stays within Wide: num
// and den are products of two longs, and |t| < |den|.
int cmathproc::RoundedQuotient(long a, long b, long c, long d, Rounding mode,
                               long* q, long* rn, long* rd) {
    Wide num = wideProduct(a, d);
    Wide den = wideProduct(b, c);
    Wide tq = num / den;
    Wide tr = num % den;
    if (tr != 0) {
        bool negative = (num < 0) != (den < 0);   // the sign of x/y
        int step = 0;                             // away from zero: +1
        switch (mode) {
        case kFloor:
            step = negative ? 1 : 0;
            break;
        case kCeiling:
            step = negative ? 0 : 1;
            break;
        case kTruncate:
            break;
        case kRound: {
            UWide twice = magnitude<UWide>(tr) * 2;
            UWide whole = magnitude<UWide>(den);
            if (twice > whole || (twice == whole && (tq % 2) != 0)) step = 1;
            break;
        }
        }
        if (step) {
            // One more step away from zero: the quotient grows in
            // magnitude by one and the remainder loses one den.
            if (negative) {
                tq -= 1;
                tr += den;
            } else {
                tq += 1;
                tr -= den;
            }
        }
    }
    if (q && (tq < (Wide)LONG_MIN || tq > (Wide)LONG_MAX)) return 0;
    long n, m;
    if (!narrowExact(tr, wideProduct(b, d), &n, &m)) return 0;
    if (q) *q = (long)tq;
    *rn = n;
    *rd = m;
    return 1;
}

// The sign of a/b - c/d for b, d >= 1, from a·d and c·b, which Wide holds.
int cmathproc::CompareExact(long a, long b, long c, long d) {
    Wide x = wideProduct(a, d);
    Wide y = wideProduct(c, b);
    return x < y ? -1 : x > y ? 1 : 0;
}
