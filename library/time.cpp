// cmemory and cfunction layers, library part: the wall clock (NOW, which
// evaluates nothing) and the conversions LOCAL-TIME and MAKE-TIME.
//
// A point in time is the pair (H . S) with seconds = H * 3600 + S, so that
// it fits in two integers even where long is 32 bits wide. The calendar form
// is (second minute hour day month year . weekday) in the local zone.
#include <climits>
#include <cstring>
#include <ctime>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// H * 3600 + S as a time_t; 0 when the sum does not fit.
int pairSeconds(long h, long s, time_t* out) {
    long long hs;
    long long t;
    if (__builtin_mul_overflow((long long)h, 3600LL, &hs)) return 0;
    if (__builtin_add_overflow(hs, (long long)s, &t)) return 0;
    time_t v = (time_t)t;
    if ((long long)v != t) return 0;
    *out = v;
    return 1;
}

// A long taken as a C int the way a plain conversion does it (modulo 2^32),
// without relying on implementation-defined narrowing.
int asInt(long v) {
    unsigned int u = (unsigned int)(unsigned long)v;
    if (u <= (unsigned int)INT_MAX) return (int)u;
    return (int)(u - (unsigned int)INT_MAX - 1U) + INT_MIN;
}

// The time pair (t / 3600 . t % 3600), both with C's truncating division.
_cell* timePair(cmemory* m, time_t t) {
    _cell* pair = m->getCell();
    pair->car.p = m->IntToCell((long)(t / 3600));
    pair->cdr.p = m->IntToCell((long)(t % 3600));
    return pair;
}

}  // namespace

_cell* cmemory::now() { return timePair(this, std::time(nullptr)); }

// Both conversions print their message also when evaluating the argument
// failed: that failure has had its own report and debug loop already.
_cell* cfunction::LocalTime(_cell* form, _symval* frame, long count) {
    static const char kBad[] = "エラー: LOCAL-TIMEの引数にエラーがあります。";
    _cell* p = eval(form, frame, count);
    if (!isCons(p) || !isInteger(car(p)) || !isInteger(cdr(p)))
        return Fail(kBad, frame, count);
    time_t t;
    if (!pairSeconds(CellToInt(car(p)), CellToInt(cdr(p)), &t))
        return Fail(kBad, frame, count);
    struct tm bt;
    if (localtime_r(&t, &bt) == nullptr) return Fail(kBad, frame, count);

    long fields[6] = {bt.tm_sec, bt.tm_min, bt.tm_hour, bt.tm_mday,
                      (long)bt.tm_mon + 1, (long)bt.tm_year + 1900};
    // Built from the weekday backwards: the weekday is the cdr of the last
    // cons, not a seventh element.
    _cell* list = IntToCell(bt.tm_wday);
    for (int i = 5; i >= 0; --i) {
        _cell* c = getCell();
        c->car.p = IntToCell(fields[i]);
        c->cdr.p = list;
        list = c;
    }
    return list;
}

_cell* cfunction::MakeTime(_cell* form, _symval* frame, long count) {
    static const char kBad[] = "エラー: MAKE-TIMEの引数にエラーがあります。";
    _cell* p = eval(form, frame, count);
    long fields[6];
    for (int i = 0; i < 6; ++i) {
        if (!isCons(p) || !isInteger(car(p))) return Fail(kBad, frame, count);
        fields[i] = CellToInt(car(p));
        p = cdr(p);
    }
    struct tm bt;
    std::memset(&bt, 0, sizeof bt);
    bt.tm_sec = asInt(fields[0]);
    bt.tm_min = asInt(fields[1]);
    bt.tm_hour = asInt(fields[2]);
    bt.tm_mday = asInt(fields[3]);
    bt.tm_mon = asInt(wrapSub(fields[4], 1));
    bt.tm_year = asInt(wrapSub(fields[5], 1900));
    bt.tm_isdst = -1;
    time_t t = std::mktime(&bt);
    if (t == (time_t)-1) return Fail(kBad, frame, count);
    return timePair(this, t);
}
