// cfunction: the built-ins that the evaluator carries out itself:
// printing, assignment, comparison, definitions, lists and characters.
#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

inline bool assignable(_cell* c) { return isSymbol(c) && !isKeyword(c); }

}  // namespace

// The destination of an output function: standard output when `rest` holds
// no argument or its first form evaluates to T or NIL, else the output
// stream it evaluates to.
// Dynamic bindings are shallow: the value in force is in the global record.
FILE* cfunction::StandardOutput(_symval* frame, long count) {
    _cell* v = fastSym.standardOutput ? fastSym.standardOutput->value : nullptr;
    if (!v || !isStream(v)) return stdout;
    return DirectedStream(v, true, frame, count);
}

// T is the terminal, standard output itself, as *TERMINAL-IO* is in
// Common Lisp; NIL and no stream are *STANDARD-OUTPUT*.
FILE* cfunction::OutputArg(_cell* rest, _symval* frame, long count) {
    if (!isCons(rest)) return StandardOutput(frame, count);
    _cell* s = eval(rest->car.p, frame, count);
    if (!s) return nullptr;
    if (isNil(s)) return StandardOutput(frame, count);
    if (s == TCell) return stdout;
    if (!isStream(s)) {
        SyntaxError(frame, count);
        return nullptr;
    }
    return DirectedStream(s, true, frame, count);
}

_cell* cfunction::CopyCell(_cell* first) {
    _cell* c = getCell();
    c->type = first->type;
    c->kind = first->kind;
    c->car = first->car;
    c->cdr = first->cdr;
    if (isCons(first))  // a closure stays a closure
        setClosureEnv(c, closureEnvOf(first), first->closureCount);
    return c;
}

_cell* cfunction::MakeValues(_cell* first, _cell* list) {
    _cell* c = CopyCell(first);
    setValues(c, list);
    return c;
}

// The list (first second) goes on first itself, so first must be a cell
// that nothing else holds as a plain value. Allocation never collects, so
// neither cell needs protecting here.
_cell* cfunction::TwoValues(_cell* first, _cell* second) {
    SetValuesOn(first, ListOfTwo(this, first, second));
    return first;
}

// style: 0 PRINT, 1 PRIN1, 2 PRINC
_cell* cfunction::tprint(_cell* args, _symval* frame, long count, int style) {
    if (!isCons(args)) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* v = eval(args->car.p, frame, count);
    if (!v) return nullptr;
    g.push(v);
    FILE* out = OutputArg(args->cdr.p, frame, count);
    if (!out) return nullptr;
    bool console = out == stdout;
    switch (style) {
        case 0:
            fputc('\n', out);
            if (console)
                printS(v);
            else
                printSStrm(v, out);
            fputc(' ', out);
            break;
        case 1:
            if (console)
                printS(v);
            else
                printSStrm(v, out);
            break;
        default: princS(v, out); break;
    }
    if (!Written(out, frame, count)) return nullptr;
    return v;
}

_cell* cfunction::tset(_cell* args, _symval* frame, long count) {
    if (!hasTwo(args)) return SyntaxError(frame, count);
    CellGroup g(this);
    _cell* sym;
    _cell* v;
    if (EvalTwo(g, args, frame, count, &sym, &v) <= 0) return nullptr;
    if (!assignable(sym)) return SyntaxError(frame, count);
    globalTable[getSymVal2(sym)].value = v;
    return v;
}

_cell* cfunction::defparameter(_cell* args, _symval* frame, long count,
                               int isVar) {
    // (DEFVAR name): every binding of the name is dynamic from now on, and
    // the name gets no value.
    if (isVar && isCons(args) && isNil(args->cdr.p)) {
        _cell* sym = args->car.p;
        if (!assignable(sym)) return SyntaxError(frame, count);
        sym->symFlags |= kSpecialSymbol;
        return sym;
    }
    if (!hasTwo(args)) return SyntaxError(frame, count);
    _cell* v = eval(args->cdr.p->car.p, frame, count);
    if (!v) return nullptr;
    _cell* sym = args->car.p;
    if (!assignable(sym)) return SyntaxError(frame, count);
    // From now on every binding of the name is dynamic.
    sym->symFlags |= kSpecialSymbol;
    _cell* rest = args->cdr.p->cdr.p;
    if (isCons(rest) && isString(rest->car.p))
        NoteVariableDocumentation(sym, rest->car.p);
    long known = getSymVal(sym);
    if (isVar && known >= 0 && globalTable[known].value) return sym;
    clearValues(v);
    globalTable[getSymVal2(sym)].value = v;
    return sym;
}

// The pairs are assigned in order, each value evaluated after the previous
// assignment; an odd number of arguments is refused before any of them is
// evaluated.
_cell* cfunction::setq(_cell* args, _symval* frame, long count) {
    if (!hasTwo(args)) return SyntaxError(frame, count);
    for (_cell* p = args; isCons(p); p = p->cdr.p->cdr.p)
        if (!isCons(p->cdr.p)) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* v = nullptr;
    for (_cell* p = args; isCons(p); p = p->cdr.p->cdr.p) {
        _cell* sym = p->car.p;
        if (isKeyword(sym)) return SyntaxError(frame, count);
        v = eval(p->cdr.p->car.p, frame, count);
        if (!v) return nullptr;
        if (!isSymbol(sym)) return SyntaxError(frame, count);
        long i = getLocal(frame, count, sym);
        if (i >= 0)
            frame[i].value = v;
        else
            globalTable[getSymVal2(sym)].value = v;
    }
    return v;
}

_cell* cfunction::numberEqual(_cell* a, _cell* b) {
    char x = a->type, y = b->type;
    if (x == 'i' && y == 'i') return truth(a->car.i->value == b->car.i->value);
    if (x == 'b' && y == 'b')
        return truth(CellToBunshi(a) == CellToBunshi(b) &&
                     CellToBunbo(a) == CellToBunbo(b));
    if (x == 'b' && y == 'i') return NILCell;
    if (x == 'i' && y == 'b') return NILCell;
    auto asFloat = [](_cell* c) -> long double {
        if (isFloating(c)) return c->car.n->value;
        if (isInteger(c)) return (long double)c->car.i->value;
        return (long double)CellToBunshi(c) / (long double)CellToBunbo(c);
    };
    return truth(asFloat(a) == asFloat(b));
}

// Every argument (one or more) is evaluated and must be a number; the
// answer is T only when each is = to the next, and so all are equal.
_cell* cfunction::numberEqualAll(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* prev = eval(args->car.p, frame, count);
    if (!prev) return nullptr;
    g.push(prev);
    if (!isCons(args->cdr.p) && !isNumber(prev))
        return SyntaxError(frame, count);
    _cell* answer = TCell;
    for (_cell* p = args->cdr.p; isCons(p); p = p->cdr.p) {
        _cell* v = eval(p->car.p, frame, count);
        if (!v) return nullptr;
        g.push(v);
        if (!isNumber(prev) || !isNumber(v)) return SyntaxError(frame, count);
        if (isNil(numberEqual(prev, v))) answer = NILCell;
        prev = v;
    }
    return answer;
}

_cell* cfunction::teq(_cell* a, _cell* b) {
    switch (a->type) {
        case kSymbolTag: return truth(sameSymbol(a, b));
        case kIntegerTag:
            return truth(isInteger(b) && a->car.i->value == b->car.i->value);
        case kConsTag:
        case kArrayTag: return truth(a == b);
        default: return NILCell;
    }
}

_cell* cfunction::teql(_cell* a, _cell* b) {
    if (a == b || (isSymbol(a) && sameSymbol(a, b))) return TCell;
    if (a->type != b->type) return NILCell;
    switch (a->type) {
        case kIntegerTag: return truth(a->car.i->value == b->car.i->value);
        case kFloatingTag: return truth(a->car.n->value == b->car.n->value);
        case kFractionTag:
            return truth(CellToBunshi(a) == CellToBunshi(b) &&
                         CellToBunbo(a) == CellToBunbo(b));
        case kCharacterTag: return truth(sameMoji(a, b));
        default: return NILCell;
    }
}

int cfunction::CheckFunc(_cell* args, char kind) {
    if (!isCons(args)) return 0;
    if (!assignable(args->car.p)) return 0;
    _cell* rest = args->cdr.p;
    if (!isCons(rest)) return 0;
    _cell* params = rest->car.p;
    if (!isNil(params) && !isCons(params)) return 0;
    return LambdaListShape(params, kind == kMacroRecord) != kBadList;
}

// DEFUN and DEFMACRO: the definition is (params (BLOCK name . body)), the
// body shared with the form.
_cell* cfunction::DefineFunc(_cell* args, char kind, _symval* frame,
                             long count) {
    if (!CheckFunc(args, kind)) return SyntaxError(frame, count);
    _cell* name = args->car.p;
    _symval* record = getFuncval(name);
    _cell* sym = getStringCell(name->car.s);
    if (!sym) return nullptr;
    NoteRedefinition(sym);
    record->symbol = sym;
    NoteFuncRecord(record);
    _cell* block = getCell();
    block->car.p = BLOCKLISP;
    block->cdr.p = getCell();
    block->cdr.p->car.p = name;
    block->cdr.p->cdr.p = WithoutDeclarations(args->cdr.p->cdr.p);
    _cell* body = getCell();
    body->car.p = block;
    _cell* def = getCell();
    def->car.p = args->cdr.p->car.p;
    def->cdr.p = body;
    if (LambdaListShape(def->car.p, kind == kMacroRecord) == kPlainList)
        def->kind = kPlainDef;
    def->symFlags = args->symFlags & kLibraryForm;
    if (!def->symFlags && DeclaresDynamic(args->cdr.p->cdr.p))
        def->symFlags |= kDeclaresDynamic;
    // A function or macro defined inside a binding form or a function body
    // closes over the variables there, as a LAMBDA there does.
    if (count > 0) {
        setClosureEnv(def, frame, count);
        CaptureFrame(frame);
    }
    record->value = def;
    record->kind = kind;
    return name;
}

_cell* cfunction::tlist(_cell* args, _symval* frame, long count) {
    return EvalEach(args, frame, count, 0);
}

_cell* cfunction::spaces(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* n = eval(args->car.p, frame, count);
    if (!n) return nullptr;
    if (!isInteger(n) || n->car.i->value < 0) return SyntaxError(frame, count);
    g.push(n);
    FILE* out = OutputArg(args->cdr.p, frame, count);
    if (!out) return nullptr;
    for (long i = n->car.i->value; i > 0; i--) fputc(' ', out);
    if (!Written(out, frame, count)) return nullptr;
    return TCell;
}

_cell* cfunction::terpri(_cell* args, _symval* frame, long count) {
    FILE* out = OutputArg(args, frame, count);
    if (!out) return nullptr;
    fputc('\n', out);
    if (!Written(out, frame, count)) return nullptr;
    return TCell;
}

_cell* cfunction::charCompare(_cell* args, _symval* frame, long count,
                              int less) {
    if (!hasTwo(args)) return SyntaxError(frame, count);
    CellGroup g(this);
    _cell* a;
    _cell* b;
    if (EvalTwo(g, args, frame, count, &a, &b) <= 0) return nullptr;
    if (!isMoji(a) || !isMoji(b)) return SyntaxError(frame, count);
    bool holds = charOrder(a, b, less);
    // Further characters are each compared with the one before; all of
    // them are evaluated, whatever the answer so far.
    for (_cell* rest = args->cdr.p->cdr.p; isCons(rest); rest = rest->cdr.p) {
        a = b;
        b = evalArg(rest->car.p, frame, count);
        if (!b) return nullptr;
        g.push(b);
        if (!isMoji(b)) return SyntaxError(frame, count);
        holds = holds && charOrder(a, b, less);
    }
    return truth(holds);
}

bool cfunction::charOrder(const _cell* a, const _cell* b, int less) {
    if (!less) return sameMoji(a, b);
    // Unsigned bytes; a one-byte character sorts before any two-byte one.
    if (a->cdr.c == 0 && b->cdr.c != 0) return true;
    if (a->cdr.c != 0 && b->cdr.c == 0) return false;
    if (mojiByte(a) != mojiByte(b)) return mojiByte(a) < mojiByte(b);
    return (a->cdr.c & 0xff) < (b->cdr.c & 0xff);
}

_cell* cfunction::macroexpand(_cell* args, _symval* frame, long count) {
    _cell* v = EvalOne(args, frame, count);
    if (!v) return nullptr;
    if (isCons(v) && isSymbol(v->car.p)) {
        CellGroup g(this);
        g.push(v);
        _symval* record = FunctionOf(v->car.p);
        if (record && record->kind == kMacroRecord) {
            return MacroExec2(v->cdr.p, record, frame, count);
        }
    }
    PutMessage("エラー: 未定義のマクロです");
    return nullptr;
}

// A string followed by arguments is a FORMAT control: the message is
// (FORMAT NIL control arguments...), made by FORMAT$ so that a failing
// directive is reported as FORMAT reports it. Anything else is printed as
// it is, and further arguments are not evaluated.
_cell* cfunction::terror(_cell* args, _symval* frame, long count) {
    _cell* v = EvalOne(args, frame, count);
    if (!v) return nullptr;
    if (isString(v) && isCons(args->cdr.p)) {
        CellGroup g(this);
        g.push(args);
        g.push(v);
        ListBuilder rest(this, &g);
        for (_cell* p = args->cdr.p; isCons(p); p = p->cdr.p) {
            _cell* a = eval(p->car.p, frame, count);
            if (!a) return nullptr;
            rest.add(a);
        }
        _cell* list = rest.finish(NILCell);
        g.push(list);
        // (FORMAT$ NIL (QUOTE v) (QUOTE list)); consing never collects.
        _cell* form = getCell();
        _cell* p = form;
        p->car.p = FORMATD;
        _cell* items[3] = {NILCell, v, list};
        for (int i = 0; i < 3; i++) {
            p->cdr.p = getCell();
            p = p->cdr.p;
            if (i == 0) {
                p->car.p = items[i];
                continue;
            }
            _cell* q = getCell();
            q->car.p = QUOTE;
            q->cdr.p = getCell();
            q->cdr.p->car.p = items[i];
            p->car.p = q;
        }
        g.push(form);
        v = eval(form, frame, count);
        if (!v) return nullptr;
    }
    if (messageOut != stdout) fflush(stdout);
    princS(v, messageOut);
    fputc('\n', messageOut);
    errorlisp(frame, count);
    return nullptr;
}
