// cfunction layer, library part: strings, characters and the array
// primitives that the prelude builds MAKE-ARRAY and AREF on.
//
// An array is an 'a' cell whose car is the dimension-count integer and whose
// cdr is (element-type . contents); a string is the one-dimensional array of
// element type CHARACTER. Nothing here copies an array: ARRAY-CAR and
// ARRAY-CDR hand out the very cells so that the prelude can change elements
// in place.
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// CHAR and COERCE: the first two argument forms evaluated into *a and *b
// (EvalTwo); 0 when an evaluation failed (reported) or after reporting bad
// when a form is missing.
int evalTwo(cfunction* lisp, CellGroup& g, _cell* args, const char* bad,
            _symval* frame, long count, _cell** a, _cell** b) {
    int got = lisp->EvalTwo(g, args, frame, count, a, b);
    if (got < 0) lisp->Fail(bad, frame, count);
    return got > 0;
}

// ARRAY-CAR and ARRAY-CDR: false, after the message, for anything but an
// array.
bool arrayArgument(_cell* value) {
    if (isArray(value)) return true;
    PutMessage("配列ではありません");
    return false;
}

// The conses of a list, or -1 when it is circular: a walk at half the
// pace meets the first one only on a cycle.
long conses(_cell* c) {
    long n = 0;
    _cell* fast = c;
    _cell* slow = c;
    for (;;) {
        if (!isCons(fast)) return n;
        fast = fast->cdr.p;
        n++;
        if (!isCons(fast)) return n;
        fast = fast->cdr.p;
        n++;
        slow = slow->cdr.p;
        if (fast == slow) return -1;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// LENGTH, CHAR, COERCE, STRING-EQUAL
// ---------------------------------------------------------------------------

_cell* cfunction::jlength(_cell* value) {
    if (isCons(value) || isNil(value)) {
        long n = conses(value);
        if (n < 0) {
            PutMessage("エラー: 循環リストです");
            return nullptr;
        }
        return IntToCell(n);
    }
    if (isArray(value)) {
        _cell* dims = value->car.p;
        if (!isInteger(dims)) {
            PutMessage("エラー: 配列が壊れています");
            return nullptr;
        }
        if (CellToInt(dims) != 1) {
            PutMessage("エラー: 一次元配列ではありません");
            return nullptr;
        }
        if (!isCons(value->cdr.p)) {
            PutMessage("エラー: 配列が壊れています");
            return nullptr;
        }
        const ArrayIndex* ix = IndexOf(value);
        return IntToCell(ix ? ix->size : tlength(stringChars(value)));
    }
    PutMessage("エラー: 対象はリストか文字列でなくてはなりません。");
    return nullptr;
}

_cell* cfunction::tchar(_cell* args, _symval* frame, long count) {
    static const char kBad[] = "エラー: 文法が間違っています。";
    CellGroup g(this);
    _cell* str;
    _cell* index;
    if (!evalTwo(this, g, args, kBad, frame, count, &str, &index))
        return nullptr;
    if (!isString(str) || !isInteger(index) || CellToInt(index) < 0)
        return Fail(kBad, frame, count);
    long k = CellToInt(index);
    if (const ArrayIndex* ix = IndexOf(str))
        return k < ix->size ? car(ix->cells[k]) : NILCell;
    _cell* p = stringChars(str);
    for (; k > 0 && isCons(p); --k) p = cdr(p);
    return isCons(p) ? car(p) : NILCell;
}

namespace {

bool isVectorValue(const _cell* c) {
    return isArray(c) && isInteger(c->car.p) && CellToInt(c->car.p) == 1;
}

// A fresh spine holding the elements of the proper list l; null for a
// dotted or circular list.
_cell* spineCopy(cmemory* m, _cell* l) {
    ListBuilder b(m);
    _cell* slow = l;
    for (long i = 0; isCons(l); l = cdr(l), i++) {
        b.add(car(l));
        if (i & 1) {
            slow = cdr(slow);
            if (slow == cdr(l)) return nullptr;
        }
    }
    return isNil(l) ? b.finish(NILCell) : nullptr;
}

// The result types beyond STRING (which also takes a one-dimensional array
// of characters), LIST and FUNCTION: T, a one-dimensional
// array (VECTOR, SIMPLE-VECTOR, ARRAY) from a list or another such array,
// a string included; a list from such an array or a list; a floating
// number from a real one (FLOAT and its kinds); a character from a string
// of one. Null when the value does not fit the type. Allocates; never
// collects.
_cell* coerceMore(cfunction* f, _cell* value, _cell* type) {
    if (!isSymbol(type)) return nullptr;
    const char* name = type->car.s;
    auto is = [name](const char* n) { return std::strcmp(name, n) == 0; };
    if (is("T")) return value;
    if (type == LIST) {
        if (isVectorValue(value)) return spineCopy(f, stringChars(value));
        return isCons(value) || isNil(value) ? value : nullptr;
    }
    if (is("VECTOR") || is("SIMPLE-VECTOR") || is("ARRAY")) {
        _cell* items = isVectorValue(value) ? spineCopy(f, stringChars(value))
                                            : spineCopy(f, value);
        if (!items) return nullptr;
        _cell* body = f->getCell();
        body->car.p = f->getStringCell("ALL");
        body->cdr.p = items;
        _cell* array = f->getCell();
        array->type = kArrayTag;
        array->car.p = f->IntToCell(1);
        array->cdr.p = body;
        return array;
    }
    if (is("FLOAT") || is("SINGLE-FLOAT") || is("DOUBLE-FLOAT") ||
        is("SHORT-FLOAT") || is("LONG-FLOAT")) {
        if (!isNumber(value)) return nullptr;
        return isFloating(value) ? value
                                 : f->NumberToCell(cmemory::ExtendedValue(value));
    }
    if (type == CHARACTER) {
        if (isMoji(value)) return value;
        if (isString(value) && isCons(stringChars(value)) &&
            isNil(cdr(stringChars(value))))
            return car(stringChars(value));
    }
    return nullptr;
}

}  // namespace

// Both copies share the character cells; only the spine is new (a cons
// element of a character array made by hand is copied whole). Copy fails
// only when the C stack is nearly spent, with its message and no debug
// loop.
_cell* cfunction::coerce(_cell* args, _symval* frame, long count) {
    static const char kBad[] = "エラー: COERCE: 文法が間違っています。";
    CellGroup g(this);
    _cell* value;
    _cell* type;
    if (!evalTwo(this, g, args, kBad, frame, count, &value, &type))
        return nullptr;
    if (type == STRING && !isAllMoji(value) && isVectorValue(value) &&
        isAllMoji(stringChars(value)))
        value = stringChars(value);
    if (type == STRING) {
        if (!isAllMoji(value)) return Fail(kBad, frame, count);
        _cell* chars = CopyOrReport(value, frame, count);
        return chars ? MakeMojiretsu(chars) : nullptr;
    }
    if (type == LIST && isString(value))
        return CopyOrReport(stringChars(value), frame, count);
    if (type == FUNCTION) return value;
    // A vector or list made of a list or vector is a copy of its spine.
    _cell* items = isVectorValue(value) ? stringChars(value) : value;
    if (isCons(items) &&
        !RoomForResult(tlength(items, kCellCapacity) + 3, frame, count))
        return nullptr;
    if (_cell* r = coerceMore(this, value, type)) return r;
    return Fail(kBad, frame, count);
}

_cell* cfunction::StringEqual(_cell* a, _cell* b) {
    if (!isString(a) || !isString(b)) return NILCell;
    _cell* p = stringChars(a);
    _cell* q = stringChars(b);
    while (isCons(p) && isCons(q)) {
        _cell* x = car(p);
        _cell* y = car(q);
        if (x != y) {
            if (!isMoji(x) || !isMoji(y) || !sameMoji(x, y)) return NILCell;
        }
        p = cdr(p);
        q = cdr(q);
    }
    return (isCons(p) || isCons(q)) ? NILCell : TCell;
}

// ---------------------------------------------------------------------------
// Array primitives
// ---------------------------------------------------------------------------

_cell* cfunction::SetArray(_cell* form, _symval* frame, long count) {
    static const char kBad[] = "エラー: 配列型に設定できません。";
    _cell* args = form->cdr.p;
    if (!isCons(args)) return Fail(kBad, frame, count);
    _cell* value;
    {
        CellGroup g(this);
        g.push(form);
        value = eval(car(args), frame, count);
    }
    // A failed form (null, already reported) is reported twice,
    // deliberately: after its own debug loop SET-ARRAY reports kBad with
    // one more, as it always has.
    if (!isCons(value)) return Fail(kBad, frame, count);
    // The cons stops being one: a change of both its car and its cdr.
    SetTypeOf(value, 'a');
    return value;
}

_cell* cfunction::ArrayCar(_cell* value) {
    return arrayArgument(value) ? value->car.p : nullptr;
}

_cell* cfunction::ArrayCdr(_cell* value) {
    return arrayArgument(value) ? value->cdr.p : nullptr;
}

int cfunction::isAllMoji(_cell* c) {
    for (; isCons(c); c = cdr(c)) {
        _cell* x = car(c);
        if (!isMoji(x)) return 0;
    }
    return isNil(c) ? 1 : 0;
}
