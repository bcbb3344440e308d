// tamarisk integer layer: fraction reduction, sums over a common
// denominator and the random generator.
//
// Fractions are always reduced with a positive denominator of at least 2 and
// a non-zero numerator; an exact result with denominator 1 is an integer.
// Integers wrap in two's complement (wrapAdd and friends in cmemory.h).
// Sums, differences and products of fractions are exact whenever the
// reduced result fits in long; one that does not takes the wrapped value of
// the same products in long. Nothing here touches cells.
#ifndef TAMARISK_MATH_CMATHPROC_H
#define TAMARISK_MATH_CMATHPROC_H

#include "printer/cprint.h"

class cmathproc : public cprint {
public:
    // --- math/fraction.cpp --------------------------------------------------
    // Reduced a/b + c/d for denominators b, d >= 1: exact when the reduced
    // result fits in long, else (a·d + b·c)/(b·d) with the products taken
    // in long. Returns 0 (outputs untouched) when that wrapped denominator
    // is 0 or the smallest long, like reduceFraction.
    int WaWithTsubun(long a, long b, long c, long d, long* rn, long* rd);
    // Reduced a/b - c/d, the same way.
    int SaWithTsubun(long a, long b, long c, long d, long* rn, long* rd);
    // Reduced (a/b)·(c/d), the same way; b and d may have any sign but
    // must not be 0 for an exact result.
    int SekiWithYakubun(long a, long b, long c, long d, long* rn, long* rd);

    // --- math/random.cpp ----------------------------------------------------
    unsigned long XorShift();
};

#endif  // TAMARISK_MATH_CMATHPROC_H
