// cfunction layer, math part: EXACT$, the parts of exact numbers that
// LOGAND, LOGIOR, LOGXOR, LOGNOT, ASH, LOGBITP, LOGCOUNT, INTEGER-LENGTH,
// NUMERATOR and DENOMINATOR are written over (library/integers.cpp): the
// two's-complement bits of integers, and the terms of a fraction.
//
// (EXACT$ code x y): code is a literal integer naming the operation, x and y
// are evaluated; an operation of one integer ignores y. The bits are those
// of the build's long, with the sign bit standing for the infinite run of
// equal bits above it, so every answer is Common Lisp's wherever it fits.
#include <climits>

#include "eval/cfunction.h"

namespace {

enum ExactOp {
    kAnd, kIor, kXor, kAsh, kLogbitp, kLogcount, kIntegerLength,
    kNumerator, kDenominator
};

constexpr int kWidth = (int)(sizeof(long) * CHAR_BIT);

// The bits of the magnitude: for a negative x those of its complement,
// which has as many significant bits as Common Lisp counts for x.
int integerLength(long x) {
    unsigned long u = x < 0 ? ~(unsigned long)x : (unsigned long)x;
    return u == 0 ? 0 : kWidth - __builtin_clzl(u);
}

}  // namespace

_cell* cfunction::exact_lisp(_cell* args, _symval* frame, long count) {
    static const char kNotInteger[] = "エラー: 整数ではありません";
    if (!isCons(args) || !isInteger(args->car.p))
        return Fail("エラー: 引数の数が違います", frame, count);
    long op = CellToInt(args->car.p);
    CellGroup g(this);
    _cell* a = nullptr;
    _cell* b = nullptr;
    int got = EvalTwo(g, args->cdr.p, frame, count, &a, &b);
    if (got == 0) return nullptr;
    if (got < 0) return Fail("エラー: 引数の数が違います", frame, count);
    if (op == kNumerator || op == kDenominator) {
        // A fraction is kept reduced with its sign on the numerator.
        if (isInteger(a)) return op == kNumerator ? a : IntToCell(1);
        if (!isBunsu(a)) return Fail("エラー: 有理数ではありません", frame, count);
        return IntToCell(op == kNumerator ? a->car.i->value : a->cdr.i->value);
    }
    if (!isInteger(a) || !isInteger(b)) return Fail(kNotInteger, frame, count);
    long x = CellToInt(a);
    long y = CellToInt(b);
    switch (op) {
    case kAnd:
        return IntToCell(x & y);
    case kIor:
        return IntToCell(x | y);
    case kXor:
        return IntToCell(x ^ y);
    case kAsh:
        if (y <= 0) return IntToCell(y <= -kWidth ? (x < 0 ? -1 : 0) : x >> -y);
        // A left shift fits when it keeps every bit of the magnitude below
        // the sign bit.
        if (x == 0) return IntToCell(0);
        if (y > kWidth - 1 || integerLength(x) + y > kWidth - 1)
            return Fail("エラー: 整数値がオーバーフローしました", frame, count);
        return IntToCell((long)((unsigned long)x << y));
    case kLogbitp:
        if (x < 0) return Fail(kNotInteger, frame, count);
        return truth(x >= kWidth ? y < 0 : ((y >> x) & 1) != 0);
    case kLogcount:
        return IntToCell(__builtin_popcountl(x < 0 ? ~(unsigned long)x
                                                   : (unsigned long)x));
    case kIntegerLength:
        return IntToCell(integerLength(x));
    default:
        return Fail("エラー: 引数の数が違います", frame, count);
    }
}
