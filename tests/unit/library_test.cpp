// Unit tests of the library helpers that transcripts cannot reach: stream
// numbers outside the file table, file names at the buffer's edge, and the
// character-list test behind COERCE.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/unit/interp.h"

namespace {

// The file table as start-up leaves it: every slot free. The tests only
// forget streams here; each one closes what it opened itself.
void EmptyFileTable(clisp& m) {
    for (int i = 0; i < kFileSlots; ++i) m.fileTable[i] = nullptr;
}

_cell* charList(clisp& m, const char* text) {
    _cell* head = NILCell;
    _cell* tail = nullptr;
    for (const char* p = text; *p != '\0'; ++p) {
        _cell* c = m.getCell();
        c->car.p = m.getMojiCell(*p, 0);
        if (tail == nullptr)
            head = c;
        else
            tail->cdr.p = c;
        tail = c;
    }
    return head;
}

TEST(FileTable, NumbersOutsideTheTableDesignateNothing) {
    clisp& m = Lisp();
    EmptyFileTable(m);
    auto stream = [&m](long n) {
        _cell* c = m.IntToCell(n);
        c->kind = 's';
        return c;
    };
    EXPECT_EQ(nullptr, m.getStream(stream(0)));
    EXPECT_EQ(nullptr, m.getStream(stream(kFileSlots + 1)));
    EXPECT_EQ(nullptr, m.getStream(stream(-1)));
    EXPECT_EQ(nullptr, m.getStream(stream(1)));     // free slot
    EXPECT_EQ(nullptr, m.getStream(NILCell));
    EXPECT_EQ(nullptr, m.getStream2(stream(kFileSlots + 1)));
    // A plain integer is no stream, even when its slot is open.
    FILE* f = std::tmpfile();
    ASSERT_NE(nullptr, f);
    _cell* opened = m.SetFilePointer(f, false);
    ASSERT_EQ(1, CellToInt(opened));
    EXPECT_EQ(nullptr, m.getStream(m.IntToCell(1)));
    EXPECT_EQ(nullptr, m.getStream(stream(1)));     // not of this opening
    EXPECT_EQ(f, m.getStream2(opened));
    std::fclose(f);
}

TEST(FileTable, SlotsFillLowestFirstAndFreeOnGetStream2) {
    clisp& m = Lisp();
    EmptyFileTable(m);
    FILE* f = std::tmpfile();
    ASSERT_NE(nullptr, f);
    _cell* s[kFileSlots];
    for (int i = 0; i < kFileSlots; ++i) {
        s[i] = m.SetFilePointer(f, false);
        ASSERT_EQ('i', s[i]->type);
        EXPECT_EQ('s', s[i]->kind);
        EXPECT_EQ(i + 1, CellToInt(s[i]));
    }
    EXPECT_EQ(NILCell, m.SetFilePointer(f, false));
    EXPECT_EQ(f, m.getStream2(s[3]));
    EXPECT_EQ(nullptr, m.getStream(s[3]));
    _cell* again = m.SetFilePointer(f, false);
    EXPECT_EQ(4, CellToInt(again));
    // The object of the closed opening stays closed in the reused slot.
    EXPECT_EQ(nullptr, m.getStream(s[3]));
    EXPECT_EQ(f, m.getStream(again));
    s[3] = again;
    for (int i = 0; i < kFileSlots; ++i) m.getStream2(s[i]);
    std::fclose(f);
}

TEST(FileNames, StringNamesEndAtTheBuffer) {
    clisp& m = Lisp();
    char buf[256];
    std::memset(buf, 'x', sizeof buf);
    std::string ok(255, 'a');
    ASSERT_EQ(1, m.toPathMojiretsu(m.MakeMojiretsu(charList(m, ok.c_str())),
                                   buf, 256));
    EXPECT_EQ(ok, std::string(buf));
    std::string tooLong(256, 'b');
    EXPECT_EQ(0, m.toPathMojiretsu(
                     m.MakeMojiretsu(charList(m, tooLong.c_str())), buf, 256));
    EXPECT_EQ(0, m.toPathMojiretsu(m.MakeMojiretsu(NILCell), buf, 256));
    EXPECT_EQ(0, m.toPathMojiretsu(m.getStringCell("SYM"), buf, 256));
}

TEST(Characters, IsAllMojiWantsAProperListOfCharacters) {
    clisp& m = Lisp();
    EXPECT_EQ(1, m.isAllMoji(NILCell));
    EXPECT_EQ(1, m.isAllMoji(charList(m, "ab")));
    _cell* dotted = charList(m, "ab");
    dotted->cdr.p->cdr.p = m.getMojiCell('c', 0);
    EXPECT_EQ(0, m.isAllMoji(dotted));
    _cell* mixed = charList(m, "ab");
    mixed->cdr.p->car.p = m.IntToCell(1);
    EXPECT_EQ(0, m.isAllMoji(mixed));
    EXPECT_EQ(0, m.isAllMoji(m.IntToCell(1)));
}

}  // namespace
