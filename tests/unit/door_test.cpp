// The door for changing a cell (cfunction::SetCar, SetCdr): a change made
// through it reaches both caches that hold only while cells stay as they
// were, the array index and the kept macro expansion. A write that missed
// the count would leave them answering for the old cells, which no
// transcript could tell from a right answer until a program changed its
// data in just that place.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/interp.h"

namespace {

_cell* Cons(clisp& l, _cell* a, _cell* d) {
    _cell* c = l.getCell();
    c->car.p = a;
    c->cdr.p = d;
    return c;
}

// The one form a text holds, read as the prompt reads it.
_cell* ReadForm(clisp& l, const char* text) {
    static char buf[kLineSize];
    std::strncpy(buf, text, sizeof buf - 1);
    _cell* form = nullptr;
    return l.ReadText(buf, &form) == 1 ? form : nullptr;
}

TEST(CellDoor, SetCdrOfASpineDropsTheArrayIndex) {
    clisp& l = Lisp();
    CellGroup g(&l);
    // A vector of three elements, made as MAKE-ARRAY makes it.
    _cell* list =
        Cons(l, l.IntToCell(1),
             Cons(l, l.IntToCell(2), Cons(l, l.IntToCell(3), NILCell)));
    _cell* array = g.push(l.getCell());
    array->car.p = l.IntToCell(1);
    array->cdr.p = Cons(l, l.getStringCell("ALL"), list);
    array->type = 'a';

    const ArrayIndex* ix = l.IndexOf(array);
    ASSERT_NE(ix, nullptr);
    EXPECT_EQ(ix->size, 3);
    CacheStamp built = ix->stamp;
    // An element changes in its cons, where the index finds it.
    l.SetCar(list, l.IntToCell(9));
    EXPECT_TRUE(l.StillGood(built, l.spineChanges));
    // The vector loses its last element.
    l.SetCdr(list->cdr.p, NILCell);
    EXPECT_FALSE(l.StillGood(built, l.spineChanges));
    ix = l.IndexOf(array);
    ASSERT_NE(ix, nullptr);
    EXPECT_EQ(ix->size, 2);
    EXPECT_EQ(ix->cells[0], list);
}

TEST(CellDoor, SetCarOfAnArgumentDropsTheKeptExpansion) {
    clisp& l = Lisp();
    CellGroup g(&l);
    _cell* def = ReadForm(l, "(DEFMACRO DOOR$FIRST (X) `(QUOTE ,(CAR X)))");
    ASSERT_NE(def, nullptr);
    g.push(def);
    ASSERT_NE(l.eval(def, nullptr, 0), nullptr);
    _cell* call = ReadForm(l, "(DOOR$FIRST (1 2))");
    ASSERT_NE(call, nullptr);
    g.push(call);
    _cell* v = l.eval(call, nullptr, 0);
    ASSERT_TRUE(isInteger(v));
    EXPECT_EQ(CellToInt(v), 1);
    // The expansion is kept for the call's argument list.
    const KeptExpansion* kept = nullptr;
    for (const KeptExpansion& k : l.keptExpansions)
        if (k.args == call->cdr.p && k.expansion) kept = &k;
    ASSERT_NE(kept, nullptr);
    CacheStamp made = kept->stamp;

    l.SetCar(call->cdr.p->car.p, l.IntToCell(5));  // (5 2)
    EXPECT_FALSE(l.StillGood(made, l.cellChanges));
    v = l.eval(call, nullptr, 0);
    ASSERT_TRUE(isInteger(v));
    EXPECT_EQ(CellToInt(v), 5);
}

}  // namespace
