// cmathproc layer, numbers part: greatest common divisor, reduction of
// fractions, and the exact sums, differences and products of fractions
// for the reader, the arithmetic and the powers.
//
// Magnitudes are handled as unsigned values so that the smallest long
// (whose magnitude has no positive long) reduces without overflow; a
// numerator whose reduced magnitude is that value wraps back to it, as
// every integer result of the interpreter wraps.
//
// Sums and products of fractions are computed in a type twice as wide as
// long and reduced there, so an exact result whose reduced numerator and
// denominator fit in long is found even when the products on the way do
// not. Only a result that does not fit falls back on the value of the same
// products taken in long (modulo the word size), which is what the
// interpreter's integers give.
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

// The value v takes in long, modulo the word size: what the same products
// and sums give when taken in long from the start.
long wrapped(Wide v) { return (long)(unsigned long)(UWide)v; }

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

// The exact reduced n/d when it fits in long; otherwise the wrapped pair,
// reduced, which is refused (0) when its denominator is 0 or the smallest
// long.
int reduceWide(Wide n, Wide d, long* rn, long* rd) {
    if (narrowExact(n, d, rn, rd)) return 1;
    return reduceFraction(wrapped(n), wrapped(d), rn, rd);
}

}  // namespace

// A denominator must end up positive. Its magnitude after reduction can be
// the one value a long cannot hold positive (2^63, or 2^31 on i386) when a
// wrapped product landed on the smallest long; that is refused like a zero
// denominator, since no fraction can carry it.
int reduceFraction(long n, long d, long* rn, long* rd) {
    if (d == 0) return 0;
    if (n == 0) {
        *rn = 0;
        *rd = 1;
        return 1;
    }
    bool negative = (n < 0) != (d < 0);
    unsigned long un = magnitude<unsigned long>(n);
    unsigned long ud = magnitude<unsigned long>(d);
    unsigned long c = gcdMagnitude(un, ud);
    un /= c;
    ud /= c;
    if (ud > (unsigned long)LONG_MAX) return 0;
    *rn = negative ? (long)(0UL - un) : (long)un;
    *rd = (long)ud;
    return 1;
}

// a/b + c/d = (a·d + b·c)/(b·d).
int cmathproc::WaWithTsubun(long a, long b, long c, long d, long* rn,
                            long* rd) {
    return reduceWide(wideSum(wideProduct(a, d), wideProduct(b, c)),
                      wideProduct(b, d), rn, rd);
}

// a/b - c/d = (a·d - b·c)/(b·d); c may be the smallest long, whose
// negation no long holds.
int cmathproc::SaWithTsubun(long a, long b, long c, long d, long* rn,
                            long* rd) {
    return reduceWide(wideDifference(wideProduct(a, d), wideProduct(b, c)),
                      wideProduct(b, d), rn, rd);
}

// (a/b)·(c/d) = (a·c)/(b·d).
int cmathproc::SekiWithYakubun(long a, long b, long c, long d, long* rn,
                               long* rd) {
    return reduceWide(wideProduct(a, c), wideProduct(b, d), rn, rd);
}
