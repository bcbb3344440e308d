// cfunction layer, evaluator part: the control forms that sequence, branch
// and bind (PROGN, PROG1, AND, OR, COND, IF, LET, LET*, PROG** with its
// labels and the jumps of GO) and VALUES.
#include <cstdio>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

// A GO only records its label (GoSymbol); the PROG** body whose statement
// it was makes the jump when that statement returns.

namespace {

const char kFrameRefused[] = "エラー: 局所変数域の確保に失敗しました。";
const char kNoLabel[] = "エラー: ラベルが見つかりません。";


}  // namespace

// ---------------------------------------------------------------------------
// Sequencing and branching
// ---------------------------------------------------------------------------

// Also the body runner of every binding form. The forms are protected as a
// whole because a macro expansion or an EVAL'd list may be held by nobody
// else while its body runs.
_cell* cfunction::tprogn(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    g.push(args);
    _cell* result = NILCell;
    for (_cell* p = args; isCons(p); p = p->cdr.p) {
        result = evalArg(p->car.p, frame, count);
        if (!result) return nullptr;
    }
    return result;
}

_cell* cfunction::tprog1(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return NILCell;
    CellGroup g(this);
    g.push(args);
    _cell* first = eval(args->car.p, frame, count);
    if (!first) return nullptr;
    g.push(first);
    for (_cell* p = args->cdr.p; isCons(p); p = p->cdr.p) {
        if (!eval(p->car.p, frame, count)) return nullptr;
    }
    return first;
}

// (and) has no last form to give its value; T stands for "all true".
_cell* cfunction::tand(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    g.push(args);
    _cell* result = TCell;
    for (_cell* p = args; isCons(p); p = p->cdr.p) {
        result = evalArg(p->car.p, frame, count);
        if (!result) return nullptr;
        if (isNil(result)) return NILCell;
    }
    return result;
}

_cell* cfunction::tor(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    g.push(args);
    for (_cell* p = args; isCons(p); p = p->cdr.p) {
        _cell* v = evalArg(p->car.p, frame, count);
        if (!v) return nullptr;
        if (!isNil(v)) return v;
    }
    return NILCell;
}

// A chosen clause gives the value of its body, or of its test when it has
// no body; a clause that is not a cons ends the walk.
_cell* cfunction::condition(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    g.push(args);
    for (_cell* p = args; isCons(p); p = p->cdr.p) {
        _cell* clause = p->car.p;
        if (!isCons(clause)) return NILCell;
        _cell* test = evalArg(clause->car.p, frame, count);
        if (!test) return nullptr;
        if (isNil(test)) continue;
        // A clause of a test alone answers the test's value.
        if (!isCons(clause->cdr.p)) return test;
        return tprogn(clause->cdr.p, frame, count);
    }
    return NILCell;
}

// A missing branch gives NIL, whichever branch it is: (if t) is NIL.
_cell* cfunction::IfClause(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return Fail(MSG_SYNTAX2, frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* test = evalArg(args->car.p, frame, count);
    if (!test) return nullptr;
    _cell* branches = args->cdr.p;
    if (isNil(test)) {
        if (isCons(branches) && isCons(branches->cdr.p))
            return evalArg(branches->cdr.p->car.p, frame, count);
        return NILCell;
    }
    if (!isCons(branches)) return NILCell;
    return evalArg(branches->car.p, frame, count);
}

// ---------------------------------------------------------------------------
// Binding forms: LET, LET* and PROG**
//
// A new frame holds the n new bindings in records 0..n-1 and a copy of the
// current frame behind them, so that one frame answers every lookup. When
// the body ends the copies are written back (SetOrgLoc), so assignments to
// outer variables reach the outer frame. The new frame is on the local
// stack from the moment it has contents: the collector then sees every
// value in it, including outer copies that an init form has reassigned.
// A closure made inside keeps the frame alive after ReleaseFrame.
// ---------------------------------------------------------------------------

namespace {

// Records n.. of the new frame receive the current frame's records.
void copyOuter(_symval* inner, long n, _symval* outer, long count) {
    for (long i = 0; i < count; i++) {
        inner[n + i].kind = outer[i].kind;
        inner[n + i].symbol = outer[i].symbol;
        inner[n + i].value = outer[i].value;
    }
}

// The symbol a LET binding names: x, (x) and (x form). Null when the
// binding is malformed.
_cell* bindingSymbol(_cell* binding) {
    if (isSymbol(binding)) return binding;
    if (!isCons(binding) || !isSymbol(binding->car.p)) return nullptr;
    return binding->car.p;
}

// How a binding form runs its body: tprogn, or progBody for PROG**.
typedef _cell* (cfunction::*BodyRunner)(_cell*, _symval*, long);

// Runs the body in the new frame, which is already on the local stack with
// its n new records; then writes the copies back to the frame the form
// started from. The caller's guard pops and releases the new frame.
_cell* runInFrame(cfunction* f, BodyRunner run, _cell* body, _symval* frame,
                  long count, _symval* inner, long n) {
    _cell* result = (f->*run)(body, inner, count + n);
    f->SetOrgLoc(frame, count, inner, n, count + n);
    return result;
}

// LET and LET* with a binding list of at least one cons. LET evaluates
// every init form in the current frame, so none sees the new bindings, and
// copies the current frame only after them, so that an init form's
// assignment to an outer variable is what the body sees and what the
// write-back keeps. LET* copies first and evaluates each init form in the
// new frame after naming its symbol with the value NIL: it sees the
// bindings before it, and its own as NIL. A special symbol's binding is
// dynamic (BindSpecials): LET makes them all once every init form has its
// value, LET* each as soon as its value is there, so that the next init
// forms and the functions they call see it; a special symbol is not named
// in the frame while its own init form runs, which sees the value outside.
_cell* bindAndRun(cfunction* f, _cell* args, _symval* frame, long count,
                  bool sequential) {
    _cell* bindings = args->car.p;
    long n = f->tlength(bindings);
    long total = count + n;
    FrameGuard fg(f, total);
    _symval* inner = fg.get();
    if (!inner) return f->Fail(kFrameRefused, frame, count);
    if (sequential) copyOuter(inner, n, frame, count);
    _symval* initFrame = sequential ? inner : frame;
    bool lexical = args->symFlags & kLibraryForm;
    long initCount = sequential ? total : count;

    CellGroup g(f);
    g.push(args);
    fg.push(total);
    SpecialScope dynamic(f);
    _cell* b = bindings;
    for (long j = 0; j < n; j++, b = b->cdr.p) {
        _cell* sym = bindingSymbol(b->car.p);
        if (!sym) {
            dynamic.close();
            fg.close();
            return f->Fail(MSG_SYNTAX2, frame, count);
        }
        bool special = !lexical && (sym->symFlags & kSpecialSymbol);
        if (sequential && !special) {
            inner[j].symbol = sym;
            inner[j].value = NILCell;
        }
        _cell* value = NILCell;
        _cell* rest = isCons(b->car.p) ? b->car.p->cdr.p : NILCell;
        if (isCons(rest)) {
            value = f->eval(rest->car.p, initFrame, initCount);
            if (!value) return nullptr;
        }
        inner[j].symbol = sym;
        inner[j].value = value;
        if (sequential && special) f->BindSpecials(inner + j, 1);
    }
    if (!sequential) {
        copyOuter(inner, n, frame, count);
        if (!lexical) f->BindSpecials(inner, n);
    }
    if (!lexical) f->BindDeclaredDynamic(inner, n, args->cdr.p);
    return runInFrame(f, &cfunction::tprogn, args->cdr.p, frame, count, inner,
                      n);
}

}  // namespace

// (let () ...) and a binding list that is an atom run the body in the
// current frame.
_cell* cfunction::Let(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return Fail(MSG_SYNTAX2, frame, count);
    if (!isCons(args->car.p)) return tprogn(args->cdr.p, frame, count);
    return bindAndRun(this, args, frame, count, false);
}

_cell* cfunction::LetAst(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return Fail(MSG_SYNTAX2, frame, count);
    if (!isCons(args->car.p)) return tprogn(args->cdr.p, frame, count);
    return bindAndRun(this, args, frame, count, true);
}

// Every variable starts as NIL; an element of the variable list that is
// not a symbol, such as (x 1), is refused.
_cell* cfunction::prog(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) return Fail(MSG_SYNTAX2, frame, count);
    _cell* vars = args->car.p;
    long n = tlength(vars);
    if (n == 0) return progBody(args->cdr.p, frame, count);

    FrameGuard fg(this, count + n);
    _symval* inner = fg.get();
    if (!inner) return Fail(kFrameRefused, frame, count);
    _cell* v = vars;
    for (long j = 0; j < n; j++, v = v->cdr.p) {
        if (!isSymbol(v->car.p)) {
            fg.close();
            return Fail(MSG_SYNTAX2, frame, count);
        }
        inner[j].symbol = v->car.p;
        inner[j].value = NILCell;
    }
    copyOuter(inner, n, frame, count);

    CellGroup g(this);
    g.push(args);
    fg.push(count + n);
    SpecialScope dynamic(this);
    if (!(args->symFlags & kLibraryForm)) BindSpecials(inner, n);
    return runInFrame(this, &cfunction::progBody, args->cdr.p, frame, count,
                      inner, n);
}

// ---------------------------------------------------------------------------
// PROG** bodies and GO
// ---------------------------------------------------------------------------

// Runs a PROG** body, making the jumps that its statements leave pending.
// Labels are looked for only among the top-level elements of this body,
// from its start, so the first of two equal labels wins.
_cell* cfunction::progBody(_cell* body, _symval* frame, long count) {
    GoSymbol = nullptr;
    return progBodyFrom(body, body, frame, count);
}

// The rest of a PROG** body from the statement list `start` on; a null
// start: a statement has just returned with a GO pending.
_cell* cfunction::progBodyFrom(_cell* body, _cell* start, _symval* frame,
                               long count) {
    CellGroup g(this);
    g.push(body);
    for (;;) {
        if (start) {
            int outcome = progBody2(start, frame, count);
            if (outcome == 1) return NILCell;   // ran off its end
            if (outcome == 0) return nullptr;
        }
        _cell* tail = tmember(GoSymbol, body);
        if (isNil(tail)) {
            // GoSymbol stays set: the jump was never made.
            return Fail(kNoLabel, frame, count);
        }
        GoSymbol = nullptr;
        start = tail;
    }
}

// 1: ran off the end; 0: a statement failed; 2: a GO is pending.
int cfunction::progBody2(_cell* start, _symval* frame, long count) {
    for (_cell* p = start; isCons(p); p = p->cdr.p) {
        _cell* statement = p->car.p;
        if (isSymbol(statement)) continue;     // a label
        CellGroup g(this);
        g.push(p);
        if (!eval(statement, frame, count)) return 0;
        if (GoSymbol) return 2;
    }
    return 1;
}

// The first tail of the list whose car is the label itself, or NIL.
_cell* cfunction::tmember(_cell* label, _cell* list) {
    for (_cell* p = list; isCons(p); p = p->cdr.p)
        if (p->car.p == label) return p;
    return NILCell;
}

// ---------------------------------------------------------------------------
// VALUES
// ---------------------------------------------------------------------------

// The result behaves as the first value but is a fresh cell carrying all
// values. (values) copies NIL and carries the empty list, which the loops
// print as nothing.
_cell* cfunction::values(_cell* args, _symval* frame, long count) {
    _cell* list = EvalEach(args, frame, count, 0);
    if (!list) return nullptr;
    _cell* first = isCons(list) ? list->car.p : NILCell;
    return MakeValues(first, list);
}
