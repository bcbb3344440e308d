// Prints the vocabulary the interpreter defines, for the guide check
// (tests/guide.py), which compares it with the guides' entries:
//   operator NAME   a symbol the evaluator treats as an operator
//   prelude NAME    a function or macro the prelude defines
//   library NAME    one the library defines on first use (its helpers,
//                   whose names carry a `$`, are not listed)
// Built with the unit tests; it starts the interpreter as they do.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "eval/cfunction.h"
#include "library/lisptext.h"
#include "tests/unit/interp.h"

namespace {

// Those SetKeyword gave an operator number, and the three that eval
// recognises before its dispatch (so they carry no number).
std::set<std::string> BuiltinOperators() {
    clisp& l = Lisp();
    std::set<std::string> names;
    for (_cell** p = l.symbolTable; p < l.symbolTableEnd; p++)
        if ((*p)->closureCount != OP_NONE) names.insert((*p)->car.s);
    names.insert(VALUES->car.s);
    names.insert(READLINE->car.s);
    names.insert(EVAL1->car.s);
    return names;
}

// The names the prelude defines with DEFUN or DEFMACRO, read by the
// interpreter's own reader exactly as the loader reads them.
std::set<std::string> PreludeDefinitions() {
    clisp& l = Lisp();
    std::set<std::string> names;
    for (int i = 0; i < kPreludeCount; i++) {
        size_t len = std::strlen(ReadEvalData[i]);
        if (len >= (size_t)kLineSize) continue;
        std::memcpy(lineStr, ReadEvalData[i], len + 1);
        l.SkipTerm(lineStr);
        if (l.RewriteAll(lineStr) != 1) continue;
        _cell* e = l.readFromString(lineStr);
        if (!e || e->type != 'l' || e->cdr.p->type != 'l') continue;
        _cell* name = e->cdr.p->car.p;
        if ((e->car.p == DEFUN || e->car.p == DEFMACRO) && name->type == 's')
            names.insert(name->car.s);
    }
    return names;
}

}  // namespace

int main() {
    for (const std::string& n : BuiltinOperators())
        std::printf("operator %s\n", n.c_str());
    for (const std::string& n : PreludeDefinitions())
        std::printf("prelude %s\n", n.c_str());
    for (const LispText* const* t = kLispTextTables; *t; t++)
        for (const LispText* e = *t; e->name; e++)
            if (!std::strchr(e->name, '$'))
                std::printf("library %s\n", e->name);
    return 0;
}
