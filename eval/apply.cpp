// cfunction: function application: parameter binding, lambda expressions
// and closures, APPLY, FUNCALL, FUNCTION, RPLACA and RPLACD.
#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {
inline bool isLambda(_cell* c) {
    return isCons(c) && c->car.p == LAMBDA;
}
}  // namespace

int cfunction::initTemploc(_symval* frame, long length, _cell* params,
                           _cell* args, _symval* callerFrame,
                           long callerCount) {
    if (!frame || length == 0) return 1;
    long rest = -1;
    _cell* p = params;
    for (long i = 0; i < length; i++) {
        _cell* e = p->car.p;
        if (e == AMPREST) {
            if (i + 1 >= length) return 0;
            p = p->cdr.p;
            e = p->car.p;
            rest = i;
        }
        if (!isSymbol(e)) return 0;
        frame[i].symbol = e;
        frame[i].value = NILCell;
        p = p->cdr.p;
        if (rest >= 0) break;
    }
    if (rest >= 0) frame[length - 1].symbol = nullptr;
    if (!isSymbol(p)) return 0;

    CellGroup g(this);
    g.push(args);
    long bound = rest >= 0 ? length - 1 : length;
    for (long j = 0; j < bound; j++) {
        _cell* v;
        if (j == rest) {
            v = MakeRest(args, callerFrame, callerCount);
        } else {
            if (!isCons(args)) return 0;
            v = evalArg(args->car.p, callerFrame, callerCount);
        }
        if (!v) return -1;
        g.push(v);
        frame[j].value = v;
        args = args->cdr.p;
    }
    if (rest < 0 && !isSymbol(args)) return 0;
    return 1;
}

_cell* cfunction::MakeRest(_cell* forms, _symval* frame, long count) {
    return EvalEach(forms, frame, count, 1);
}

// A fresh list of the values of the forms, evaluated left to right. The
// list ends in NIL, or with keepTail in the atom that ends `forms`.
_cell* cfunction::EvalEach(_cell* forms, _symval* frame, long count,
                           int keepTail) {
    if (!isCons(forms)) return keepTail ? forms : NILCell;
    CellGroup g(this);
    g.push(forms);
    ListBuilder list(this, &g);
    for (; isCons(forms); forms = forms->cdr.p) {
        // The cons is in the list before the evaluation that fills it.
        _cell* cell = list.add(NILCell);
        _cell* v = evalArg(forms->car.p, frame, count);
        if (!v) return nullptr;
        cell->car.p = v;
    }
    return list.finish(keepTail ? forms : NILCell);
}

int cfunction::EvalTwo(CellGroup& g, _cell* args, _symval* frame, long count,
                       _cell** a, _cell** b) {
    if (!isCons(args)) return -1;
    g.push(args);
    *a = evalArg(args->car.p, frame, count);
    if (!*a) return 0;
    g.push(*a);
    if (!isCons(args->cdr.p)) return -1;
    *b = evalArg(args->cdr.p->car.p, frame, count);
    return *b ? 1 : 0;
}

int cfunction::EvalN(CellGroup& g, _cell* args, int n, _cell** v,
                     _symval* frame, long count) {
    g.push(args);
    for (int i = 0; i < n; i++, args = args->cdr.p) {
        if (!isCons(args)) return -1;
        v[i] = evalArg(args->car.p, frame, count);
        if (!v[i]) return 0;
        g.push(v[i]);
    }
    return 1;
}

_cell* cfunction::QuoteEach(_cell* const* values, long n, _cell* list) {
    ListBuilder quoted(this);
    auto quote = [this](_cell* x) {
        _cell* q = getCell();
        q->car.p = QUOTE;
        q->cdr.p = getCell();
        q->cdr.p->car.p = x;
        return q;
    };
    for (long i = 0; i < n; i++) quoted.add(quote(values[i]));
    for (; isCons(list); list = list->cdr.p) quoted.add(quote(list->car.p));
    return quoted.finish(NILCell);
}

// Parameters first, then copies of the captured bindings; the copies are
// written back into the captured frame when the body ends, so the closure
// sees the current values and its assignments persist.
_cell* cfunction::CallLambda(_cell* lambda, _cell* argForms, _symval* frame,
                             long count) {
    _cell* params = lambda->cdr.p->car.p;
    if (lambda->kind != kPlainDef) {
        int shape = LambdaListShape(params, false);
        if (shape == kBadList) return SyntaxError(frame, count);
        if (shape == kFullList)
            return CallFullLambda(lambda, argForms, frame, count);
    }
    CellGroup g(this);
    g.push(lambda);
    g.push(argForms);
    long e = tlength(params);
    _symval* env = closureEnvOf(lambda);
    long c = env ? lambda->closureCount : 0;
    FrameGuard fg(this, e + c);
    _symval* inner = fg.get();
    if (e + c > 0 && !inner)
        return Fail("エラー: ローカル変数領域の確保に失敗しました", frame,
                    count);
    int bound = initTemploc(inner, e, params, argForms, frame, count);
    if (bound < 0) return nullptr;
    if (bound == 0) {
        fg.close();
        return Fail("エラー: 引数が多すぎます", frame, count);
    }
    for (long i = 0; i < c; i++) inner[e + i] = env[i];
    fg.push(e + c);
    LinkGuard link(this, lambda->cdr.p, inner, e + c, e);
    SpecialScope dynamic(this);
    if (!(lambda->cdr.p->symFlags & kLibraryForm)) {
        BindSpecials(inner, e);
        BindDeclaredDynamic(inner, e, lambda->cdr.p->cdr.p);
    }
    _cell* r = tprogn(lambda->cdr.p->cdr.p, inner, e + c);
    SetOrgLoc(env, c, inner, e, e + c);
    return r;
}

void cfunction::SetOrgLoc(_symval* outer, long outerCount, _symval* inner,
                          long f, long c) {
    for (long k = c - 1; k >= f; k--) {
        if (!inner[k].symbol) continue;
        for (long i = 0; i < outerCount; i++) {
            if (outer[i].symbol && outer[i].symbol == inner[k].symbol) {
                outer[i].kind = inner[k].kind;
                outer[i].value = inner[k].value;
                break;
            }
        }
    }
}

namespace {

// The function value of APPLY or FUNCALL, the first argument form, evaluated
// with args and then the value pushed on g. Null: reported, exit.
_cell* functionValue(cfunction* f, CellGroup& g, _cell* args, _symval* frame,
                     long count) {
    g.push(args);
    _cell* fn = f->eval(args->car.p, frame, count);
    return fn ? g.push(fn) : nullptr;
}

}  // namespace

_cell* cfunction::apply(_cell* args, _cell* rest, _symval* frame,
                        long count) {
    CellGroup g(this);
    _cell* fn = functionValue(this, g, args, frame, count);
    if (!fn) return nullptr;
    // The values of the arguments before the last are spread in front of
    // the elements of the last one: they are chained, in order, and the
    // last value ends the chain.
    ListBuilder spread(this, &g);
    _cell* last = NILCell;
    for (; isCons(rest); rest = rest->cdr.p) {
        _cell* v = eval(rest->car.p, frame, count);
        if (!v) return nullptr;
        if (!isCons(rest->cdr.p)) {
            // Alone, a last value that is no list gives no arguments; after
            // spread values it would silently drop itself.
            if (!spread.empty() && !isNil(v) && !isCons(v))
                return Fail("エラー: APPLYの呼び出し方が間違っています", frame,
                            count);
            last = v;
            break;
        }
        spread.add(v);
    }
    // The quoted list, three cells an argument, is made in one go.
    g.push(last);
    long n = tlength(last, kCellCapacity);
    if (n > 0 && !RoomForResult(3 * (n + 1), frame, count)) return nullptr;
    _cell* quoted = g.push(QuoteEach(nullptr, 0, spread.finish(last)));
    return CallValue(fn, quoted, frame, count,
                     "エラー: APPLYの呼び出し方が間違っています");
}

_cell* cfunction::funcall(_cell* args, _cell* rest, _symval* frame,
                          long count) {
    CellGroup g(this);
    _cell* fn = functionValue(this, g, args, frame, count);
    if (!fn) return nullptr;
    return CallValue(fn, rest, frame, count,
                     "エラー: FUNCALLの呼び出し方が間違っています");
}

// Calls the function value of APPLY or FUNCALL with argument forms that are
// evaluated in the caller's frame: a symbol through the form (fn . forms),
// a lambda expression or closure directly. `fn` and `forms` are protected
// by the caller.
_cell* cfunction::CallValue(_cell* fn, _cell* forms, _symval* frame,
                            long count, const char* misuse) {
    if (isSymbol(fn)) {
        CellGroup g(this);
        _cell* call = g.push(getCell());
        call->car.p = fn;
        call->cdr.p = forms;
        return eval(call, frame, count);
    }
    if (isLambda(fn)) {
        if (!isCons(fn->cdr.p)) return SyntaxError(frame, count);
        return CallLambda(fn, forms, frame, count);
    }
    return Fail(misuse, frame, count);
}

// Each evaluation of #'(LAMBDA ...) makes a closure of its own: a fresh cons
// sharing the lambda's car and cdr that carries the current frame; when
// its body starts with declarations, the closure has a cdr of its own
// without them. A symbol is itself, unless it names a local function.
_cell* cfunction::function(_cell* arg, _symval* frame, long count) {
    if (isSymbol(arg)) {
        if (__builtin_expect(localFunctions, 0))
            if (_cell* fn = LocalFunction(arg, frame, count)) return fn;
        return arg;
    }
    if (isLambda(arg) && isCons(arg->cdr.p)) {
        _cell* params = arg->cdr.p->car.p;
        int shape = LambdaListShape(params, false);
        if ((isNil(params) || isCons(params)) && shape != kBadList) {
            _cell* closure = getCell();
            closure->car.p = arg->car.p;
            closure->cdr.p = arg->cdr.p;
            if (shape == kPlainList) closure->kind = kPlainDef;
            _cell* body = arg->cdr.p->cdr.p;
            _cell* kept = WithoutDeclarations(body);
            if (kept != body) {
                closure->cdr.p = getCell();
                closure->cdr.p->car.p = params;
                closure->cdr.p->cdr.p = kept;
            }
            setClosureEnv(closure, frame, count);
            CaptureFrame(frame);
            return closure;
        }
    }
    return Fail("エラー: FUNCTIONの使い方が間違っています", frame, count);
}

_cell* cfunction::rplaca(_cell* a, _cell* b, _symval* frame, long count) {
    if (!isCons(a)) return Fail("エラー: コンスではありません", frame, count);
    SetCar(a, b);
    return a;
}

_cell* cfunction::rplacd(_cell* a, _cell* b, _symval* frame, long count) {
    if (!isCons(a)) return Fail("エラー: コンスではありません", frame, count);
    SetCdr(a, b);
    return a;
}
