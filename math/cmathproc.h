// tamarisk integer layer: fraction reduction, sums over a common
// denominator and the random generator.
//
// Fractions are always reduced with a positive denominator of at least 2 and
// a non-zero numerator; an exact result with denominator 1 is an integer.
// All integer arithmetic wraps in two's complement (wrapAdd and friends in
// cmemory.h); nothing here touches cells.
#ifndef TAMARISK_MATH_CMATHPROC_H
#define TAMARISK_MATH_CMATHPROC_H

#include "printer/cprint.h"

class cmathproc : public cprint {
public:
    // --- math/fraction.cpp --------------------------------------------------
    long gcd(long a, long b);   // both positive
    // Reduced n/d; returns 0 (outputs untouched) when d is 0, or when the
    // reduced denominator is the magnitude of the smallest long, which no
    // positive long can hold (a wrapped product).
    int yakubun(long n, long d, long* rn, long* rd);
    // Reduced a/b + c/d; returns 0 when the denominator product wraps to 0.
    int WaWithTsubun(long a, long b, long c, long d, long* rn, long* rd);

    // --- math/random.cpp ----------------------------------------------------
    unsigned long XorShift();
};

#endif  // TAMARISK_MATH_CMATHPROC_H
