// tamarisk integer layer: fraction reduction, sums over a common
// denominator and the random generator.
//
// Fractions are always reduced with a positive denominator of at least 2 and
// a non-zero numerator; an exact result with denominator 1 is an integer.
// Sums, differences, products and rounded quotients of integers and
// fractions are exact whenever the reduced result fits in long; one that
// does not is refused (the caller reports the overflow). Nothing here
// touches cells.
#ifndef TAMARISK_MATH_CMATHPROC_H
#define TAMARISK_MATH_CMATHPROC_H

#include "printer/cprint.h"

class cmathproc : public cprint {
public:
    // --- math/fraction.cpp --------------------------------------------------
    // Reduced a/b + c/d for denominators b, d >= 1. Returns 0 (outputs
    // untouched) when the reduced numerator or denominator does not fit in
    // long.
    int WaWithTsubun(long a, long b, long c, long d, long* rn, long* rd);
    // Reduced a/b - c/d, the same way.
    int SaWithTsubun(long a, long b, long c, long d, long* rn, long* rd);
    // Reduced (a/b)·(c/d), the same way; b and d may have any sign but
    // must not be 0.
    int SekiWithYakubun(long a, long b, long c, long d, long* rn, long* rd);

    // How a quotient is rounded to an integer: toward minus infinity, plus
    // infinity, zero, or to the nearest integer with ties to the even one.
    enum Rounding { kFloor, kCeiling, kTruncate, kRound };
    // The integer q = (a/b) / (c/d) rounded by mode, and the remainder
    // a/b - q·(c/d) reduced into rn/rd, for b, d >= 1 and c != 0. Returns 0
    // (outputs untouched) when q or the reduced remainder does not fit in
    // long. q may be null: then only the remainder is wanted, and a
    // quotient beyond the range does not matter.
    int RoundedQuotient(long a, long b, long c, long d, Rounding mode,
                        long* q, long* rn, long* rd);
    // -1, 0 or 1 as a/b is below, equal to or above c/d (b, d >= 1).
    int CompareExact(long a, long b, long c, long d);

    // --- math/random.cpp ----------------------------------------------------
    unsigned long XorShift();
};

#endif  // TAMARISK_MATH_CMATHPROC_H
