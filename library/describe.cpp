// cfunction layer, library part: the primitives of the tools that look at
// a session (library/tools.cpp wraps each in the Lisp name users call).
#include <sys/resource.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "eval/cfunction.h"
#include "library/lisptext.h"
#include "toplevel/symbols.h"

namespace {

// A library text defines its name as a macro when it holds
// "(defmacro name " with the name in the text's own lower case.
bool textDefinesMacro(const char* text, const char* name) {
    static const char kHead[] = "(defmacro ";
    size_t n = std::strlen(name);
    for (const char* p = std::strstr(text, kHead); p;
         p = std::strstr(p + 1, kHead)) {
        const char* q = p + sizeof kHead - 1;
        size_t i = 0;
        while (i < n && std::tolower((unsigned char)q[i]) ==
                            std::tolower((unsigned char)name[i]))
            i++;
        if (i == n && (q[n] == ' ' || q[n] == '\n')) return true;
    }
    return false;
}

// Times are kept in whole microseconds: a difference of two readings is
// then exact and never negative, where one of doubles could print as
// -0.000000 after rounding.
long long realMicroseconds() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

long long microseconds(const struct timeval& t) {
    return (long long)t.tv_sec * 1000000 + t.tv_usec;
}

void runMicroseconds(long long* user, long long* system) {
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    *user = microseconds(u.ru_utime);
    *system = microseconds(u.ru_stime);
}

// Prints a count of microseconds as seconds with six decimals.
void printSeconds(FILE* out, long long us) {
    if (us < 0) us = 0;
    fprintf(out, "%lld.%06lld", us / 1000000, us % 1000000);
}

}  // namespace

// ---------------------------------------------------------------------------
// KIND$
// ---------------------------------------------------------------------------

_cell* cfunction::kind_lisp(_cell* args, _symval* frame, long count) {
    _cell* x = EvalOne(args, frame, count);
    if (!x) return nullptr;
    const char* kind = nullptr;
    if (!isSymbol(x))
        kind = isStream(x)    ? ":STREAM"
               : isInteger(x) ? ":INTEGER"
               : isBunsu(x)   ? ":FRACTION"
               : isFloating(x) ? ":FLOAT"
               : isMoji(x)    ? ":CHARACTER"
               : isString(x)  ? ":STRING"
               : isArray(x)   ? ":ARRAY"
                              : ":CONS";
    // Prelude functions with a C++ path carry a number from OP_F_NOT on,
    // and stay functions.
    else if (isKeyword(x))
        kind = ":KEYWORD";
    else if ((operatorOf(x) != OP_NONE && operatorOf(x) < OP_F_NOT) ||
             x == VALUES || x == READLINE || x == EVAL1)
        kind = ":OPERATOR";
    else if (_symval* r = getFuncval2(x))
        kind = r->value == nullptr          ? nullptr
               : r->kind == kMacroRecord    ? ":MACRO"
                                            : ":FUNCTION";
    else if (const char* text = LispTextOf(x->car.s))
        kind = textDefinesMacro(text, x->car.s) ? ":MACRO" : ":FUNCTION";
    if (!kind) return NILCell;
    _cell* k = getStringCell(kind);
    if (!k) {
        errorlisp(frame, count);
        return nullptr;
    }
    return k;
}

_cell* cfunction::boundp_lisp(_cell* args, _symval* frame, long count) {
    _cell* x = EvalOne(args, frame, count);
    if (!x) return nullptr;
    if (!isSymbol(x)) return NILCell;
    long i = getSymVal(x);
    return truth(i >= 0 && globalTable[i].value != nullptr);
}

// ---------------------------------------------------------------------------
// DOCUMENTATION$ and APROPOS$
// ---------------------------------------------------------------------------

void cfunction::NoteVariableDocumentation(_cell* sym, _cell* doc) {
    _cell* table = getStringCell("VARIABLE-DOCUMENTATION$");
    if (!table) return;     // the symbol table is full: no documentation
    _symval* record = globalTable + getSymVal2(table);
    if (!record->value) record->value = NILCell;
    for (_cell* p = record->value; isCons(p); p = p->cdr.p)
        if (isCons(p->car.p) && p->car.p->car.p == sym) {
            SetCdr(p->car.p, doc);
            return;
        }
    _cell* entry = getCell();
    entry->car.p = sym;
    entry->cdr.p = doc;
    _cell* link = getCell();
    link->car.p = entry;
    link->cdr.p = record->value;
    record->value = link;
}

_cell* cfunction::documentation_lisp(_cell* args, _symval* frame,
                                     long count) {
    CellGroup g(this);
    _cell* x = EvalOne(args, frame, count);
    if (!x) return nullptr;
    g.push(x);
    _cell* language = isCons(args) ? EvalOne(args->cdr.p, frame, count)
                                   : nullptr;
    if (!language) return nullptr;
    if (!isSymbol(x)) return NILCell;
    bool english = isSymbol(language) &&
                   std::strcmp(language->car.s, ":EN") == 0;
    for (const DocText* d = kDocTexts; d->name; d++) {
        if (std::strcmp(d->name, x->car.s) != 0) continue;
        return StringOfBytes(english && d->en ? d->en : d->ja);
    }
    return NILCell;
}

namespace {

// The name holds the pattern, ASCII letters of either case being equal.
bool containsFolded(const char* name, const char* pattern) {
    size_t n = std::strlen(pattern);
    for (const char* p = name;; p++) {
        size_t i = 0;
        while (i < n && std::toupper((unsigned char)p[i]) ==
                            std::toupper((unsigned char)pattern[i]))
            i++;
        if (i == n) return true;
        if (!*p) return false;
    }
}

int byName(const void* a, const void* b) {
    return std::strcmp((*static_cast<_cell* const*>(a))->car.s,
                       (*static_cast<_cell* const*>(b))->car.s);
}

}  // namespace

_cell* cfunction::apropos_lisp(_cell* args, _symval* frame, long count) {
    _cell* x = EvalOne(args, frame, count);
    if (!x) return nullptr;
    static constexpr int kPatternSize = 1024;
    char pattern[kPatternSize];
    int n = 0;
    if (isSymbol(x)) {
        const char* name = x->car.s;
        if (*name == ':') name++;
        if (std::strlen(name) >= (size_t)kPatternSize)
            return Fail("エラー: APROPOSの文字列が長すぎます", frame, count);
        std::strcpy(pattern, name);
    } else if (isString(x)) {
        for (_cell* p = stringChars(x); isCons(p); p = p->cdr.p) {
            if (!isMoji(p->car.p)) break;
            if (n >= kPatternSize - 1)
                return Fail("エラー: APROPOSの文字列が長すぎます", frame,
                            count);
            pattern[n++] = (char)mojiByte(p->car.p);
        }
        pattern[n] = '\0';
    } else {
        return Fail("エラー: APROPOSの引数が文字列ではありません", frame, count);
    }
    // The library's names are interned first, as the reader would intern
    // them, so that the walk below finds them with the others.
    for (const LispText* const* t = kLispTextTables; *t; t++)
        for (const LispText* e = *t; e->name; e++)
            if (!std::strchr(e->name, '$') && containsFolded(e->name, pattern))
                if (!getStringCell(e->name)) {
                    errorlisp(frame, count);
                    return nullptr;
                }
    long size = symbolTableEnd - symbolTable;
    _cell** found = static_cast<_cell**>(std::malloc(sizeof(_cell*) * (size + 1)));
    if (!found) return Fail("エラー: APROPOSの作業領域が取れません", frame, count);
    long m = 0;
    for (_cell** p = symbolTable; p < symbolTableEnd; p++)
        if ((*p)->kind != kUninternedKind && !std::strchr((*p)->car.s, '$') &&
            containsFolded((*p)->car.s, pattern))
            found[m++] = *p;
    std::qsort(found, m, sizeof(_cell*), byName);
    // NIL and T are registered twice; a name is listed once.
    _cell* list = NILCell;
    for (long i = m; i > 0; --i) {
        if (i < m && found[i] == found[i - 1]) continue;
        _cell* c = getCell();
        c->car.p = found[i - 1];
        c->cdr.p = list;
        list = c;
    }
    std::free(found);
    return list;
}

// ---------------------------------------------------------------------------
// TIME$
// ---------------------------------------------------------------------------

// The form is evaluated in the caller's frame, so TIME sees its local
// variables. Its result goes back with its values, unprotected: nothing
// below allocates. A failure or an exit of the form prints no report.
_cell* cfunction::time_lisp(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return SyntaxError(frame, count);
    unsigned long cells0, floats0, ints0;
    long long user0, system0;
    unsigned long collections0 = policy.collections;
    Allocated(&cells0, &floats0, &ints0);
    runMicroseconds(&user0, &system0);
    long long real0 = realMicroseconds();
    _cell* r = eval(args->car.p, frame, count);
    if (!r) return nullptr;
    long long real = realMicroseconds() - real0;
    long long user, system;
    runMicroseconds(&user, &system);
    user -= user0;
    system -= system0;
    unsigned long cells, floats, ints;
    Allocated(&cells, &floats, &ints);
    if (messageOut != stdout) fflush(stdout);
    FILE* out = messageOut;
    fputs("評価にかかった時間と領域:\n  実時間        ", out);
    printSeconds(out, real);
    fputs(" 秒\n  実行時間      ", out);
    printSeconds(out, user + system);
    fputs(" 秒 (ユーザー ", out);
    printSeconds(out, user);
    fputs(" 秒、システム ", out);
    printSeconds(out, system);
    fprintf(out,
            " 秒)\n"
            "  セル          %lu 個\n"
            "  整数          %lu 個\n"
            "  浮動小数点数  %lu 個\n"
            "  ごみ集め      %lu 回\n",
            cells - cells0, ints - ints0, floats - floats0,
            policy.collections - collections0);
    return r;
}

// ---------------------------------------------------------------------------
// DRIBBLE$
// ---------------------------------------------------------------------------

_cell* cfunction::dribble_lisp(_cell* args, _symval* frame, long count) {
    _cell* x = EvalOne(args, frame, count);
    if (!x) return nullptr;
    if (isNil(x)) return truth(EndDribble());
    static constexpr int kPathMax = 4096;
    char path[kPathMax];
    if (!toPathMojiretsu(x, path, kPathMax))
        return Fail("エラー: DRIBBLEの引数がファイル名ではありません", frame, count);
    if (!StartDribble(path))
        return Fail("エラー: DRIBBLEのファイルが開けません", frame, count);
    return TCell;
}
