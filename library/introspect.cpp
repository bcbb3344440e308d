// cfunction layer, library part: the primitives of the tools that look at
// a session (library/tools.cpp wraps each in the Lisp name users call).
#include <cctype>
#include <cstring>

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
