// cmathproc and cfunction layers, numbers part: the xorshift generator and
// the RANDOM built-in.
//
// One generator serves the whole process. It starts from fixed seeds and is
// never reseeded, so every run yields the same sequence. The words are
// unsigned long: with 32-bit words this is Marsaglia's xorshift128; with
// 64-bit words the bits that the left shift carries above bit 31 are kept,
// which gives another sequence.
#include <climits>
#include <cmath>

#include "eval/cfunction.h"

namespace {

// The scale divisor: the largest unsigned long divided by 10, so that
// q = word / 10 runs from 0 to exactly this value.
const long double kScale = (long double)(ULONG_MAX / 10);

}  // namespace

unsigned long cmathproc::XorShift() {
    static unsigned long x = 123456789;
    static unsigned long y = 362436069;
    static unsigned long z = 521288629;
    static unsigned long w = 88675123;
    unsigned long t = x ^ (x << 11);
    x = y;
    y = z;
    z = w;
    w = (w ^ (w >> 19)) ^ (t ^ (t >> 8));
    return w;
}

// The result lies between 0 and the argument inclusive. The generator moves
// only for an accepted argument.
_cell* cfunction::Random(_cell* form, _symval* frame, long count) {
    _cell* v = eval(form, frame, count);
    if (!v) return nullptr;
    const char* negative = "エラー: 負数は指定できません";
    switch (v->type) {
    case kIntegerTag: {
        long n = v->car.i->value;
        if (n < 0) return Fail(negative, frame, count);
        unsigned long q = XorShift() / 10;
        long double r = truncl((long double)q * ((long double)n / kScale));
        // For q at its top the rounded product can exceed n by an ulp (and
        // reach 2^63 when n is the largest long); the result never passes
        // the argument.
        if (r > (long double)n) r = (long double)n;
        return IntToCell((long)r);
    }
    case kFloatingTag: {
        long double f = v->car.n->value;
        if (f < 0.0L) return Fail(negative, frame, count);  // NaN passes
        unsigned long q = XorShift() / 10;
        return NumberToCell((long double)q * (f / kScale));
    }
    default:
        PutMessage(MSG_NOTNUMBER);
        return nullptr;
    }
}
