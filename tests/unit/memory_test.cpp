// Unit tests of the memory layer: interning, fresh cells, frame lookup and
// write-back, and what the collector keeps and reclaims.
#include <gtest/gtest.h>

#include <climits>

#include "tests/unit/interp.h"

namespace {

TEST(Interning, SameNameSameCellAndKinds) {
    clisp& m = Lisp();
    _cell* a = m.getStringCell("FOO-UNIT");
    EXPECT_EQ(a, m.getStringCell("FOO-UNIT"));
    EXPECT_EQ('u', a->kind);
    EXPECT_EQ('c', m.getStringCell(":KEY-UNIT")->kind);
    // Case matters: interning is exact on bytes.
    EXPECT_NE(a, m.getStringCell("foo-unit"));
    // An uninterned symbol is never found by name.
    _cell* g = m.getStringCellWide("BAR-UNIT");
    EXPECT_EQ('g', g->kind);
    _cell* b = m.getStringCell("BAR-UNIT");
    EXPECT_NE(g, b);
    EXPECT_EQ(b, m.getStringCell("BAR-UNIT"));
    // The reader's NIL is the registered one.
    EXPECT_EQ(NILCell, m.getStringCell("NIL"));
    EXPECT_EQ(NIL, NILCell);
}

TEST(Cells, FreshCellAndConversions) {
    clisp& m = Lisp();
    _cell* c = m.getCell();
    EXPECT_EQ('l', c->type);
    EXPECT_EQ(NILCell, c->car.p);
    EXPECT_EQ(NILCell, c->cdr.p);
    EXPECT_EQ(nullptr, valuesOf(c));
    EXPECT_EQ(nullptr, closureEnvOf(c));
    _cell* f = m.BunsuToCell(2, 4);     // stored unchanged
    EXPECT_EQ(2, CellToBunshi(f));
    EXPECT_EQ(4, CellToBunbo(f));
    EXPECT_EQ(0, CellToInt(f));
    EXPECT_EQ(0.0L, CellToNumber(m.IntToCell(7)));
    EXPECT_EQ(0, CellToInt(m.NumberToCell(2.5L)));
    EXPECT_EQ(-29, m.getMojiCell(0xE3, 0)->car.c);
}

TEST(Frames, LookupFindsInnermostAndWriteBackLetsInnermostWin) {
    clisp& m = Lisp();
    _cell* x = m.getStringCell("X");
    _cell* y = m.getStringCell("Y");
    _cell* one = m.IntToCell(1);
    _cell* two = m.IntToCell(2);
    _cell* three = m.IntToCell(3);
    _symval outer[2] = {{0, x, one}, {0, y, one}};
    // inner: a new X, then copies of the outer X and Y
    _symval inner[3] = {{0, x, two}, {0, x, three}, {0, nullptr, two}};
    EXPECT_EQ(0, m.getLocal(inner, 3, x));
    EXPECT_EQ(-1, m.getLocal(inner, 3, y));   // null symbols never match
    // Copies from index 1 on are written back; the lowest copy wins.
    m.SetOrgLoc(outer, 2, inner, 1, 3);
    EXPECT_EQ(three, outer[0].value);
    EXPECT_EQ(one, outer[1].value);
    m.SetOrgLoc(outer, 2, inner, 0, 3);
    EXPECT_EQ(two, outer[0].value);
}

TEST(Collector, ReclaimsUnreachableKeepsProtected) {
    clisp& m = Lisp();
    _cell* kept = m.getCell();
    _cell* lost = m.getCell();
    CellGroup outer(&m);
    outer.push(kept);
    {
        // an inner group ended on its own leaves the outer one protected
        CellGroup inner(&m);
        inner.push(lost);
    }
    m.gc();
    EXPECT_TRUE(m.InUse(kept));
    EXPECT_FALSE(m.InUse(lost));
}

TEST(Collector, KeptFrameLivesWhileItsClosureIsReachable) {
    clisp& m = Lisp();
    // Start from an empty kept list: nothing is protected between tests, so
    // a collection frees every frame an earlier test kept.
    m.gc();
    ASSERT_EQ(nullptr, m.keptFrames);
    _cell* x = m.getStringCell("X");
    _symval* frame = m.AllocFrame(1);
    frame[0].symbol = x;
    frame[0].value = m.IntToCell(42);
    _cell* closure = m.getCell();
    m.setClosureEnv(closure, frame, 1);
    m.CaptureFrame(frame);
    m.ReleaseFrame(frame);          // the form that made it has ended
    {
        CellGroup g(&m);
        g.push(closure);
        m.gc();
        ASSERT_NE(nullptr, m.keptFrames);
        EXPECT_TRUE(m.InUse(frame[0].value));
        EXPECT_EQ(42, CellToInt(frame[0].value));
    }
    m.gc();                         // unreachable now: the frame is freed
    EXPECT_EQ(nullptr, m.keptFrames);
}

TEST(Wrapping, TwosComplement) {
    EXPECT_EQ(LONG_MIN, wrapAdd(LONG_MAX, 1));
    EXPECT_EQ(-2, wrapMul(LONG_MAX, 2));
    EXPECT_EQ(LONG_MIN, wrapNeg(LONG_MIN));
    EXPECT_EQ(LONG_MAX, wrapSub(LONG_MIN, 1));
}

}  // namespace
