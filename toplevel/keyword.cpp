// clisp: the built-in names: one global per name, interned at start-up,
// with the operator number that the evaluator dispatches on.
#include "toplevel/clisp.h"
#include "toplevel/symbols.h"

#define TK_DEFINE_SYMBOL(global, name) _cell* global;
TK_SYMBOL_TABLE(TK_DEFINE_SYMBOL)
#undef TK_DEFINE_SYMBOL

namespace {

struct OperatorEntry {
    _cell** symbol;
    int op;
};

const OperatorEntry kOperators[] = {
    {&QUOTE, OP_QUOTE}, {&CAR, OP_CAR}, {&CDR, OP_CDR}, {&CONS, OP_CONS},
    {&BACKQUOTE, OP_BACKQUOTE}, {&PRINT, OP_PRINT}, {&PRIN1, OP_PRIN1},
    {&PRINC, OP_PRINC}, {&SET, OP_SET}, {&DEFPARAMETER, OP_DEFPARAMETER},
    {&DEFVAR, OP_DEFVAR}, {&SETQ, OP_SETQ}, {&AND, OP_AND}, {&OR, OP_OR},
    {&ONEPLUS, OP_ONEPLUS}, {&ONEMINUS, OP_ONEMINUS}, {&ATOM, OP_ATOM},
    {&CONSP, OP_CONSP}, {&NUMBERP, OP_NUMBERP}, {&INTEGERP, OP_INTEGERP},
    {&EVAL, OP_EVAL}, {&TIMES, OP_TIMES}, {&PLUS, OP_PLUS},
    {&MINUS, OP_MINUS}, {&DIVIDE, OP_DIVIDE},
    {&NUMBEREQUAL, OP_NUMBEREQUAL}, {&EQ, OP_EQ}, {&EQL, OP_EQL},
    {&NULLP, OP_NULL}, {&PROGN, OP_PROGN}, {&PROG1, OP_PROG1},
    {&MINUSP, OP_MINUSP}, {&COND, OP_COND}, {&IF, OP_IF},
    {&DEFUN, OP_DEFUN}, {&DEFMACRO, OP_DEFMACRO}, {&LET, OP_LET},
    {&LETAST, OP_LETAST}, {&PROG, OP_PROG}, {&GO, OP_GO},
    {&APPLY, OP_APPLY}, {&FUNCALL, OP_FUNCALL}, {&LIST, OP_LIST},
    {&TOPEN, OP_OPEN}, {&TCLOSE, OP_CLOSE}, {&TREAD, OP_READ},
    {&CHAR, OP_CHAR}, {&STRINGP, OP_STRINGP}, {&LENGTH, OP_LENGTH},
    {&COERCE, OP_COERCE}, {&FUNCTION, OP_FUNCTION}, {&SPACES, OP_SPACES},
    {&TERPRI, OP_TERPRI}, {&STRINGEQUAL, OP_STRINGEQUAL},
    {&CHAREQUAL, OP_CHAREQUAL}, {&CHARLESS, OP_CHARLESS}, {&GC, OP_GC},
    {&MULTIPLEVALUELIST, OP_MULTIPLEVALUELIST}, {&RPLACA, OP_RPLACA},
    {&RPLACD, OP_RPLACD}, {&SYMBOLP, OP_SYMBOLP},
    {&CHARACTERP, OP_CHARACTERP}, {&BYE, OP_BYE}, {&QUIT, OP_BYE},
    {&EXIT, OP_BYE}, {&MACROEXPAND, OP_MACROEXPAND},
    {&SETARRAY, OP_SETARRAY}, {&ARRAYCAR, OP_ARRAYCAR},
    {&ARRAYCDR, OP_ARRAYCDR}, {&ARRAYP, OP_ARRAYP}, {&RANDOM, OP_RANDOM},
    {&SQRT, OP_SQRT}, {&EXPT, OP_EXPT}, {&EXP, OP_EXP}, {&LOG, OP_LOG},
    {&SIN, OP_SIN}, {&COS, OP_COS}, {&TAN, OP_TAN}, {&ASIN, OP_ASIN},
    {&ACOS, OP_ACOS}, {&ATAN, OP_ATAN}, {&EVENP, OP_EVENP},
    {&FLOOR, OP_FLOOR}, {&NOW, OP_NOW}, {&LOCALTIME, OP_LOCALTIME},
    {&MAKETIME, OP_MAKETIME}, {&CHARCODE, OP_CHARCODE},
    {&CODECHAR, OP_CODECHAR}, {&CATCHLISP, OP_CATCH},
    {&THROWLISP, OP_THROW}, {&BLOCKLISP, OP_BLOCK},
    {&RETURNFROMLISP, OP_RETURNFROM}, {&UNWINDPROTECT, OP_UNWINDPROTECT},
    {&ERRORLISP, OP_ERROR}, {&BREAKLISP, OP_BREAK},
    {&SYMBOLNAME, OP_SYMBOLNAME}, {&TINTERN, OP_INTERN},
    {&TINTERNWIDE, OP_INTERNWIDE}, {&SYMBOLFUNCTION, OP_SYMBOLFUNCTION},
    // The primitives of the tools (library/describe.cpp).
    {&KINDLISP, OP_KIND}, {&TIMELISP, OP_TIME}, {&BOUNDPLISP, OP_BOUNDP},
    {&DOCUMENTATIONLISP, OP_DOCUMENTATION}, {&APROPOSLISP, OP_APROPOS},
    {&DRIBBLELISP, OP_DRIBBLE},
    {&FORMATD, OP_FORMATD},
    {&HANDLERCASE, OP_HANDLERCASE},
    {&EXACTLISP, OP_EXACT},
    {&SORTLISP, OP_SORT},
    {&READCHARLISP, OP_READCHAR},
    {&FLETLISP, OP_FLET}, {&DESTRUCTURINGBIND, OP_DESTRUCTURINGBIND},
    {&QUOTIENTD, OP_QUOTIENT}, {&COMPARED, OP_COMPARE},
    {&BACKTRACELISP, OP_BACKTRACE}, {&FRAMELISP, OP_FRAME},
    {&STRINGSTREAMD, OP_STRINGSTREAM}, {&STRINGCOMPARED, OP_STRINGCOMPARE},
    {&HASHPUTD, OP_HASHPUT}, {&HASHREMOVED, OP_HASHREMOVE},
};

}  // namespace

void clisp::SetKeyword() {
#define TK_REGISTER(global, name)                                            \
    global = getStringCell(name);                                            \
    if (&global == &T) {                                                     \
        globalTable[getSymVal2(NIL)].value = NILCell;                        \
        globalTable[getSymVal2(T)].value = TCell;                            \
    }
    TK_SYMBOL_TABLE(TK_REGISTER)
#undef TK_REGISTER
    // Symbols made before NIL existed have a null cdr; a symbol's cdr is
    // NIL everywhere else.
    for (_cell** p = symbolTable; p < symbolTableEnd; p++)
        if (!(*p)->cdr.p) (*p)->cdr.p = NILCell;
    for (const OperatorEntry& e : kOperators) setOperatorOf(*e.symbol, e.op);
    SetScriptMode(0);
    // The file LOAD or the script reader is reading; none at first.
    globalTable[getSymVal2(getStringCell("*LOAD-PATHNAME*"))].value = NILCell;
}

// SCRIPT-MODE$ tells the prelude's WITH-OPEN-FILE not to print CLOSED on
// a script's standard output, which is the program's alone.
void clisp::SetScriptMode(int on) {
    scriptMode = on;
    messageOut = on ? stderr : stdout;
    _cell* sym = getStringCell("SCRIPT-MODE$");
    globalTable[getSymVal2(sym)].value = on ? TCell : NILCell;
}
