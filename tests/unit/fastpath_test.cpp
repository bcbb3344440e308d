// The table of C++ paths of prelude functions (eval/fastpath.h) against the
// prelude: a change of the prelude that a path relies on switches the path
// off without any transcript noticing (the definition gives the same
// answers, only slower), so every path is checked to be live here.
#include <gtest/gtest.h>

#include "eval/fastpath.h"
#include "tests/unit/interp.h"

namespace {

// The shared interpreter with the prelude loaded (once: a second load
// would be a redefinition of every name).
clisp& WithPrelude() {
    static const bool loaded = Lisp().ReadEvalLoop() == 1;
    EXPECT_TRUE(loaded);
    return Lisp();
}

TEST(FastPaths, AllLiveAfterPrelude) {
    clisp& l = WithPrelude();
    EXPECT_EQ(l.fastIntact, fastpath::kAllBits);
    for (int op = OP_F_NOT; op < OP_COUNT; op++) {
        const fastpath::FastPath* p = fastpath::pathOf(op);
        ASSERT_NE(p, nullptr) << op;
        EXPECT_EQ(p->op, op);
        EXPECT_EQ(l.fastIntact & p->needs, p->needs) << p->name;
        _cell* s = l.CheckStringCell(p->name);
        ASSERT_NE(s, nullptr) << p->name;
        EXPECT_EQ(s->closureCount, op) << p->name;
        _symval* record = l.getFuncval2(s);
        ASSERT_NE(record, nullptr) << p->name;
        EXPECT_EQ(record->kind, p->kind) << p->name;
        EXPECT_LE(p->minArgs, p->maxArgs) << p->name;
        EXPECT_LE(p->maxArgs, fastpath::kMaxArgs) << p->name;
    }
    EXPECT_EQ(fastpath::pathOf(OP_COUNT), nullptr);
    // MAPCAR's path stands for the prelude's definition it took its shape
    // from, which is the one in place.
    _symval* mapcar = l.getFuncval2(l.CheckStringCell("MAPCAR"));
    ASSERT_NE(mapcar, nullptr);
    EXPECT_EQ(l.mapcarDef, mapcar->value);
}

// A redefinition of NTH turns off every path whose answer relies on it
// (SECOND .. TENTH, AREF, MAKE-ARRAY) and leaves the others on.
TEST(FastPaths, RedefinitionTurnsOffItsDependents) {
    clisp& l = WithPrelude();
    l.NoteRedefinition(l.CheckStringCell("NTH"));
    auto live = [&l](int op) {
        const fastpath::FastPath* p = fastpath::pathOf(op);
        return (l.fastIntact & p->needs) == p->needs;
    };
    EXPECT_FALSE(live(OP_F_NTH));
    EXPECT_FALSE(live(OP_F_SECOND));
    EXPECT_FALSE(live(OP_F_TENTH));
    EXPECT_FALSE(live(OP_F_AREF));
    EXPECT_FALSE(live(OP_F_MAKEARRAY));
    EXPECT_TRUE(live(OP_F_FIRST));
    EXPECT_TRUE(live(OP_F_REST));
    EXPECT_TRUE(live(OP_F_MAPCAR));
    EXPECT_TRUE(live(OP_F_SETF));
    l.InitFastPaths();  // the prelude's definitions were never replaced
    EXPECT_EQ(l.fastIntact, fastpath::kAllBits);
}

}  // namespace
