// cfunction: eval, the classification of forms and the dispatch over the
// built-in operators, and calls of user functions.
#include <cstdlib>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

cfunction::cfunction()
    : throwValue(nullptr),
      throwTag(nullptr),
      pendingReturnValue(nullptr),
      returnFromName(nullptr),
      scriptMode(0) {
    static_assert(kExtraRoots == 4, "one root for each value of an exit");
    gcExtraRoots[0] = &throwValue;
    gcExtraRoots[1] = &throwTag;
    gcExtraRoots[2] = &pendingReturnValue;
    gcExtraRoots[3] = &returnFromName;
}

cfunction::~cfunction() {
    for (ArrayIndex& e : indexCache) free(e.cells);
    ForgetHashIndexes();
}

void cfunction::ForgetCaches() {
    for (ArrayIndex& e : indexCache) e.array = nullptr;
    ForgetHashIndexes();
    for (KeptExpansion& k : keptExpansions) k = KeptExpansion{};
    for (bool& t : lispTextTried) t = false;
    evalTop = nullptr;
    debugTop = nullptr;
    reportFailures = false;
    failureNoted = false;
    for (long& s : stringStreams) s = 0;
}

_cell* cfunction::Fail(const char* message, _symval* frame, long count) {
    PutMessage(message);
    errorlisp(frame, count);
    return nullptr;
}

_cell* cfunction::SyntaxError(_symval* frame, long count) {
    return Fail(MSG_SYNTAX, frame, count);
}

namespace {
// What BeginStep answers for Ctrl-C: not a message, the break loop says it.
const char kInterrupted[] = "";
}  // namespace

// The checks that open every evaluation step: the depth of the evaluation
// stack, and the collector when a free counter has fallen to its level.
// Null, or the message of why the step cannot run: too deep, or an area
// that the collection found full.
inline const char* cfunction::BeginStep() {
    if (__builtin_expect(interruptRequested, 0)) {
        EndIfTerminated();
        return kInterrupted;
    }
    if (StackExhausted()) return MSG_DEEP;
#if TK_GCSTRESS
    gcQuiet = 1;
    gc();
    gcQuiet = 0;
    return TakeAreaFull();
#else
    if (__builtin_expect(CollectDue(), 0)) {
        CollectNow();
        return TakeAreaFull();
    }
    return nullptr;
#endif
}

// A step that cannot run: the message and the debug loop, or for Ctrl-C
// the break loop, after whose CONTINUE the step runs after all (true).
bool cfunction::Refuse(const char* why, _symval* frame, long count) {
    while (why == kInterrupted) {
        interruptRequested = 0;
        if (!breaklisp(frame, count)) return false;
        why = BeginStep();
        if (!why) return true;
    }
    Fail(why, frame, count);
    return false;
}

bool cfunction::CheckStep(_symval* frame, long count) {
    const char* why = BeginStep();
    return !why || Refuse(why, frame, count);
}

const char* cfunction::TakeAreaFull() {
    const char* full = areaFull;
    areaFull = nullptr;
    return full;
}

// A result of `cells` cells made in one go, with no evaluation step to
// collect between them, must fit above the reserve: otherwise the step
// fails with the area's message, as one that filled the area step by step
// does, instead of eating the debug loop's reserve and ending the session.
bool cfunction::RoomForResult(long cells, _symval* frame, long count) {
    if (cells >= 0 && cells < kCellCapacity && RoomFor(cells)) return true;
    Fail("エラー: セル領域が一杯です。", frame, count);
    return false;
}

// The caller keeps `form` reachable (it is part of a protected structure or
// pushed on the cell stack): a collection may run before it is examined.
_cell* cfunction::eval(_cell* form, _symval* frame, long count) {
    TK_ASSERT(InUse(form) && hasValidTag(form));
    if (!isCons(form)) {
        // An atom is a whole evaluation step: it is answered here, without
        // the dispatch of a form. It evaluates nothing further, so it
        // cannot take evaluation deeper, and the depth is left to the
        // steps of forms: it only takes a pending interrupt or collection.
        // (The fuzzing build counts every step, atoms too, against the
        // step budget that bounds an input's run.)
#if TK_GCSTRESS || TK_FUZZ
        bool checks = true;
#else
        bool checks = __builtin_expect(interruptRequested, 0) || CollectDue();
#endif
        if (checks)
            if (const char* why = BeginStep())
                if (!Refuse(why, frame, count)) return nullptr;
        switch (form->type) {
        case kFloatingTag:
        case kIntegerTag:
        case kFractionTag:
        case kArrayTag:
        case kCharacterTag:
            return form;
        case kSymbolTag: {
            if (isKeyword(form)) {
                clearValues(form);
                return form;
            }
            if (_symval* r = FindVariable(form, frame, count))
                return r->value;
            return Fail("エラー: その変数には代入されていません", frame, count);
        }
        default:
            return SyntaxError(frame, count);
        }
    }
    LinkGuard link(this, form, frame, count, -1);
    _cell* op = form->car.p;
    // VALUES, READ-LINE and EVAL1 are no built-in operators (their number
    // is 0), so the operators skip these tests.
    if (operatorOf(op) == OP_NONE) {
        if (op == VALUES) return values(form->cdr.p, frame, count);
        if (op == READLINE) return treadline(form->cdr.p, frame, count);
        if (op == EVAL1) {
            _cell* args = form->cdr.p;
            if (!isCons(args)) return Fail(MSG_SYNTAX2, frame, count);
            _cell* v = eval(args->car.p, frame, count);
            if (!v) return nullptr;
            CellGroup g(this);
            g.push(v);
            return eval(v, frame, count);
        }
    }
    int keepValues = 0;
    _cell* r = evalu(form, frame, count, &keepValues);
    if (__builtin_expect(!r, 0)) NoteFailure();
    if (r && !(keepValues & kKeepValues)) clearValues(r);
    // The way back out of a recursion, (1+ (f ...)) at every level, runs no
    // step that could collect the frames' numbers, so a result arriving
    // with an area due is the moment to collect; unless nothing has been
    // allocated since the last look (kChecked), which found none due.
    if (r && !(keepValues & kChecked) &&
        __builtin_expect(CollectDue(), 0)) {
        CellGroup g(this);
        g.push(r);
        CollectNow();
        if (const char* why = TakeAreaFull()) return Fail(why, frame, count);
    }
    return r;
}

namespace {

inline _cell* second(_cell* args) { return args->cdr.p->car.p; }

}  // namespace

_cell* cfunction::EvalOne(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return SyntaxError(frame, count);
    return evalArg(args->car.p, frame, count);
}

// Built into eval, its only caller: a step takes one C++ frame, not two.
[[gnu::always_inline]] inline _cell* cfunction::evalu(_cell* form,
                                                      _symval* frame,
                                                      long count,
                                                      int* keepValues) {
    // Atoms never come here: eval answers them.
    if (const char* why = BeginStep())
        if (!Refuse(why, frame, count)) return nullptr;
    *keepValues = 0;

    _cell* op = form->car.p;
    _cell* args = form->cdr.p;
    if (!isSymbol(op)) {
        if (isCons(op) && op->car.p == LAMBDA) {
            // ((LAMBDA params . body) . args) is (FUNCALL #'(LAMBDA ...) . args)
            *keepValues = 1;
            CellGroup g(this);
            _cell* fn = g.push(getCell());
            fn->car.p = FUNCTION;
            fn->cdr.p = getCell();
            fn->cdr.p->car.p = op;
            _cell* call = g.push(getCell());
            call->car.p = FUNCALL;
            call->cdr.p = getCell();
            call->cdr.p->car.p = fn;
            call->cdr.p->cdr.p = args;
            return eval(call, frame, count);
        }
        return SyntaxError(frame, count);
    }

    switch (operatorOf(op)) {
    case OP_NONE:
        break;
    case OP_QUOTE:
        if (!isCons(args)) return SyntaxError(frame, count);
        *keepValues = kChecked;
        return args->car.p;
    case OP_CAR:
    case OP_CDR: {
        *keepValues = kChecked;
        _cell* v = EvalOne(args, frame, count);
        if (!v) return nullptr;
        if (!isCons(v)) return SyntaxError(frame, count);
        return op == CAR ? v->car.p : v->cdr.p;
    }
    case OP_CONS: {
        if (!hasTwo(args)) return SyntaxError(frame, count);
        CellGroup g(this);
        _cell* c = g.push(getCell());
        _cell* a = eval(args->car.p, frame, count);
        if (!a) return nullptr;
        c->car.p = a;
        _cell* d = eval(second(args), frame, count);
        if (!d) return nullptr;
        c->cdr.p = d;
        return c;
    }
    case OP_BACKQUOTE:
        return backquote(args, frame, count);
    case OP_PRINT:
        return tprint(args, frame, count, 0);
    case OP_PRIN1:
        return tprint(args, frame, count, 1);
    case OP_PRINC:
        return tprint(args, frame, count, 2);
    case OP_SET:
        return tset(args, frame, count);
    case OP_DEFPARAMETER:
        return defparameter(args, frame, count, 0);
    case OP_DEFVAR:
        return defparameter(args, frame, count, 1);
    case OP_SETQ:
        return setq(args, frame, count);
    case OP_AND:
        *keepValues = kKeepValues | kChecked;
        return tand(args, frame, count);
    case OP_OR:
        *keepValues = kKeepValues | kChecked;
        return tor(args, frame, count);
    case OP_ONEPLUS:
        if (!isCons(args)) return SyntaxError(frame, count);
        return OnePlus(args->car.p, frame, count);
    case OP_ONEMINUS:
        if (!isCons(args)) return SyntaxError(frame, count);
        return OneMinus(args->car.p, frame, count);
    case OP_ATOM:
    case OP_CONSP:
    case OP_NUMBERP:
    case OP_INTEGERP:
    case OP_NULL:
    case OP_STRINGP:
    case OP_SYMBOLP:
    case OP_CHARACTERP:
    case OP_ARRAYP: {
        *keepValues = kChecked;
        _cell* v = EvalOne(args, frame, count);
        if (!v) return nullptr;
        switch (operatorOf(op)) {
        case OP_ATOM: return truth(!isCons(v));
        case OP_CONSP: return truth(isCons(v));
        case OP_NUMBERP:
            return truth(isInteger(v) || isBunsu(v) || isFloating(v));
        case OP_INTEGERP: return truth(isInteger(v));
        case OP_NULL: return truth(isNil(v));
        case OP_STRINGP: return truth(isString(v));
        case OP_SYMBOLP: return truth(isSymbol(v));
        case OP_CHARACTERP: return truth(isMoji(v));
        default: return truth(isArray(v));
        }
    }
    case OP_EVAL: {
        _cell* v = EvalOne(args, frame, count);
        if (!v) return nullptr;
        CellGroup g(this);
        g.push(v);
        return eval(v, frame, count);
    }
    case OP_TIMES:
        return times(args, frame, count);
    case OP_PLUS:
        return plus(args, frame, count);
    case OP_MINUS:
        return minus(args, frame, count);
    case OP_DIVIDE:
        return divide(args, frame, count);
    case OP_NUMBEREQUAL:
        return numberEqualAll(args, frame, count);
    case OP_EQ:
    case OP_EQL:
    case OP_STRINGEQUAL:
    case OP_RPLACA:
    case OP_RPLACD: {
        if (!hasTwo(args)) return SyntaxError(frame, count);
        CellGroup g(this);
        _cell* a;
        _cell* b;
        if (EvalTwo(g, args, frame, count, &a, &b) <= 0) return nullptr;
        g.push(b);
        *keepValues = kChecked;
        switch (operatorOf(op)) {
        case OP_EQ: return teq(a, b);
        case OP_EQL: return teql(a, b);
        case OP_STRINGEQUAL: return StringEqual(a, b);
        case OP_RPLACA: return rplaca(a, b, frame, count);
        default: return rplacd(a, b, frame, count);
        }
    }
    case OP_PROGN:
        *keepValues = kKeepValues | kChecked;
        return tprogn(args, frame, count);
    case OP_PROG1:
        *keepValues = 1;
        return tprog1(args, frame, count);
    case OP_MINUSP: {
        _cell* v = EvalOne(args, frame, count);
        return v ? minusp(v) : nullptr;
    }
    case OP_COND:
        *keepValues = kKeepValues | kChecked;
        return condition(args, frame, count);
    case OP_IF:
        *keepValues = kKeepValues | kChecked;
        return IfClause(args, frame, count);
    case OP_DEFUN:
        return DefineFunc(args, kFunctionRecord, frame, count);
    case OP_DEFMACRO:
        return DefineFunc(args, kMacroRecord, frame, count);
    case OP_LET:
        *keepValues = 1;
        return Let(args, frame, count);
    case OP_LETAST:
        *keepValues = 1;
        return LetAst(args, frame, count);
    case OP_PROG:
        *keepValues = 1;
        return prog(args, frame, count);
    case OP_GO:
        if (!isCons(args) || !isSymbol(args->car.p))
            return SyntaxError(frame, count);
        GoSymbol = args->car.p;
        return TCell;
    case OP_APPLY:
        if (!isCons(args)) return SyntaxError(frame, count);
        *keepValues = 1;
        return apply(args, args->cdr.p, frame, count);
    case OP_FUNCALL:
        if (!isCons(args)) return SyntaxError(frame, count);
        *keepValues = 1;
        return funcall(args, args->cdr.p, frame, count);
    case OP_LIST:
        return tlist(args, frame, count);
    case OP_OPEN:
        return topen(args, frame, count);
    case OP_CLOSE:
        if (!isCons(args)) return SyntaxError(frame, count);
        return tclose(args->car.p, frame, count);
    case OP_READ:
        return tread(args, frame, count);
    case OP_CHAR:
        return tchar(args, frame, count);
    case OP_LENGTH: {
        _cell* v = EvalOne(args, frame, count);
        return v ? jlength(v) : nullptr;
    }
    case OP_COERCE:
        return coerce(args, frame, count);
    case OP_FUNCTION:
        if (!isCons(args)) return SyntaxError(frame, count);
        return function(args->car.p, frame, count);
    case OP_SPACES:
        return spaces(args, frame, count);
    case OP_TERPRI:
        return terpri(args, frame, count);
    case OP_CHAREQUAL:
        return charCompare(args, frame, count, 0);
    case OP_CHARLESS:
        return charCompare(args, frame, count, 1);
    case OP_GC:
        gc();
        if (const char* why = TakeAreaFull()) return Fail(why, frame, count);
        return TCell;
    case OP_MULTIPLEVALUELIST: {
        _cell* v = EvalOne(args, frame, count);
        if (!v) return nullptr;
        if (_cell* list = valuesOf(v)) return list;
        CellGroup g(this);
        g.push(v);
        _cell* list = getCell();
        list->car.p = v;
        return list;
    }
    case OP_BYE:
        Finish(0);
        return nullptr;     // not reached
    case OP_MACROEXPAND:
        return macroexpand(args, frame, count);
    case OP_SETARRAY:
        return SetArray(form, frame, count);
    case OP_ARRAYCAR: {
        _cell* v = EvalOne(args, frame, count);
        return v ? ArrayCar(v) : nullptr;
    }
    case OP_ARRAYCDR: {
        _cell* v = EvalOne(args, frame, count);
        return v ? ArrayCdr(v) : nullptr;
    }
    case OP_RANDOM:
    case OP_SQRT:
    case OP_EXP:
    case OP_LOG:
    case OP_SIN:
    case OP_COS:
    case OP_TAN:
    case OP_ASIN:
    case OP_ACOS:
    case OP_ATAN:
    case OP_EVENP:
    case OP_LOCALTIME:
    case OP_MAKETIME: {
        if (!isCons(args)) return SyntaxError(frame, count);
        _cell* a = args->car.p;
        switch (operatorOf(op)) {
        case OP_RANDOM: return Random(a, frame, count);
        case OP_SQRT: return jSqrt(a, frame, count);
        case OP_EXP: return jExp(a, frame, count);
        case OP_LOG: return jLog(a, frame, count);
        case OP_SIN: return jSin(a, frame, count);
        case OP_COS: return jCos(a, frame, count);
        case OP_TAN: return jTan(a, frame, count);
        case OP_ASIN: return jAsin(a, frame, count);
        case OP_ACOS: return jAcos(a, frame, count);
        case OP_ATAN: return jAtan(a, frame, count);
        case OP_EVENP: return jEvenp(a, frame, count);
        case OP_LOCALTIME: return LocalTime(a, frame, count);
        default: return MakeTime(a, frame, count);
        }
    }
    case OP_FLOOR:
    case OP_QUOTIENT: {
        _cell* r = operatorOf(op) == OP_FLOOR ? tfloor(args, frame, count)
                                                : quotient(args, frame, count);
        if (r) *keepValues = 1;
        return r;
    }
    case OP_COMPARE:
        return compare(args, frame, count);
    case OP_EXPT:
        if (!hasTwo(args)) return SyntaxError(frame, count);
        return jExpt(args->car.p, second(args), frame, count);
    case OP_NOW:
        return now();
    case OP_CHARCODE:
        if (!isCons(args)) return SyntaxError(frame, count);
        return char_to_code(args, frame, count);
    case OP_CODECHAR:
        if (!isCons(args)) return SyntaxError(frame, count);
        return code_to_char(args, frame, count);
    case OP_CATCH:
        *keepValues = 1;
        return catch_lisp(args, frame, count);
    case OP_THROW:
        return throw_lisp(args, frame, count);
    case OP_BLOCK:
        *keepValues = 1;
        return block_lisp(args, frame, count);
    case OP_RETURNFROM:
        return return_from_lisp(args, frame, count);
    case OP_UNWINDPROTECT:
        return unwind_protect(args, frame, count);
    case OP_ERROR:
        return terror(args, frame, count);
    case OP_BREAK:
        return breaklisp(frame, count);
    case OP_SYMBOLNAME:
        return symbolname(args, frame, count);
    case OP_INTERN:
    case OP_INTERNWIDE: {
        _cell* r = operatorOf(op) == OP_INTERN
                       ? t_intern(args, frame, count)
                       : t_intern_wide(args, frame, count);
        if (r) *keepValues = 1;
        return r;
    }
    case OP_SYMBOLFUNCTION:
        return symbol_function(args, frame, count);
    case OP_KIND:
        return kind_lisp(args, frame, count);
    case OP_TIME:
        *keepValues = 1;
        return time_lisp(args, frame, count);
    case OP_BOUNDP:
        return boundp_lisp(args, frame, count);
    case OP_DOCUMENTATION:
        return documentation_lisp(args, frame, count);
    case OP_APROPOS:
        return apropos_lisp(args, frame, count);
    case OP_DRIBBLE:
        return dribble_lisp(args, frame, count);
    case OP_BACKTRACE:
        *keepValues = 1;
        return backtrace_lisp(args, frame, count);
    case OP_FRAME:
        *keepValues = 1;
        return frame_lisp(args, frame, count);
    case OP_FORMATD:
        return formatd(args, frame, count);
    case OP_HANDLERCASE:
        return handler_case(args, frame, count);
    case OP_EXACT:
        return exact_lisp(args, frame, count);
    case OP_SORT:
        return sort_lisp(args, frame, count);
    case OP_HASHPUT:
        return hash_put(args, frame, count);
    case OP_HASHREMOVE:
        return hash_remove(args, frame, count);
    case OP_READCHAR:
        return read_char_lisp(args, frame, count);
    case OP_STRINGSTREAM:
        return string_stream_lisp(args, frame, count);
    case OP_STRINGCOMPARE:
        return string_compare_lisp(args, frame, count);
    case OP_FLET:
        *keepValues = 1;
        return flet(args, frame, count);
    case OP_DESTRUCTURINGBIND:
        *keepValues = 1;
        return destructuringBind(args, frame, count);
    default:
        // A local function of the name is called as the user's are, below.
        if (operatorOf(op) >= OP_F_NOT &&
            !(__builtin_expect(localFunctions, 0) &&
              LocalFunction(op, frame, count))) {
            bool declined;
            _cell* r = FastCall(op, args, frame, count, keepValues, &declined);
            if (!declined) return r;
        }
        break;
    }

    // Not a built-in: a local function, a user function or macro.
    *keepValues = 1;
    if (__builtin_expect(localFunctions, 0))
        if (_cell* fn = LocalFunction(op, frame, count))
            return CallLambda(fn, args, frame, count);
    _symval* record = FunctionOf(op);
    if (record && record->kind == kMacroRecord)
        return MacroExec(args, record, frame, count);
    if (record && record->kind == kFunctionRecord) {
        *keepValues = kKeepValues | kChecked;
        return CallUser(record, args, frame, count);
    }
    if (messageOut != stdout) fflush(stdout);
    fputs("エラー: 未定義の関数またはマクロです--", messageOut);
    printSFile(op, messageOut);
    fputc('\n', messageOut);
    errorlisp(frame, count);
    return nullptr;
}

namespace {

// The body DEFUN makes, ((BLOCK name . forms)), runs as BLOCK runs it,
// without the evaluation step of the BLOCK form itself; the forms' own
// steps check the depth and the collector as before. Parameters named by
// special symbols are bound dynamically for the extent of the body (not
// those of a library function; see kLibraryForm).
[[gnu::always_inline]] inline _cell* runDefBody(cfunction* f, _cell* def,
                                                _symval* inner, long n,
                                                long params) {
    LinkGuard link(f, def, inner, n, params);
    SpecialScope dynamic(f);
    if (!(def->symFlags & kLibraryForm)) f->BindSpecials(inner, params);
    _cell* body = def->cdr.p;
    _cell* block = isCons(body) && isNil(body->cdr.p) ? body->car.p
                                                          : nullptr;
    if (__builtin_expect(def->symFlags & kDeclaresDynamic, 0) && block)
        f->BindDeclaredDynamic(inner, params, block->cdr.p->cdr.p);
    _cell* r;
    if (block && isCons(block) && block->car.p == BLOCKLISP &&
        isCons(block->cdr.p) && isSymbol(block->cdr.p->car.p)) {
        _cell* name = block->cdr.p->car.p;
        {
            CellGroup g(f);
            g.push(body);
            r = f->tprogn(block->cdr.p->cdr.p, inner, n);
        }
        if (!r) r = f->ReceiveReturn(name);
    } else {
        r = f->tprogn(body, inner, n);
    }
    f->pendingReturnValue = nullptr;
    return r;
}

// A definition made inside a binding form or a function body carries the
// frame it was made in, as a closure does (DefineFunc): its frame has the
// parameters, then copies of the captured records, which are written back
// into the captured frame when the body ends. A top-level definition has
// none and takes the first path.
[[gnu::always_inline]] inline _cell* callDef(cfunction* f, _cell* def,
                                             _cell* args, _symval* frame,
                                             long count) {
    _cell* params = def->car.p;
    if (__builtin_expect(def->kind != kPlainDef, 0) &&
        cfunction::LambdaListShape(params, false) != cfunction::kPlainList)
        return f->CallFullDef(def, args, frame, count);
    long n = f->tlength(params);
    _symval* env = closureEnvOf(def);
    long c = env ? def->closureCount : 0;
    FrameGuard fg(f, n + c);
    _symval* inner = fg.get();
    if (n + c > 0 && !inner)
        return f->Fail("エラー: ローカル変数領域の確保に失敗しました", frame,
                       count);
    int bound = f->initTemploc(inner, n, params, args, frame, count);
    if (bound < 0) return nullptr;  // an argument reported itself
    if (bound == 0) {
        fg.close();
        return f->Fail(MSG_ARGCOUNT, frame, count);
    }
    if (__builtin_expect(c == 0, 1)) {
        fg.push(n);
        return runDefBody(f, def, inner, n, n);
    }
    for (long i = 0; i < c; i++) inner[n + i] = env[i];
    fg.push(n + c);
    _cell* r = runDefBody(f, def, inner, n + c, n);
    f->SetOrgLoc(env, c, inner, n, n + c);
    return r;
}

}  // namespace

// A DEFUN function: a fresh frame of its parameters only, arguments
// evaluated in the caller's frame, the body (a BLOCK form) run in the new
// frame. The call of a DEFUN function from eval takes one C++ frame.
_cell* cfunction::CallUser(_symval* record, _cell* args, _symval* frame,
                           long count) {
    CellGroup g(this);
    // The definition may be replaced while the arguments are evaluated;
    // the running one must stay alive.
    return callDef(this, g.push(record->value), args, frame, count);
}

_cell* cfunction::CallDef(_cell* def, _cell* args, _symval* frame,
                          long count) {
    return callDef(this, def, args, frame, count);
}

_cell* cfunction::RunDefBody(_cell* def, _symval* inner, long n,
                              long params) {
    return runDefBody(this, def, inner, n, params);
}
