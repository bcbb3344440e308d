// cmathproc layer, numbers part: greatest common divisor, reduction of
// fractions and sums over a common denominator, for the reader, the
// arithmetic and the powers.
//
// Magnitudes are handled as unsigned long so that the smallest long (whose
// magnitude has no positive long) reduces without overflow; a numerator
// whose reduced magnitude is that value wraps back to it, as every integer
// result of the interpreter wraps.
#include <climits>

#include "math/cmathproc.h"

namespace {

unsigned long magnitude(long v) {
    return v < 0 ? 0UL - (unsigned long)v : (unsigned long)v;
}

unsigned long gcdMagnitude(unsigned long a, unsigned long b) {
    while (b != 0) {
        unsigned long t = a % b;
        a = b;
        b = t;
    }
    return a;
}

}  // namespace

// Euclid's algorithm: the same greatest divisor as a trial from the smaller
// operand downward, in a number of steps logarithmic in the operands.
long gcdLong(long a, long b) {
    return (long)gcdMagnitude(magnitude(a), magnitude(b));
}

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
    unsigned long un = magnitude(n);
    unsigned long ud = magnitude(d);
    unsigned long c = gcdMagnitude(un, ud);
    un /= c;
    ud /= c;
    if (ud > (unsigned long)LONG_MAX) return 0;
    *rn = negative ? (long)(0UL - un) : (long)un;
    *rd = (long)ud;
    return 1;
}

long cmathproc::gcd(long a, long b) { return gcdLong(a, b); }

int cmathproc::yakubun(long n, long d, long* rn, long* rd) {
    return reduceFraction(n, d, rn, rd);
}

// a/b + c/d = (a·d + b·c)/(b·d); the products wrap like every integer
// product, so the denominator may wrap to 0, which yakubun refuses.
int cmathproc::WaWithTsubun(long a, long b, long c, long d, long* rn,
                            long* rd) {
    return yakubun(wrapAdd(wrapMul(a, d), wrapMul(b, c)), wrapMul(b, d), rn,
                   rd);
}
