// cfunction layer, library part: STRING-COMPARE$, the loop behind STRING=
// and the other string comparisons (their Lisp texts are in
// library/strings.cpp), in C++ because programs compare strings in their
// inner loops.
#include <cstdio>
#include <string>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// The bytes of a string designator: a string's characters, a symbol's name,
// a character. False for anything else.
bool designatorBytes(_cell* x, std::string* out) {
    if (isString(x)) {
        for (_cell* p = stringChars(x); isCons(p); p = p->cdr.p)
            if (isMoji(p->car.p)) out->push_back((char)mojiByte(p->car.p));
        return true;
    }
    if (isSymbol(x)) {
        out->assign(x->car.s);
        return true;
    }
    if (isMoji(x)) {
        out->push_back((char)mojiByte(x));
        return true;
    }
    return false;
}

// The range [*start, *end) of a string of n bytes from the values given
// (an end of NIL is n); false when it is not a range of the string.
bool rangeOf(_cell* s, _cell* e, long n, long* start, long* end) {
    if (!isInteger(s)) return false;
    *start = CellToInt(s);
    if (isNil(e)) {
        *end = n;
    } else if (isInteger(e)) {
        *end = CellToInt(e);
    } else {
        return false;
    }
    return *start >= 0 && *start <= *end && *end <= n;
}

int folded(unsigned char c, bool fold) {
    return fold && c >= 'A' && c <= 'Z' ? c + 32 : c;
}

}  // namespace

// (STRING-COMPARE$ how a b start1 end1 start2 end2); how is a literal
// integer: the relation, 0 =, 1 /=, 2 <, 3 >, 4 <=, 5 >=, plus 8 to compare
// the lower-case codes of letters. The answer is Common Lisp's: T or NIL
// for =, else the index in a where the ranges first differ (the end of a's
// range when one range is a beginning of the other) or NIL.
_cell* cfunction::string_compare_lisp(_cell* args, _symval* frame, long count) {
    if (!isCons(args) || !isInteger(args->car.p))
        return Fail(MSG_ARGCOUNT, frame, count);
    long how = CellToInt(args->car.p);
    bool fold = (how & 8) != 0;
    how &= 7;
    CellGroup g(this);
    _cell* v[6];
    int got = EvalN(g, args->cdr.p, 6, v, frame, count);
    if (got <= 0) return got < 0 ? Fail(MSG_ARGCOUNT, frame, count) : nullptr;
    std::string a, b;
    for (int k = 0; k < 2; k++) {
        if (!designatorBytes(v[k], k == 0 ? &a : &b)) {
            if (messageOut != stdout) std::fflush(stdout);
            std::fputs("エラー: 文字列、シンボル、文字のどれでもありません--",
                       messageOut);
            printSFile(v[k], messageOut);
            std::fputc('\n', messageOut);
            errorlisp(frame, count);
            return nullptr;
        }
    }
    long s1, e1, s2, e2;
    if (!rangeOf(v[2], v[3], (long)a.size(), &s1, &e1) ||
        !rangeOf(v[4], v[5], (long)b.size(), &s2, &e2))
        return Fail("エラー: 列の範囲の指定が違います", frame, count);
    long i = s1, j = s2;
    while (i < e1 && j < e2 &&
           folded((unsigned char)a[i], fold) == folded((unsigned char)b[j], fold)) {
        i++;
        j++;
    }
    // c1, c2: the codes where the ranges differ, -1 for a range that ended.
    int c1 = i < e1 ? folded((unsigned char)a[i], fold) : -1;
    int c2 = j < e2 ? folded((unsigned char)b[j], fold) : -1;
    bool holds;
    switch (how) {
    case 0: holds = c1 < 0 && c2 < 0; break;
    case 1: holds = c1 >= 0 || c2 >= 0; break;
    case 2: holds = c2 >= 0 && c1 < c2; break;
    case 3: holds = c1 >= 0 && c1 > c2; break;
    case 4: holds = c1 < 0 || (c2 >= 0 && c1 < c2); break;
    default: holds = c2 < 0 || (c1 >= 0 && c1 > c2); break;
    }
    if (!holds) return NILCell;
    return how == 0 ? TCell : IntToCell(i);
}
