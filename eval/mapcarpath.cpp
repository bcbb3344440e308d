// cfunction: the C++ path of MAPCAR with one list (see eval/fastpath.cpp
// for when a path may answer). The path keeps the frame of the prelude's
// definition (its PROG** frame: R TL L, then FUNC A B and the record behind
// the &REST parameter) with the values the definition's statements give
// it, and reads them back from the frame before each use, so that a break
// loop that assigns them is obeyed. Wherever a statement could do something
// else than the path's arithmetic, the definition's own statements run on
// from there, in that frame.
//
// The shape is taken from the definition the prelude made, once per
// session: the parameters, the PROG** variables, the label ONE and the
// statements after it are found in it, and each statement the path stands
// for is checked to be the one the code below does. A prelude whose MAPCAR
// differs leaves the path off (the unit test FastPaths.AllLiveAfterPrelude
// then fails).
#include <cstring>

#include "eval/fastpath.h"
#include "toplevel/symbols.h"

using namespace fastpath;

namespace {

// Whether `c` is the form the text writes: symbols by name, NIL as NIL.
// Answers the text after the form, or null when c differs.
const char* matchForm(_cell* c, const char* text) {
    while (*text == ' ') text++;
    if (*text == '(') {
        text++;
        for (;;) {
            while (*text == ' ') text++;
            if (*text == ')') return isNil(c) ? text + 1 : nullptr;
            if (!isCons(c)) return nullptr;
            text = matchForm(c->car.p, text);
            if (!text) return nullptr;
            c = c->cdr.p;
        }
    }
    size_t n = strcspn(text, " ()");
    if (n == 3 && strncmp(text, "NIL", 3) == 0)
        return isNil(c) ? text + n : nullptr;
    if (!isSymbol(c) || strlen(c->car.s) != n || strncmp(c->car.s, text, n))
        return nullptr;
    return text + n;
}

bool isForm(_cell* c, const char* text) {
    const char* end = matchForm(c, text);
    return end && !*end;
}

// The n-th element of a list, or null past its end.
_cell* elementAt(_cell* list, int n) {
    for (; n > 0 && isCons(list); n--) list = list->cdr.p;
    return isCons(list) ? list->car.p : nullptr;
}

// With B NIL, the definition runs its first three statements, jumps to the
// label ONE and loops over the five after it: these are the statements the
// path does, in that order.
const char* const kOpening[] = {
    "(SETQ R (LIST NIL))",
    "(SETQ TL R)",
    "(IF (ATOM B) (GO ONE))",
};
const char* const kLoop[] = {
    "(IF (ATOM A) (RETURN-FROM MAPCAR (CDR R)))",
    "(RPLACD TL (LIST (FUNCALL FUNC (CAR A))))",
    "(SETQ TL (CDR TL))",
    "(SETQ A (CDR A))",
    "(GO ONE)",
};

}  // namespace

bool MapcarShape::take(_cell* d) {
    if (!isCons(d) || !isForm(d->car.p, "(FUNC A &REST B)")) return false;
    _cell* params = d->car.p;
    _cell* forms = d->cdr.p;
    if (!isCons(forms) || !isNil(forms->cdr.p)) return false;
    _cell* block = forms->car.p;
    if (cfunction::tlength(block) != 3 || block->car.p != BLOCKLISP ||
        !isForm(elementAt(block, 1), "MAPCAR"))
        return false;
    _cell* progForm = elementAt(block, 2);
    if (!isCons(progForm) || !isForm(progForm->car.p, "PROG**") ||
        !isCons(progForm->cdr.p) || !isForm(progForm->cdr.p->car.p, "(R TL L)"))
        return false;
    _cell* vars = progForm->cdr.p->car.p;
    _cell* statements = progForm->cdr.p->cdr.p;
    _cell* p = statements;
    for (const char* s : kOpening) {
        if (!isCons(p) || !isForm(p->car.p, s)) return false;
        p = p->cdr.p;
    }
    // GO jumps to the first statement that is the label.
    while (isCons(p) && !isForm(p->car.p, "ONE")) p = p->cdr.p;
    if (!isCons(p)) return false;
    _cell* loop = p->cdr.p;
    p = loop;
    for (const char* s : kLoop) {
        if (!isCons(p) || !isForm(p->car.p, s)) return false;
        p = p->cdr.p;
    }
    body = statements;
    atIf = loop;
    atSetqTl = loop->cdr.p->cdr.p;
    atSetqA = atSetqTl->cdr.p;
    // (RPLACD TL (LIST (FUNCALL FUNC (CAR A)))): the form inside LIST.
    funcallForm = elementAt(elementAt(loop->cdr.p->car.p, 2), 1);
    symbols[R] = elementAt(vars, 0);
    symbols[TL] = elementAt(vars, 1);
    symbols[L] = elementAt(vars, 2);
    symbols[FUNC] = elementAt(params, 0);
    symbols[A] = elementAt(params, 1);
    symbols[B] = elementAt(params, 3);
    symbols[REST] = nullptr;
    name = elementAt(block, 1);
    def = d;
    return true;
}

namespace {

// The definition of the DEFUN function `fn` names when it has exactly one
// parameter; else null.
_cell* oneParameterDef(cfunction* f, _cell* fn) {
    if (!isSymbol(fn) || operatorOf(fn) != OP_NONE) return nullptr;
    _symval* record = f->getFuncval2(fn);
    if (!record || record->kind != kFunctionRecord ||
        closureEnvOf(record->value))
        return nullptr;
    if (record->value->kind != kPlainDef) return nullptr;
    _cell* params = record->value->car.p;
    if (!isCons(params) || !isNil(params->cdr.p)) return nullptr;
    _cell* p = params->car.p;
    return isSymbol(p) && p != AMPREST ? record->value : nullptr;
}

// Calls the function of `def` (protected by the caller) with its one
// parameter bound to x; *called false: no frame could be had, and nothing
// was done.
_cell* callOne(cfunction* f, _cell* def, _cell* x, bool* called) {
    FrameGuard fg(f, 1);
    _symval* inner = fg.get();
    if (!inner) return nullptr;
    *called = true;
    inner[0].symbol = def->car.p->car.p;
    inner[0].value = x;
    fg.push(1);
    return f->RunDefBody(def, inner, 1, 1);
}

}  // namespace

namespace fastpath {

bool takeMapcarShape(cfunction* f, _cell* def) {
    f->mapcarShape = MapcarShape();
    bool ok = f->mapcarShape.take(def);
    f->mapcarDef = ok ? def : nullptr;
    return ok;
}

// The function named by a symbol whose definition takes exactly one
// parameter is called on the element directly, as the call (FUNCALL FUNC
// (CAR A)) makes would bind it; any other function value goes through that
// form itself, in the frame.
FastAnswer mapcarPath(cfunction* f, const FastCallArgs& c, _cell** out) {
    const MapcarShape& s = f->mapcarShape;
    constexpr long n = MapcarShape::kRecords;
    FrameGuard fg(f, n);
    _symval* F = fg.get();
    if (!F) return FastAnswer::kDeclined;
    for (long i = 0; i < n; i++) {
        F[i].symbol = s.symbols[i];
        F[i].value = i == MapcarShape::REST ? nullptr : NILCell;
    }
    F[MapcarShape::FUNC].value = c.v[0];
    F[MapcarShape::A].value = c.v[1];
    // (SETQ R (LIST NIL)) (SETQ TL R), and (GO ONE) as B is NIL.
    f->GoSymbol = nullptr;
    _cell* head = f->getCell();
    F[MapcarShape::R].value = head;
    F[MapcarShape::TL].value = head;
    fg.push(n);

    _cell* r = nullptr;
    for (;;) {
        // (IF (ATOM A) (RETURN-FROM MAPCAR (CDR R)))
        if (!f->CheckStep(F, n)) break;
        _cell* a = F[MapcarShape::A].value;
        if (!isCons(a)) {
            _cell* h = F[MapcarShape::R].value;
            r = isCons(h) ? h->cdr.p : f->progBodyFrom(s.body, s.atIf, F, n);
            break;
        }
        // (RPLACD TL (LIST (FUNCALL FUNC (CAR A))))
        CellGroup step(f);
        _cell* tl = step.push(F[MapcarShape::TL].value);
        _cell* fdef = oneParameterDef(f, F[MapcarShape::FUNC].value);
        bool called = false;
        _cell* x = nullptr;
        if (fdef) {
            step.push(fdef);
            x = callOne(f, fdef, a->car.p, &called);
        }
        if (!called) x = f->eval(s.funcallForm, F, n);
        if (!x) break;
        _cell* cell = f->getCell();
        cell->car.p = x;
        if (!f->rplacd(tl, cell, F, n)) break;
        if (f->GoSymbol) {
            r = f->progBodyFrom(s.body, nullptr, F, n);
            break;
        }
        // (SETQ TL (CDR TL)) (SETQ A (CDR A)) (GO ONE)
        tl = F[MapcarShape::TL].value;
        if (!isCons(tl)) {
            r = f->progBodyFrom(s.body, s.atSetqTl, F, n);
            break;
        }
        F[MapcarShape::TL].value = tl->cdr.p;
        a = F[MapcarShape::A].value;
        if (!isCons(a)) {
            r = f->progBodyFrom(s.body, s.atSetqA, F, n);
            break;
        }
        F[MapcarShape::A].value = a->cdr.p;
    }
    // As the call of the definition ends: its BLOCK takes a RETURN-FROM.
    if (!r) r = f->ReceiveReturn(s.name);
    f->pendingReturnValue = nullptr;
    *out = r;
    return FastAnswer::kKeepValues;
}

}  // namespace fastpath
