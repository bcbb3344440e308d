// cfunction layer, library part: SYMBOL-NAME and SYMBOL-FUNCTION.
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

// The string is built from the name's bytes as they are, one character per
// byte; the name is never decoded as literal text, so a backslash or a
// double quote in a name survives unchanged and no length limit applies.
_cell* cfunction::symbolname(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return Fail("引数が足りません", frame, count);
    _cell* sym = eval(car(args), frame, count);
    if (sym == nullptr) return nullptr;
    if (!isSymbol(sym)) return Fail("シンボルではありません", frame, count);
    const char* name = sym->car.s;
    if (*name == ':') ++name;
    return StringOfBytes(name);
}

_cell* cfunction::StringOfBytes(const char* text) {
    // Built from the last byte backwards, so each cell is consed in front.
    _cell* chars = NILCell;
    for (size_t i = std::strlen(text); i > 0; --i) {
        _cell* c = getCell();
        c->car.p = getMojiCell((signed char)text[i - 1], 0);
        c->cdr.p = chars;
        chars = c;
    }
    return MakeMojiretsu(chars);
}

_cell* cfunction::symbol_function(_cell* args, _symval* frame, long count) {
    if (!isCons(args))
        return Fail("エラー: SYMBOL-FUNCTIONの引数が異常です\n", frame, count);
    _cell* x = eval(car(args), frame, count);
    if (x == nullptr) return nullptr;
    _symval* rec = FunctionOf(x);
    if (rec == nullptr || rec->value == nullptr)
        return Fail("エラー: システム関数、または未定義の関数またはマクロです\n",
                    frame, count);
    _cell* c = getCell();
    c->car.p = rec->kind == kFunctionRecord ? FUNCTION : MACRO;
    c->cdr.p = rec->value;
    return c;
}
