// cfunction layer, library part: the primitives of the tools that look at
// a session (library/tools.cpp wraps each in the Lisp name users call).
#include <sys/resource.h>

#include <cctype>
#include <cstdio>
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

// Seconds of the monotonic clock, and of user and system time used.
double realSeconds() {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

double seconds(const struct timeval& t) {
    return (double)t.tv_sec + (double)t.tv_usec / 1e6;
}

void runSeconds(double* user, double* system) {
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    *user = seconds(u.ru_utime);
    *system = seconds(u.ru_stime);
}

}  // namespace

// ---------------------------------------------------------------------------
// SYMBOL-KIND$
// ---------------------------------------------------------------------------

_cell* cfunction::symbol_kind(_cell* args, _symval* frame, long count) {
    _cell* sym = EvalOne(args, frame, count);
    if (!sym) return nullptr;
    if (!isSymbol(sym)) return NILCell;
    const char* kind = nullptr;
    // Prelude functions with a C++ path carry a number from OP_F_NOT on,
    // and stay functions.
    if ((sym->closureCount != OP_NONE && sym->closureCount < OP_F_NOT) ||
        sym == VALUES || sym == READLINE || sym == EVAL1)
        kind = ":OPERATOR";
    else if (_symval* r = getFuncval2(sym))
        kind = r->value == nullptr ? nullptr
               : r->kind == 'm'    ? ":MACRO"
                                   : ":FUNCTION";
    else if (const char* text = LispTextOf(sym->car.s))
        kind = textDefinesMacro(text, sym->car.s) ? ":MACRO" : ":FUNCTION";
    if (!kind) return NILCell;
    _cell* k = getStringCell(kind);
    if (!k) {
        errorlisp(frame, count);
        return nullptr;
    }
    return k;
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
    double user0, system0;
    unsigned long collections0 = collections;
    Allocated(&cells0, &floats0, &ints0);
    runSeconds(&user0, &system0);
    double real0 = realSeconds();
    _cell* r = eval(args->car.p, frame, count);
    if (!r) return nullptr;
    double real = realSeconds() - real0;
    double user, system;
    runSeconds(&user, &system);
    user -= user0;
    system -= system0;
    unsigned long cells, floats, ints;
    Allocated(&cells, &floats, &ints);
    if (messageOut != stdout) fflush(stdout);
    fprintf(messageOut,
            "評価にかかった時間と領域:\n"
            "  実時間        %.6f 秒\n"
            "  実行時間      %.6f 秒 (ユーザー %.6f 秒、システム %.6f 秒)\n"
            "  セル          %lu 個\n"
            "  整数          %lu 個\n"
            "  浮動小数点数  %lu 個\n"
            "  ごみ集め      %lu 回\n",
            real, user + system, user, system, cells - cells0,
            ints - ints0, floats - floats0, collections - collections0);
    return r;
}
