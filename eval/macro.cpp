// cfunction layer, evaluator part: macro calls and expansion, backquote
// templates, and the list helpers Copy, LastCell and tlength.
#include <cstdio>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

const char kFrameRefused[] = "エラー: ローカル変数領域の確保に失敗しました";
const char kNotList[] = "エラー: リストでないものは連結できません。";
const char kNoValue[] = "エラー: ,の後に値がありません。";


}  // namespace

// ---------------------------------------------------------------------------
// List helpers
// ---------------------------------------------------------------------------

// Copies every cons reachable through car and cdr; atoms are shared. A
// copied cons keeps the captured frame of a closure, so that a lambda
// expression spliced into a template still sees its bindings. The cdr chain
// is followed in a loop; only car nesting recurses, and it stops with a
// message (no debug loop) before the C stack runs out. Allocation never
// collects, so nothing needs protecting here.
// Within CopyOrReport, a copy that would take the cells the debug loop
// keeps in reserve stops at once, with copyRanOut set and nothing printed.
_cell* cfunction::Copy(_cell* c) {
    if (!isCons(c)) return c;
    if (StackExhausted()) {
        PutMessage(MSG_DEEP);
        return nullptr;
    }
    ListBuilder copy(this);
    _cell* p = c;
    for (; isCons(p); p = p->cdr.p) {
        if (__builtin_expect(policy.freeCells <= policy.CellFloor(), 0) &&
            copyStopsAtReserve) {
            copyRanOut = true;
            return nullptr;
        }
        _cell* car = Copy(p->car.p);
        if (!car) return nullptr;
        _cell* n = copy.add(car);
        // A fresh cons has no frame and no values: only a closure's
        // frame needs setting.
        if (_symval* env = closureEnvOf(p)) {
            setClosureEnv(n, env, p->closureCount);
            if (p->kind == kPlainDef) n->kind = kPlainDef;
        } else if (p->extraKind == 0) {
            // The file and line of a form read from a file (backtrace.cpp),
            // so that a macro's expansion still tells where its forms are.
            n->closureCount = p->closureCount;
        }
    }
    return copy.finish(p);
}

_cell* cfunction::CopyOrReport(_cell* c, _symval* frame, long count) {
    copyRanOut = false;
    copyStopsAtReserve = true;
    _cell* r = Copy(c);
    copyStopsAtReserve = false;
    if (r || !copyRanOut) return r;
    // What was copied is garbage now: collect, and try once more. A copy
    // that still does not fit (an expansion whose shared parts multiply
    // when copied) is the cell area's error, not the session's end.
    CollectForRoom();
    copyRanOut = false;
    copyStopsAtReserve = true;
    r = Copy(c);
    copyStopsAtReserve = false;
    if (r || !copyRanOut) return r;
    copyRanOut = false;
    return Fail("エラー: セル領域が一杯です。", frame, count);
}

_cell* cfunction::LastCell(_cell* c) {
    if (!isCons(c)) return c;
    while (isCons(c->cdr.p)) c = c->cdr.p;
    return c;
}

long cfunction::tlength(_cell* c, long limit, bool* proper) {
    long n = 0;
    for (; isCons(c); c = c->cdr.p) {
        if (++n > limit) {
            if (proper) *proper = false;
            return -1;
        }
    }
    if (proper) *proper = isNil(c);
    return n;
}

// ---------------------------------------------------------------------------
// Macro calls
// ---------------------------------------------------------------------------

// Binds the macro frame of `count` records (count = tlength(params)): the
// plain parameters take the arguments one each, unevaluated; &REST or &BODY
// and one symbol, which must end the list, take the whole remaining
// argument list. The record the rest word accounts for is left unnamed.
// 0 when the parameter list or the number of arguments does not fit.
int cfunction::initTemplocForMacro(_symval* frame, long count, _cell* params,
                                   _cell* args) {
    long rest = -1;
    long named = 0;
    _cell* p = params;
    while (named < count && isCons(p)) {
        _cell* e = p->car.p;
        if (e == AMPREST || e == AMPBODY) {
            if (!isCons(p->cdr.p)) return 0;
            p = p->cdr.p;
            e = p->car.p;
            rest = named;
        }
        if (!isSymbol(e)) return 0;
        frame[named].symbol = e;
        named++;
        p = p->cdr.p;
        if (rest >= 0) break;
    }
    if (!isSymbol(p)) return 0;

    _cell* a = args;
    for (long j = 0; j < named; j++) {
        if (j == rest) {
            frame[j].value = a;
            a = NILCell;
            break;
        }
        if (!isCons(a)) return 0;
        frame[j].value = a->car.p;
        a = a->cdr.p;
    }
    if (rest < 0) return isSymbol(a) ? 1 : 0;
    if (count > named) frame[count - 1].symbol = nullptr;
    return 1;
}

namespace {

// The parts of a definition (params (BLOCK name . body)); a definition
// altered by the program into another shape binds nothing and expands to
// NIL rather than crashing.
_cell* defParams(_cell* def) { return isCons(def) ? def->car.p : NILCell; }
_cell* defBody(_cell* def) { return isCons(def) ? def->cdr.p : NILCell; }

// Kept expansions.
//
// A macro whose body is one backquote template, filled only from its
// parameters, through IF, CAR and CDR, expands the same call the same way
// every time: the expansion depends only on the conses and atoms of the
// argument list and of the definition, and evaluating the body changes
// nothing but to clear the multiple values of cells it takes out of the
// arguments, which stay clear until the program puts values on an
// existing cell (counted in cellChanges). Such a call's expansion is kept
// and used again, instead of running the body, while the call has the
// same argument list and definition, cellChanges has not moved (no cons
// was changed) and no collection has run (every cell it holds is still in
// use and is the same cell). Each use is copied as a fresh expansion is.
//
// The body's own evaluation steps are skipped, so an expansion is used
// only when none of them could have stopped: no Ctrl-C or collection
// pending, and room enough for the depth of the body's forms, which is
// bounded below, with a wide margin.
constexpr long kPureCells = 512;        // conses of a template examined
constexpr int kPureDepth = 32;          // nesting of a template or a form
constexpr long kExpandBytes = 1L << 20;
constexpr long kExpandEntries = 4096;

// A form of the body's evaluation whose value follows from the arguments.
bool pureForm(_cell* e, _symval* mf, long n, int depth, long* budget) {
    if (!isCons(e)) {
        switch (e->type) {
        case kIntegerTag: case kFloatingTag: case kFractionTag:
        case kArrayTag: case kCharacterTag:
            return true;    // answers itself
        case kSymbolTag:           // a parameter, never a global variable
            if (isKeyword(e)) return false;
            for (long i = 0; i < n; i++)
                if (mf[i].symbol == e) return true;
            return false;
        default:
            return false;
        }
    }
    if (depth > kPureDepth || --*budget < 0) return false;
    _cell* op = e->car.p;
    if (!isSymbol(op)) return false;
    long forms = 0;
    _cell* p = e->cdr.p;
    for (; isCons(p); p = p->cdr.p) {
        if (--*budget < 0 || !pureForm(p->car.p, mf, n, depth + 1, budget))
            return false;
        forms++;
    }
    if (!isNil(p)) return false;
    switch (operatorOf(op)) {
    case OP_CAR:
    case OP_CDR:
        return forms == 1;
    case OP_IF:
        return forms == 2 || forms == 3;
    default:
        return false;
    }
}

// A template (as backquote2 walks it) whose unquoted forms are pure.
bool pureTemplate(_cell* t, _symval* mf, long n, int depth, long* budget) {
    if (!isCons(t)) return true;
    if (depth > kPureDepth) return false;
    for (_cell* p = t; isCons(p);) {
        if (--*budget < 0) return false;
        if (p->car.p != COMMA) {
            if (!pureTemplate(p->car.p, mf, n, depth + 1, budget))
                return false;
            p = p->cdr.p;
            continue;
        }
        _cell* after = p->cdr.p;
        if (isCons(after) && after->car.p == AST) {
            _cell* x = after->cdr.p;
            if (!isCons(x) || !pureForm(x->car.p, mf, n, 0, budget))
                return false;
            p = x->cdr.p;
            continue;
        }
        if (!isCons(after) || !pureForm(after->car.p, mf, n, 0, budget))
            return false;
        p = after->cdr.p;
    }
    return true;
}

bool isOperator(_cell* c, long op) {
    return isSymbol(c) && operatorOf(c) == op;
}

// The definition is (params (BLOCK name (BACKQUOTE template))), as DEFMACRO
// makes it for a body of one backquote, and the template is a pure list.
bool pureBody(_cell* def, _symval* mf, long n) {
    _cell* body = defBody(def);
    if (!isCons(body) || isCons(body->cdr.p)) return false;
    _cell* block = body->car.p;
    if (!isCons(block) || !isOperator(block->car.p, OP_BLOCK)) return false;
    _cell* named = block->cdr.p;
    if (!isCons(named) || !isSymbol(named->car.p)) return false;
    _cell* forms = named->cdr.p;
    if (!isCons(forms) || isCons(forms->cdr.p)) return false;
    _cell* form = forms->car.p;
    if (!isCons(form) || !isOperator(form->car.p, OP_BACKQUOTE) ||
        !isCons(form->cdr.p))
        return false;
    long budget = kPureCells;
    _cell* tmpl = form->cdr.p->car.p;
    return isCons(tmpl) && pureTemplate(tmpl, mf, n, 0, &budget);
}

KeptExpansion& keptSlot(cfunction* f, _cell* args) {
    unsigned long i = (unsigned long)(args - f->cellArea);
    return f->keptExpansions[(i * 2654435761UL >> 8) % kKeptExpansions];
}

bool usable(cfunction* f, const KeptExpansion& k, _cell* args, _cell* def) {
    return k.args == args && k.def == def &&
           f->StillGood(k.stamp, f->cellChanges) && k.expansion &&
           !__builtin_expect(interruptRequested, 0) && !f->CollectDue() &&
           !f->TooDeep(kExpandBytes, kExpandEntries);
}

// MacroExec and MacroExec2: bind the arguments, unevaluated, in a frame of
// the macro's parameters alone (the body never sees the caller's locals),
// push it and run the body there; its value is the expansion. A copy of
// the expansion is the result, or with `evaluate` the value of that copy
// in the caller's frame, evaluated while the macro frame is still pushed.
// The copy keeps evaluation from altering structure that the macro body
// may hand out again (a FUNCTION form stores its frame into its lambda
// expression). The macro frame is popped and released on every way out.
_cell* callMacro(cfunction* f, _cell* args, _symval* record, _symval* frame,
                 long count, bool evaluate) {
    CellGroup g(f);
    g.push(args);
    _cell* def = record->value;
    if (def) g.push(def);
    _cell* params = defParams(def);
    // A full lambda list: its bindings follow from the arguments when it
    // has no default forms (pure), and only then may the expansion be kept.
    bool plain = (isCons(def) && def->kind == kPlainDef) ||
                 cfunction::LambdaListShape(params, true) ==
                     cfunction::kPlainList;
    bool pure = true;
    long n = plain ? f->tlength(params)
                   : cfunction::LambdaListRecords(params, true, &pure);
    if (n < 0) return f->SyntaxError(frame, count);
    // A macro defined inside a binding form sees its variables: copies of
    // them follow the parameters and are written back after the body. Its
    // expansion may then depend on them, so none is kept.
    _symval* env = def ? closureEnvOf(def) : nullptr;
    long c = env ? def->closureCount : 0;
    if (env) pure = false;
    FrameGuard fg(f, n + c);
    _symval* mf = fg.get();
    if (n + c > 0 && !mf) return f->Fail(kFrameRefused, frame, count);
    for (long i = 0; i < c; i++) mf[n + i] = env[i];
    if (plain) {
        if (!f->initTemplocForMacro(mf, n, params, args)) {
            fg.close();
            return f->Fail(MSG_ARGCOUNT, frame, count);
        }
        fg.push(n + c);
    } else {
        fg.push(n + c);
        if (!f->BindFull(params, args, true, mf, n, n + c, fg, MSG_ARGCOUNT,
                         frame, count))
            return nullptr;
    }
    KeptExpansion& kept = keptSlot(f, args);
    _cell* result;
    if (pure && usable(f, kept, args, def)) {
        result = kept.expansion;
    } else {
        result = f->tprogn(defBody(def), mf, n + c);
        f->SetOrgLoc(env, c, mf, n, n + c);
        if (result && pure && pureBody(def, mf, n))
            kept = KeptExpansion{args, def, f->StampNow(f->cellChanges),
                                 result};
    }
    if (result) {
        g.push(result);
        result = f->CopyOrReport(result, frame, count);
    }
    if (result && evaluate) {
        g.push(result);
        result = f->eval(result, frame, count);
    }
    return result;
}

}  // namespace

_cell* cfunction::MacroExec(_cell* args, _symval* record, _symval* frame,
                            long count) {
    return callMacro(this, args, record, frame, count, true);
}

_cell* cfunction::MacroExec2(_cell* args, _symval* record, _symval* frame,
                             long count) {
    return callMacro(this, args, record, frame, count, false);
}

// ---------------------------------------------------------------------------
// Backquote
//
// The reader turns `T into (BACKQUOTE T), ,X into the elements COMMA X and
// ,@X into COMMA AST X. There are no nesting levels: every comma at any
// depth belongs to the outermost backquote.
// ---------------------------------------------------------------------------

_cell* cfunction::backquote(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return Fail(MSG_SYNTAX2, frame, count);
    if (args->car.p == COMMA) {
        _cell* rest = args->cdr.p;
        if (isCons(rest) && rest->car.p == AST)
            return Fail(MSG_SYNTAX2, frame, count);
        if (isCons(rest) && isNil(rest->cdr.p)) {
            CellGroup g(this);
            g.push(args);
            return eval(rest->car.p, frame, count);
        }
    }
    return backquote2(args->car.p, frame, count);
}

// Every cons of the template is built afresh; an unquoted value goes in as
// it is, a spliced list is copied. The list level is walked in a loop (the
// template's cdr chain, splices included); only car nesting recurses.
_cell* cfunction::backquote2(_cell* tmpl, _symval* frame, long count) {
    if (!isCons(tmpl)) return tmpl;
    if (StackExhausted()) return Fail(MSG_DEEP, frame, count);
    CellGroup g(this);
    g.push(tmpl);
    ListBuilder list(this, &g);    // its head protected once it exists

    _cell* p = tmpl;
    while (isCons(p)) {
        if (p->car.p != COMMA) {
            _cell* car = backquote2(p->car.p, frame, count);
            if (!car) return nullptr;
            list.add(car);
            p = p->cdr.p;
            continue;
        }
        _cell* after = p->cdr.p;
        if (isCons(after) && after->car.p == AST) {
            // A splice: COMMA AST X.
            _cell* x = after->cdr.p;
            if (!isCons(x)) return Fail(kNoValue, frame, count);
            _cell* v = eval(x->car.p, frame, count);
            if (!v) return nullptr;
            if (!isNil(v)) {
                if (!isCons(v)) return Fail(kNotList, frame, count);
                CellGroup held(this);
                held.push(v);
                _cell* copy = CopyOrReport(v, frame, count);
                if (!copy) return nullptr;
                list.append(copy, LastCell(copy));
            }
            p = x->cdr.p;
            continue;
        }
        if (!isCons(after)) return Fail(kNoValue, frame, count);
        // An unquote: COMMA X.
        _cell* v = eval(after->car.p, frame, count);
        if (!v) return nullptr;
        list.add(v);
        p = after->cdr.p;
    }
    // The template's own tail (NIL, or the atom of a dotted template).
    return list.finish(p);
}
