// cfunction layer, evaluator part: the non-local exits CATCH/THROW,
// BLOCK/RETURN-FROM and UNWIND-PROTECT.
//
// An exit travels upward as a null result with throwPending or
// returnFromPending set; every form on the way releases what it holds and
// returns null, until a CATCH or BLOCK that owns the recorded tag or name
// (compared by identity) takes it, or a loop reports it. The pending state
// is one shared set, so a sender records its tag or name only when it
// really sets off: a nested exit that was taken inside its value form must
// not leave the outer one with the inner one's tag.
#include <cstdio>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// The name of a BLOCK or RETURN-FROM form, not evaluated: args must be a
// cons whose car is a symbol. Null when not, the failure reported.
_cell* exitName(cfunction* f, _cell* args, const char* noArgs,
                const char* badName, _symval* frame, long count) {
    if (!isCons(args)) return f->Fail(noArgs, frame, count);
    if (!isSymbol(args->car.p)) return f->Fail(badName, frame, count);
    return args->car.p;
}

}  // namespace

// ---------------------------------------------------------------------------
// CATCH and THROW
// ---------------------------------------------------------------------------

_cell* cfunction::catch_lisp(_cell* args, _symval* frame, long count) {
    if (!isCons(args))
        return Fail("エラー: CATCHの引数が異常です\n", frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* tag = eval(args->car.p, frame, count);
    if (!tag) {
        PutMessage("エラー: CATCHのタグの名前の評価に失敗しました\n");
        return nullptr;
    }
    g.push(tag);
    _cell* result = tprogn(args->cdr.p, frame, count);
    if (result || !throwPending || throwTag != tag) return result;
    throwPending = 0;
    return throwValue;  // null when the value form failed
}

_cell* cfunction::throw_lisp(_cell* args, _symval* frame, long count) {
    if (!isCons(args))
        return Fail("エラー: THROWの引数が異常です\n", frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* tag = eval(args->car.p, frame, count);
    if (!tag) {
        PutMessage("エラー: THROWのタグの名前の評価に失敗しました\n");
        return nullptr;
    }
    if (!isCons(args->cdr.p))
        return Fail("エラー: THROWの引数が異常です\n", frame, count);
    g.push(tag);
    _cell* value = eval(args->cdr.p->car.p, frame, count);
    // An exit already in flight out of the value form keeps going.
    if (!value && (throwPending || returnFromPending)) return nullptr;
    // After a plain error the throw still sets off, carrying no value: a
    // CATCH of the tag then yields nothing, and the loops report it when
    // nobody catches it.
    throwTag = tag;
    throwValue = value;
    throwPending = 1;
    return nullptr;
}

// ---------------------------------------------------------------------------
// BLOCK and RETURN-FROM
// ---------------------------------------------------------------------------

_cell* cfunction::block_lisp(_cell* args, _symval* frame, long count) {
    _cell* name = exitName(this, args, "エラー: BLOCKの引数が異常です\n",
                           "エラー: BLOCKの名前が異常です", frame, count);
    if (!name) return nullptr;
    CellGroup g(this);
    g.push(args);
    _cell* result = tprogn(args->cdr.p, frame, count);
    return result ? result : ReceiveReturn(name);
}

_cell* cfunction::return_from_lisp(_cell* args, _symval* frame, long count) {
    _cell* name = exitName(this, args, "エラー: RETURN-FROMの引数が異常です\n",
                           "エラー: RETURN-FROMの名前が異常です", frame, count);
    if (!name) return nullptr;
    _cell* value = NILCell;
    if (isCons(args->cdr.p)) {
        CellGroup g(this);
        g.push(args);
        value = eval(args->cdr.p->car.p, frame, count);
        // No value: the error is already reported, or another exit is in
        // flight and keeps going. Either way this exit does not set off, so
        // the block it names does not turn the failure into a report.
        if (!value) return nullptr;
    }
    returnFromName = name;
    pendingReturnValue = value;
    returnFromPending = 1;
    return nullptr;
}

// ---------------------------------------------------------------------------
// UNWIND-PROTECT
//
// The cleanup forms run with no exit pending, so that a CATCH or BLOCK in
// them cannot take the exit that is passing, and a user function or a
// caught exit inside them cannot overwrite its tag, name or value. When the
// cleanup succeeds the passing exit is restored and goes on. When the
// cleanup fails the passing exit is dropped: the cleanup's own failure (an
// error, or an exit of its own) is what travels on.
// ---------------------------------------------------------------------------

_cell* cfunction::unwind_protect(_cell* args, _symval* frame, long count) {
    if (!isCons(args) || !(isCons(args->cdr.p) || isNil(args->cdr.p)))
        return Fail("エラー: UNWIND-PROTECTの引数が異常です\n", frame,
                    count);
    CellGroup g(this);
    g.push(args);
    _cell* result = eval(args->car.p, frame, count);
    if (result) g.push(result);

    int savedThrow = throwPending;
    int savedReturn = returnFromPending;
    _cell* savedTag = throwTag;
    _cell* savedThrowValue = throwValue;
    _cell* savedName = returnFromName;
    _cell* savedReturnValue = pendingReturnValue;
    _cell* savedGo = GoSymbol;
    if (savedThrowValue) g.push(savedThrowValue);
    if (savedTag) g.push(savedTag);
    if (savedReturnValue) g.push(savedReturnValue);
    if (savedName) g.push(savedName);
    throwPending = 0;
    returnFromPending = 0;

    if (!tprogn(args->cdr.p, frame, count)) return nullptr;

    throwPending = savedThrow;
    returnFromPending = savedReturn;
    throwTag = savedTag;
    throwValue = savedThrowValue;
    returnFromName = savedName;
    pendingReturnValue = savedReturnValue;
    // A GO left pending by the protected form survives a PROG** body run by
    // the cleanup (which clears GoSymbol when it starts); a GO made by the
    // cleanup itself wins.
    if (!GoSymbol) GoSymbol = savedGo;
    return result;
}
