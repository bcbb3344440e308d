// cfunction layer, evaluator part: the lambda lists beyond plain parameters
// and &REST (&OPTIONAL, &KEY, &ALLOW-OTHER-KEYS, &AUX, and in macros nested
// lists and a dotted tail), DESTRUCTURING-BIND$, FLET$ and the local
// functions, and the declarations at the start of a body.
//
// A full lambda list is bound into a frame whose first records are its
// variables, in the order the list names them (a supplied-p variable after
// its own), followed by what the caller puts behind them: a closure's
// captured bindings, or a copy of the current frame. The frame is on the
// local stack before anything is bound. Each variable's record stays
// unused (no symbol: lookup and the collector pass it by) until its value
// is known, so a default form, evaluated in that frame, sees the variables
// before it and none after it.
#include <cstdio>
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

const char kFrameRefused[] = "エラー: ローカル変数領域の確保に失敗しました";
const char kOddKeys[] = "エラー: キーワード引数が対になっていません";
const char kUnknownKey[] = "エラー: 知らないキーワード引数です--";
const char kBadShape[] =
    "エラー: DESTRUCTURING-BINDの値がラムダリストの形に合いません";

// Nested lambda lists deeper than this are refused as malformed, so that
// checking and binding them never run out of C++ stack.
constexpr int kMaxNesting = 64;

inline bool isLambdaWord(const _cell* e) {
    return e == AMPOPTIONAL || e == AMPKEY || e == AMPAUX ||
           e == AMPALLOWOTHERKEYS || e == AMPREST || e == AMPBODY;
}

// A symbol a lambda list may bind.
inline bool isVariable(_cell* e) {
    return isSymbol(e) && !isKeyword(e) && !isLambdaWord(e);
}

// The sections of a lambda list, in the order they may come.
enum Section { kRequired, kOptional, kRest, kKey, kAllow, kAux };

// A (var [init [svar]]) element: var (for a macro's &OPTIONAL, a nested
// lambda list), then at most an init form and a supplied-p variable.
// ((keyword var) ...) in &KEY; &AUX has no supplied-p variable.
bool checkList(_cell* list, bool macro, int depth, long* records,
               bool* pure);

bool checkElement(_cell* e, int section, bool macro, int depth, long* records,
               bool* pure) {
    if (isVariable(e)) {
        ++*records;
        return true;
    }
    if (!isCons(e)) return false;
    _cell* var = e->car.p;
    if (isVariable(var)) {
        ++*records;
    } else if (section == kKey && isCons(var)) {
        _cell* named = var->cdr.p;
        if (!isSymbol(var->car.p) || !isCons(named) ||
            !isVariable(named->car.p) || !isNil(named->cdr.p))
            return false;
        ++*records;
    } else if (section == kOptional && macro && isCons(var)) {
        if (!checkList(var, macro, depth + 1, records, pure)) return false;
    } else {
        return false;
    }
    _cell* more = e->cdr.p;
    if (isNil(more)) return true;
    if (!isCons(more)) return false;
    *pure = false;
    _cell* sv = more->cdr.p;
    if (isNil(sv)) return true;
    if (section == kAux || !isCons(sv) || !isVariable(sv->car.p) ||
        !isNil(sv->cdr.p))
        return false;
    ++*records;
    return true;
}

bool checkList(_cell* list, bool macro, int depth, long* records,
               bool* pure) {
    if (depth > kMaxNesting) return false;
    int section = kRequired;
    _cell* p = list;
    for (; isCons(p); p = p->cdr.p) {
        _cell* e = p->car.p;
        if (e == AMPOPTIONAL) {
            if (section >= kOptional) return false;
            section = kOptional;
        } else if (e == AMPREST || (macro && e == AMPBODY)) {
            if (section >= kRest) return false;
            p = p->cdr.p;
            if (!isCons(p) || !isVariable(p->car.p)) return false;
            ++*records;
            section = kRest;
        } else if (e == AMPKEY) {
            if (section >= kKey) return false;
            section = kKey;
        } else if (e == AMPALLOWOTHERKEYS) {
            if (section != kKey) return false;
            section = kAllow;
        } else if (e == AMPAUX) {
            if (section >= kAux) return false;
            section = kAux;
        } else if (section == kRequired) {
            if (isVariable(e)) {
                ++*records;
            } else if (!macro || !isCons(e) ||
                       !checkList(e, macro, depth + 1, records, pure)) {
                return false;
            }
        } else if (section == kOptional || section == kKey ||
                   section == kAux) {
            if (!checkElement(e, section, macro, depth, records, pure))
                return false;
        } else {
            return false;   // after the &REST variable or &ALLOW-OTHER-KEYS
        }
    }
    if (isNil(p)) return true;
    // A macro's dotted tail takes the rest of the arguments.
    if (macro && section < kRest && isVariable(p)) {
        ++*records;
        return true;
    }
    return false;
}

// The keyword argument k names the &KEY parameter var, whose keyword is
// `keyword`, or when that is null the keyword of var's name.
bool keyMatches(_cell* k, _cell* var, _cell* keyword) {
    if (keyword) return sameSymbol(k, keyword);
    return isKeyword(k) && k->car.s[0] == ':' &&
           std::strcmp(k->car.s + 1, var->car.s) == 0;
}

// The variable and keyword (null: the variable's own) of a &KEY element;
// *more: its (init [svar]) part.
_cell* keyElement(_cell* e, _cell** keyword, _cell** more) {
    *keyword = nullptr;
    *more = NILCell;
    if (!isCons(e)) return e;
    *more = e->cdr.p;
    _cell* var = e->car.p;
    if (!isCons(var)) return var;
    *keyword = var->car.p;
    return var->cdr.p->car.p;
}

// Binding a checked lambda list. Each bind() returns one of these.
enum Outcome { kBound, kStopped, kCount, kOdd, kUnknown };

struct Binder {
    cfunction* f;
    _symval* inner;
    long total;
    bool macro;
    long next = 0;
    _cell* culprit = nullptr;

    // The value goes in before the name: the record joins lookup and the
    // collector's roots whole.
    void name(_cell* var, _cell* value) {
        inner[next].value = value;
        inner[next].symbol = var;
        next++;
    }
    Outcome target(_cell* t, _cell* value) {
        if (isCons(t)) return bind(t, value);
        name(t, value);
        return kBound;
    }
    // The value of an init form, in the frame being bound. Null: reported,
    // exit.
    _cell* init(_cell* form) { return f->eval(form, inner, total); }

    // The keyword arguments: a proper list of an even length whose keys
    // all name a parameter of the &KEY section `keys`, unless other keys
    // are allowed there or by the first :ALLOW-OTHER-KEYS of the call.
    Outcome checkKeys(_cell* keys, _cell* plist) {
        long n = 0;
        _cell* q = plist;
        for (; isCons(q); q = q->cdr.p) n++;
        if (!isNil(q) || n % 2) return kOdd;
        for (_cell* s = keys; isCons(s) && s->car.p != AMPAUX; s = s->cdr.p)
            if (s->car.p == AMPALLOWOTHERKEYS) return kBound;
        for (q = plist; isCons(q); q = q->cdr.p->cdr.p)
            if (sameSymbol(q->car.p, KALLOWOTHERKEYS)) {
                if (!isNil(q->cdr.p->car.p)) return kBound;
                break;
            }
        for (q = plist; isCons(q); q = q->cdr.p->cdr.p) {
            _cell* k = q->car.p;
            if (sameSymbol(k, KALLOWOTHERKEYS)) continue;
            bool known = false;
            for (_cell* s = keys; isCons(s) && s->car.p != AMPAUX;
                 s = s->cdr.p) {
                if (s->car.p == AMPALLOWOTHERKEYS) continue;
                _cell* keyword;
                _cell* more;
                _cell* var = keyElement(s->car.p, &keyword, &more);
                if (keyMatches(k, var, keyword)) {
                    known = true;
                    break;
                }
            }
            if (!known) {
                culprit = k;
                return kUnknown;
            }
        }
        return kBound;
    }

    Outcome bind(_cell* list, _cell* args) {
        // args is a tail of what the caller holds, but an init form may
        // cut it off (through a &REST variable): it is held here too.
        CellGroup g(f);
        g.push(args);
        int section = kRequired;
        bool open = false;      // &REST or &KEY takes what is left
        _cell* keys = NILCell;
        _cell* p = list;
        for (; isCons(p); p = p->cdr.p) {
            _cell* e = p->car.p;
            if (e == AMPOPTIONAL) {
                section = kOptional;
                continue;
            }
            if (e == AMPREST || e == AMPBODY) {
                p = p->cdr.p;
                name(p->car.p, args);
                open = true;
                section = kRest;
                continue;
            }
            if (e == AMPKEY) {
                Outcome o = checkKeys(p->cdr.p, args);
                if (o != kBound) return o;
                keys = args;
                open = true;
                section = kKey;
                continue;
            }
            if (e == AMPALLOWOTHERKEYS) continue;
            if (e == AMPAUX) {
                if (!open && !isNil(args)) return kCount;
                section = kAux;
                continue;
            }
            if (section == kRequired) {
                if (!isCons(args)) return kCount;
                Outcome o = target(e, args->car.p);
                if (o != kBound) return o;
                args = args->cdr.p;
                continue;
            }
            _cell* var = e;
            _cell* keyword = nullptr;
            _cell* more = NILCell;
            _cell* found = nullptr;     // the cons holding the argument
            if (section == kKey) {
                var = keyElement(e, &keyword, &more);
                // The list was found even, but a default form may have
                // changed it since (through a &REST variable).
                for (_cell* q = keys; isCons(q) && isCons(q->cdr.p);
                     q = q->cdr.p->cdr.p)
                    if (keyMatches(q->car.p, var, keyword)) {
                        found = q->cdr.p;
                        break;
                    }
            } else {
                if (isCons(e)) {
                    var = e->car.p;
                    more = e->cdr.p;
                }
                if (section == kOptional && isCons(args)) {
                    found = args;
                    args = args->cdr.p;
                }
            }
            _cell* value;
            if (found) {
                value = found->car.p;
            } else if (isCons(more)) {
                g.push(args);
                value = init(more->car.p);
                if (!value) return kStopped;
            } else {
                value = NILCell;
            }
            Outcome o = target(var, value);
            if (o != kBound) return o;
            if (isCons(more) && isCons(more->cdr.p))
                name(more->cdr.p->car.p, found ? TCell : NILCell);
        }
        if (!isNil(p)) {
            name(p, args);      // a macro's dotted tail
            return kBound;
        }
        return open || isNil(args) ? kBound : kCount;
    }
};

}  // namespace

int cfunction::LambdaListShape(_cell* params, bool macro) {
    _cell* p = params;
    for (; isCons(p); p = p->cdr.p) {
        _cell* e = p->car.p;
        if (!isSymbol(e) || isKeyword(e) ||
            (isLambdaWord(e) && e != AMPREST && e != AMPBODY))
            break;
    }
    if (!isCons(p) && (!macro || isNil(p))) return kPlainList;
    bool pure = true;
    return LambdaListRecords(params, macro, &pure) >= 0 ? kFullList
                                                         : kBadList;
}

long cfunction::LambdaListRecords(_cell* params, bool macro, bool* pure) {
    long records = 0;
    *pure = true;
    if (!isNil(params) && !isCons(params)) return -1;
    return checkList(params, macro, 0, &records, pure) ? records : -1;
}

int cfunction::BindFull(_cell* params, _cell* values, bool macro,
                        _symval* inner, long n, long total, FrameGuard& fg,
                        const char* mismatch, _symval* frame, long count) {
    Binder b{this, inner, total, macro};
    Outcome o = b.bind(params, values);
    TK_ASSERT(o != kBound || b.next == n);
    (void)n;
    switch (o) {
    case kBound:
        return 1;
    case kStopped:
        return 0;
    case kCount:
        fg.close();
        Fail(mismatch, frame, count);
        return 0;
    case kOdd:
        fg.close();
        Fail(kOddKeys, frame, count);
        return 0;
    case kUnknown:
        fg.close();
        if (messageOut != stdout) fflush(stdout);
        fputs(kUnknownKey, messageOut);
        printSFile(b.culprit, messageOut);
        fputc('\n', messageOut);
        errorlisp(frame, count);
        return 0;
    }
    return 0;
}

// The arguments are evaluated first, all of them, in the caller's frame;
// only then is the frame of the parameters made.
_cell* cfunction::CallFullDef(_cell* def, _cell* args, _symval* frame,
                              long count) {
    _cell* params = def->car.p;
    bool pure;
    long n = LambdaListRecords(params, false, &pure);
    if (n < 0) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* values = EvalEach(args, frame, count, 0);
    if (!values) return nullptr;
    g.push(values);
    // A definition made inside a binding form carries its frame, as in
    // CallDef: the copies follow the parameters and are written back.
    _symval* env = closureEnvOf(def);
    long c = env ? def->closureCount : 0;
    FrameGuard fg(this, n + c);
    _symval* inner = fg.get();
    if (n + c > 0 && !inner) return Fail(kFrameRefused, frame, count);
    for (long i = 0; i < c; i++) inner[n + i] = env[i];
    fg.push(n + c);
    if (!BindFull(params, values, false, inner, n, n + c, fg, MSG_ARGCOUNT,
                  frame, count))
        return nullptr;
    _cell* r = RunDefBody(def, inner, n + c, n);
    SetOrgLoc(env, c, inner, n, n + c);
    return r;
}

// As CallLambda: the parameters, then the copies of the captured bindings,
// which the default forms see too and which are written back at the end.
_cell* cfunction::CallFullLambda(_cell* lambda, _cell* argForms,
                                 _symval* frame, long count) {
    _cell* params = lambda->cdr.p->car.p;
    bool pure;
    long n = LambdaListRecords(params, false, &pure);
    if (n < 0) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(lambda);
    g.push(argForms);
    _cell* values = EvalEach(argForms, frame, count, 0);
    if (!values) return nullptr;
    g.push(values);
    _symval* env = closureEnvOf(lambda);
    long c = env ? lambda->closureCount : 0;
    FrameGuard fg(this, n + c);
    _symval* inner = fg.get();
    if (n + c > 0 && !inner) return Fail(kFrameRefused, frame, count);
    for (long i = 0; i < c; i++) inner[n + i] = env[i];
    fg.push(n + c);
    if (!BindFull(params, values, false, inner, n, n + c, fg, MSG_ARGCOUNT,
                  frame, count))
        return nullptr;
    LinkGuard link(this, lambda->cdr.p, inner, n + c, n);
    SpecialScope dynamic(this);
    if (!(lambda->cdr.p->symFlags & kLibraryForm)) {
        BindSpecials(inner, n);
        BindDeclaredDynamic(inner, n, lambda->cdr.p->cdr.p);
    }
    _cell* r = tprogn(lambda->cdr.p->cdr.p, inner, n + c);
    SetOrgLoc(env, c, inner, n, n + c);
    return r;
}

namespace {

// (SPECIAL name...) among a DECLARE form's declarations.
bool isDynamicDeclaration(_cell* d) {
    return isCons(d) && isSymbol(d->car.p) &&
           strcmp(d->car.p->car.s, "SPECIAL") == 0;
}

// Calls visit(names) for each (SPECIAL . names) in the declarations that
// begin body (after a documentation string).
template <typename Visit>
void eachDynamicDeclaration(_cell* body, Visit visit) {
    for (_cell* p = body; isCons(p); p = p->cdr.p) {
        _cell* e = p->car.p;
        if (isString(e) && isCons(p->cdr.p)) continue;
        if (!isCons(e) || e->car.p != DECLARE) return;
        for (_cell* d = e->cdr.p; isCons(d); d = d->cdr.p)
            if (isDynamicDeclaration(d->car.p)) visit(d->car.p->cdr.p);
    }
}

}  // namespace

bool cfunction::DeclaresDynamic(_cell* body) {
    bool any = false;
    eachDynamicDeclaration(body, [&](_cell*) { any = true; });
    return any;
}

// Each of the first n records named in such a declaration is bound
// dynamically, as a DEFVAR'd name's is (BindSpecials), for the scope the
// caller has opened; a name the form does not bind is left alone, so its
// references reach the dynamic value as any free name does.
void cfunction::BindDeclaredDynamic(_symval* inner, long n, _cell* body) {
    eachDynamicDeclaration(body, [&](_cell* names) {
        for (_cell* v = names; isCons(v); v = v->cdr.p)
            for (long i = 0; i < n; i++)
                if (inner[i].symbol == v->car.p) {
                    BindSpecial(v->car.p, inner[i].value);
                    inner[i].symbol = nullptr;
                    break;
                }
    });
}

// The declarations are dropped, unless one makes names dynamic: the
// binding forms look for that one at the start of the body, and DECLARE
// itself evaluates to NIL.
_cell* cfunction::WithoutDeclarations(_cell* body) {
    if (DeclaresDynamic(body)) return body;
    _cell* doc = nullptr;
    bool declared = false;
    _cell* p = body;
    for (; isCons(p); p = p->cdr.p) {
        _cell* e = p->car.p;
        if (isCons(e) && e->car.p == DECLARE) {
            declared = true;
        } else if (!doc && isString(e) && isCons(p->cdr.p)) {
            doc = e;
        } else {
            break;
        }
    }
    if (!declared) return body;
    if (!doc) return p;
    _cell* forms = p;
    if (!isCons(forms)) {
        forms = getCell();      // (NIL): the body's value
    }
    _cell* c = getCell();
    c->car.p = doc;
    c->cdr.p = forms;
    return c;
}

namespace {

// Records n.. of the new frame receive the current frame's records.
void copyOuter(_symval* inner, long n, _symval* outer, long count) {
    for (long i = 0; i < count; i++) inner[n + i] = outer[i];
}

}  // namespace

// The value is destructured as a macro's arguments are; the frame holds the
// variables and then a copy of the current frame, written back at the end.
_cell* cfunction::destructuringBind(_cell* args, _symval* frame, long count) {
    if (!isCons(args) || !isCons(args->cdr.p)) return SyntaxError(frame, count);
    _cell* params = args->car.p;
    bool pure;
    long n = LambdaListRecords(params, true, &pure);
    if (n < 0) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* value = eval(args->cdr.p->car.p, frame, count);
    if (!value) return nullptr;
    g.push(value);
    _cell* body = g.push(WithoutDeclarations(args->cdr.p->cdr.p));
    FrameGuard fg(this, n + count);
    _symval* inner = fg.get();
    if (n + count > 0 && !inner) return Fail(kFrameRefused, frame, count);
    copyOuter(inner, n, frame, count);
    fg.push(n + count);
    if (!BindFull(params, value, true, inner, n, n + count, fg, kBadShape,
                  frame, count))
        return nullptr;
    _cell* r = tprogn(body, inner, n + count);
    SetOrgLoc(frame, count, inner, n, n + count);
    return r;
}

_cell* cfunction::LocalFunction(_cell* name, _symval* frame, long count) {
    for (long i = count - 1; i >= 0; i--) {
        if (frame[i].symbol != FLETLISP) continue;
        _cell* pair = frame[i].value;
        if (isCons(pair) && sameSymbol(pair->car.p, name)) return pair->cdr.p;
    }
    return nullptr;
}

// The new frame is a copy of the current one followed by the records of
// the local functions. Every frame keeps the records of the local
// functions it sees in that order, the innermost last (a binding form
// puts its own records in front of its copy, a closure's call puts its
// parameters in front of the captured ones), so LocalFunction looks from
// the end. FLET's closures capture the new frame's first `count` records
// only, which hold no record of their own FLET: they see the enclosing
// local functions but not each other, while their assignments to the
// enclosing variables reach the very records the body reads, and are
// written back with them when the body ends. LABELS' closures capture the
// whole frame.
//
// Each definition becomes the closure (LAMBDA lambda-list (BLOCK name .
// body)), made afresh at every evaluation as FUNCTION makes one; nothing
// is evaluated until the body runs, so the cells need no protection before
// the frame holds them.
_cell* cfunction::flet(_cell* args, _symval* frame, long count) {
    if (!isCons(args) || !isCons(args->cdr.p)) return SyntaxError(frame, count);
    bool labels = !isNil(args->car.p);
    _cell* defs = args->cdr.p->car.p;
    long k = 0;
    for (_cell* d = defs; isCons(d); d = d->cdr.p, k++) {
        _cell* def = d->car.p;
        if (!isCons(def) || !isVariable(def->car.p) || !isCons(def->cdr.p))
            return SyntaxError(frame, count);
        _cell* params = def->cdr.p->car.p;
        if ((!isNil(params) && !isCons(params)) ||
            LambdaListShape(params, false) == kBadList)
            return SyntaxError(frame, count);
    }
    if (!isNil(defs) && !isCons(defs)) return SyntaxError(frame, count);
    CellGroup g(this);
    g.push(args);
    FrameGuard fg(this, k + count);
    _symval* inner = fg.get();
    if (k + count > 0 && !inner) return Fail(kFrameRefused, frame, count);
    copyOuter(inner, 0, frame, count);
    long envCount = labels ? count + k : count;
    _cell* d = defs;
    for (long j = 0; j < k; j++, d = d->cdr.p) {
        _cell* def = d->car.p;
        _cell* name = def->car.p;
        _cell* params = def->cdr.p->car.p;
        _cell* block = getCell();
        block->car.p = BLOCKLISP;
        block->cdr.p = getCell();
        block->cdr.p->car.p = name;
        block->cdr.p->cdr.p = WithoutDeclarations(def->cdr.p->cdr.p);
        _cell* tail = getCell();
        tail->car.p = params;
        tail->cdr.p = getCell();
        tail->cdr.p->car.p = block;
        _cell* closure = getCell();
        closure->car.p = LAMBDA;
        closure->cdr.p = tail;
        if (LambdaListShape(params, false) == kPlainList)
            closure->kind = kPlainDef;
        setClosureEnv(closure, envCount > 0 ? inner : nullptr, envCount);
        _cell* pair = getCell();
        pair->car.p = name;
        pair->cdr.p = closure;
        inner[count + j].value = pair;
        inner[count + j].symbol = FLETLISP;
    }
    if (envCount > 0) CaptureFrame(inner);
    localFunctions = true;
    _cell* body = g.push(WithoutDeclarations(args->cdr.p->cdr.p));
    fg.push(k + count);
    _cell* r = tprogn(body, inner, count + k);
    SetOrgLoc(frame, count, inner, 0, count);
    return r;
}
