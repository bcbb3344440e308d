// tamarisk evaluator layer, built-in library: strings, characters and the
// array primitives the prelude builds MAKE-ARRAY and AREF on.
//
// An array is an 'a' cell whose car is the dimension-count integer and whose
// cdr is (element-type . contents); a string is the one-dimensional array of
// element type CHARACTER. Nothing here copies an array: ARRAY-CAR and
// ARRAY-CDR hand out the very cells so that the prelude can change elements
// in place.
#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

inline _cell* car(_cell* c) { return c->car.p; }
inline _cell* cdr(_cell* c) { return c->cdr.p; }
inline bool isCons(_cell* c) { return c != nullptr && c->type == 'l'; }

// Characters compare by their low byte: the reader keeps bytes signed, while
// CODE-CHAR keeps them as 0..255.
inline long lowByte(_cell* ch) { return ch->car.c & 0xFF; }

}  // namespace

// ---------------------------------------------------------------------------
// LENGTH, CHAR, COERCE, STRING-EQUAL
// ---------------------------------------------------------------------------

_cell* cfunction::jlength(_cell* value) {
    if (value == nullptr) return nullptr;
    if (isCons(value) || value == NILCell) return IntToCell(tlength(value));
    if (value->type == 'a') {
        _cell* dims = value->car.p;
        if (dims == nullptr || dims->type != 'i') {
            puts("エラー: 配列が壊れています");
            return nullptr;
        }
        if (CellToInt(dims) != 1) {
            puts("エラー: 一次元配列ではありません");
            return nullptr;
        }
        if (!isCons(value->cdr.p)) {
            puts("エラー: 配列が壊れています");
            return nullptr;
        }
        return IntToCell(tlength(cdr(value->cdr.p)));
    }
    puts("エラー: 対象はリストか文字列でなくてはなりません。");
    return nullptr;
}

_cell* cfunction::tchar(_cell* args, _symval* frame, long count) {
    static const char kBad[] = "エラー: 文法が間違っています。";
    if (!isCons(args)) return Fail(kBad, frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* str = eval(car(args), frame, count);
    if (str == nullptr) return nullptr;
    g.push(str);
    if (!isCons(cdr(args))) return Fail(kBad, frame, count);
    _cell* index = eval(car(cdr(args)), frame, count);
    if (index == nullptr) return nullptr;
    if (!isString(str) || index->type != 'i' || CellToInt(index) < 0)
        return Fail(kBad, frame, count);
    long k = CellToInt(index);
    _cell* p = cdr(str->cdr.p);
    for (; k > 0 && isCons(p); --k) p = cdr(p);
    return isCons(p) ? car(p) : NILCell;
}

_cell* cfunction::coerce(_cell* args, _symval* frame, long count) {
    static const char kBad[] = "エラー: COERCE: 文法が間違っています。";
    if (!isCons(args)) return Fail(kBad, frame, count);
    CellGroup g(this);
    g.push(args);
    _cell* value = eval(car(args), frame, count);
    if (value == nullptr) return nullptr;
    g.push(value);
    if (!isCons(cdr(args))) return Fail(kBad, frame, count);
    _cell* type = eval(car(cdr(args)), frame, count);
    if (type == nullptr) return nullptr;

    if (type == STRING) {
        if ((!isCons(value) && value != NILCell) || !isAllMoji(value))
            return Fail(kBad, frame, count);
        // The list holds only characters, so a copy of its spine is a full
        // copy; the character cells themselves are shared.
        _cell* head = NILCell;
        _cell* tail = nullptr;
        for (_cell* p = value; isCons(p); p = cdr(p)) {
            _cell* c = getCell();
            c->car.p = car(p);
            if (tail == nullptr)
                head = c;
            else
                tail->cdr.p = c;
            tail = c;
        }
        return MakeMojiretsu(head);
    }
    if (type == LIST) {
        if (!isString(value)) return Fail(kBad, frame, count);
        // Walk the spine iteratively so a long string cannot nest deeply;
        // any element that is itself a cons is copied whole.
        _cell* head = NILCell;
        _cell* tail = nullptr;
        _cell* p = cdr(value->cdr.p);
        for (; isCons(p); p = cdr(p)) {
            _cell* elem = car(p);
            if (isCons(elem)) {
                elem = Copy(elem);
                if (elem == nullptr) return nullptr;
            }
            _cell* c = getCell();
            c->car.p = elem;
            if (tail == nullptr)
                head = c;
            else
                tail->cdr.p = c;
            tail = c;
        }
        if (tail != nullptr)
            tail->cdr.p = p;
        else
            head = p;
        return head;
    }
    if (type == FUNCTION) return value;
    return Fail(kBad, frame, count);
}

_cell* cfunction::StringEqual(_cell* a, _cell* b) {
    if (!isString(a) || !isString(b)) return NILCell;
    _cell* p = cdr(a->cdr.p);
    _cell* q = cdr(b->cdr.p);
    while (isCons(p) && isCons(q)) {
        _cell* x = car(p);
        _cell* y = car(q);
        if (x != y) {
            if (x == nullptr || y == nullptr || x->type != 'm' ||
                y->type != 'm')
                return NILCell;
            if (lowByte(x) != lowByte(y) || x->cdr.c != y->cdr.c)
                return NILCell;
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
    if (!isCons(value)) return Fail(kBad, frame, count);
    value->type = 'a';
    return value;
}

_cell* cfunction::ArrayCar(_cell* value) {
    if (value == nullptr) return nullptr;
    if (value->type != 'a') {
        puts("配列ではありません");
        return nullptr;
    }
    return value->car.p;
}

_cell* cfunction::ArrayCdr(_cell* value) {
    if (value == nullptr) return nullptr;
    if (value->type != 'a') {
        puts("配列ではありません");
        return nullptr;
    }
    return value->cdr.p;
}

int cfunction::isAllMoji(_cell* c) {
    for (; isCons(c); c = cdr(c)) {
        _cell* x = car(c);
        if (x == nullptr || x->type != 'm') return 0;
    }
    return c == NILCell ? 1 : 0;
}
