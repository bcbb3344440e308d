// Unit tests of the reader: the balance checks and normalisation on raw
// text, the five rewritings and their length bound, token classes, cell
// building, the file gatherer and the line readers.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <stdio_ext.h>
#include <string>
#include <vector>
#include <unistd.h>

#include "tests/unit/interp.h"

namespace {

// A writable copy of a text, as the passes work in place.
struct Text {
    explicit Text(const std::string& s) {
        EXPECT_LT(s.size(), sizeof buf);
        std::memcpy(buf, s.data(), s.size());
        buf[s.size()] = 0;
    }
    char buf[kLineSize];
    std::string str() const { return buf; }
};

std::string Normalised(const std::string& s) {
    Text t(s);
    Lisp().SkipTerm(t.buf);
    return t.str();
}

// The five rewritings as every reader runs them; "FAIL" when one refuses.
std::string Rewritten(const std::string& s) {
    Text t(s);
    if (!Lisp().RewriteAll(t.buf)) return "FAIL";
    return t.str();
}

_cell* Read(const std::string& s) {
    Text t(s);
    return Lisp().readFromString(t.buf);
}

// A compact external form, enough to check structure and atom classes:
// i:5, n:2.5, b:1/2, m:a, s:NAME (kind in brackets when not 'u'), "text".
std::string Show(_cell* c) {
    if (!c) return "null";
    char buf[64];
    switch (c->type) {
    case 'i':
        std::snprintf(buf, sizeof buf, "i:%ld", CellToInt(c));
        return buf;
    case 'n':
        std::snprintf(buf, sizeof buf, "n:%Lg", CellToNumber(c));
        return buf;
    case 'b':
        std::snprintf(buf, sizeof buf, "b:%ld/%ld", CellToBunshi(c),
                      CellToBunbo(c));
        return buf;
    case 'm':
        return std::string("m:") + (char)c->car.c;
    case 's': {
        std::string s = c->car.s;
        if (c->kind != 'u') s += std::string("[") + c->kind + "]";
        return "s:" + s;
    }
    case 'a': {
        std::string s = "\"";
        for (_cell* p = c->cdr.p->cdr.p; p != NILCell; p = p->cdr.p)
            s += (char)p->car.p->car.c;
        return s + "\"";
    }
    case 'l': {
        std::string s = "(";
        _cell* p = c;
        for (;;) {
            s += Show(p->car.p);
            p = p->cdr.p;
            if (p->type != 'l') break;
            s += " ";
        }
        if (p != NILCell) s += " . " + Show(p);
        return s + ")";
    }
    }
    return "?";
}

// ---------------------------------------------------------------------------
// Scanners and balance checks
// ---------------------------------------------------------------------------

TEST(SkipDoubleQuote, BackslashEscapesTheNextByte) {
    Text a("abc\" x");
    EXPECT_EQ(a.buf + 4, SkipDoubleQuote(a.buf));
    Text b("a\\\"b\" x");              // a\"b" : the escaped quote stays inside
    EXPECT_EQ(b.buf + 5, SkipDoubleQuote(b.buf));
    Text c("a\\\\\" x");               // a\\" : an escaped backslash, then close
    EXPECT_EQ(c.buf + 4, SkipDoubleQuote(c.buf));
    Text d("abc");
    EXPECT_EQ(nullptr, SkipDoubleQuote(d.buf));
    Text e("abc\\");                   // a backslash escaping the NUL
    EXPECT_EQ(nullptr, SkipDoubleQuote(e.buf));
}

// The one description of the units, as the gatherers feed it raw text:
// c ordinary text, q inside a string or character literal, d a comment.
TEST(UnitScan, RolesOfRawText) {
    auto roles = [](const std::string& s) {
        UnitScan u;
        std::string r;
        for (char c : s) r += "cqd"[u.take(c)];
        return r;
    };
    // a "b\"c" ;x NL #\; #\" (
    EXPECT_EQ("cqqqqqqddcccqccqc", roles("a\"b\\\"c\";x\n#\\;#\\\"("));
    // The byte of a literal starts nothing, not even a literal: after
    // #\# the backslash is ordinary and the quote opens a string.
    EXPECT_EQ("ccqcq", roles("#\\#\\\""));
}

TEST(UnitScan, SkipUnitAtEveryKind) {
    Text t("#\\");  // a lone #\ at the end: two bytes
    EXPECT_EQ(t.buf + 2, SkipUnit(t.buf));
    Text l("#\\xy");
    EXPECT_EQ(l.buf + 3, SkipUnit(l.buf));
    Text h("#x");
    EXPECT_EQ(h.buf, SkipUnit(h.buf));
    Text s("\"a\\\"\" b");  // "a\"" : one string
    EXPECT_EQ(s.buf + 5, SkipUnit(s.buf));
    Text o("\"a\\");  // "a\ : never closes
    EXPECT_EQ(nullptr, SkipUnit(o.buf));
}

TEST(CheckBrace, ConsoleBalance) {
    clisp& m = Lisp();
    auto cb = [&](const std::string& s) { return m.CheckBrace(Text(s).buf); };
    EXPECT_EQ(1, cb("abc\n"));
    EXPECT_EQ(0, cb("(a b\n"));
    EXPECT_EQ(1, cb("(a b\nc)\n"));
    EXPECT_EQ(1, cb("(a))"));           // complete at the first ')'
    EXPECT_EQ(-1, cb(")"));
    EXPECT_EQ(-1, cb("  )(a)"));
    EXPECT_EQ(0, cb("\n"));             // blank lines read on
    EXPECT_EQ(0, cb("'\n"));            // so does a lone quote mark
    EXPECT_EQ(0, cb("` ,@\n"));
    EXPECT_EQ(1, cb("(#\\( a)\n"));     // the literal for ( is not counted
    EXPECT_EQ(1, cb("(#\\) a)\n"));
    EXPECT_EQ(0, cb("(a \")\"\n"));     // a ) inside a string
    EXPECT_EQ(0, cb("\"abc\n"));        // a string spanning lines
    EXPECT_EQ(1, cb("\"abc\ndef\"\n"));
    EXPECT_EQ(1, cb("\"a\\\\\"\n"));    // "a\\" closes
    EXPECT_EQ(0, cb("\"a\\\"\n"));      // "a\" does not
    EXPECT_EQ(0, cb("(#\\"));           // a lone #\ at the end
    EXPECT_EQ(1, cb("a (b\n"));         // an atom first: complete
}

TEST(CheckBrace, CrTabOnly) {
    clisp& m = Lisp();
    auto ct = [&](const std::string& s) { return m.CrTabOnly(Text(s).buf); };
    EXPECT_EQ(1, ct(""));
    EXPECT_EQ(1, ct(" \t\r\n'`,@"));
    EXPECT_EQ(1, ct(" ("));
    EXPECT_EQ(1, ct("')"));
    EXPECT_EQ(1, ct("\"abc"));
    EXPECT_EQ(0, ct("\"abc\""));
    EXPECT_EQ(0, ct("  x"));
}

TEST(CheckBrace, FileBalance) {
    clisp& m = Lisp();
    auto cb = [&](const std::string& s) { return m.CheckBrace2(Text(s).buf); };
    EXPECT_EQ(0, cb(""));
    EXPECT_EQ(0, cb(" \n' "));
    EXPECT_EQ(-1, cb(" \n)"));
    EXPECT_EQ(0, cb("(a b"));
    EXPECT_EQ(1, cb("(a b)"));
    EXPECT_EQ(1, cb("'(a (b) \")\" #\\))"));
    EXPECT_EQ(0, cb("(a \"b"));
    EXPECT_EQ(0, cb("abc"));
    EXPECT_EQ(1, cb("abc\t"));
    EXPECT_EQ(1, cb("\"a b\""));        // a top-level string ends at a blank
}

TEST(SkipTerm, FoldsAndBlanksOutsideStringsAndLiterals) {
    EXPECT_EQ("(A B C) ", Normalised("(a b\nc)\n"));
    EXPECT_EQ("(A  B)", Normalised("(a\t\rb)"));
    EXPECT_EQ("\"ab\ncd\" X ", Normalised("\"ab\ncd\" x\n"));
    EXPECT_EQ("#\\a ABC 1E5", Normalised("#\\a abc 1e5"));
    EXPECT_EQ("(#\\\n)", Normalised("(#\\\n)"));    // the newline character
    EXPECT_EQ("\"a\\\"b\" C", Normalised("\"a\\\"b\" c"));
    EXPECT_EQ("A \"bc", Normalised("a \"bc"));       // unclosed: left alone
    EXPECT_EQ("\xe3\x81\x82Z", Normalised("\xe3\x81\x82z"));
    EXPECT_EQ("#\\", Normalised("#\\"));
}

// ---------------------------------------------------------------------------
// Rewritings
// ---------------------------------------------------------------------------

TEST(Rewrite, MarksBecomeLists) {
    EXPECT_EQ("(FUNCTION F)", Rewritten("#'F"));
    EXPECT_EQ("(QUOTE X)", Rewritten("'X"));
    EXPECT_EQ("(QUOTE (A (QUOTE B)))", Rewritten("'(A 'B)"));
    EXPECT_EQ("(QUOTE (QUOTE X))", Rewritten("''X"));
    EXPECT_EQ("(BACKQUOTE (A , B , @ C))", Rewritten("`(A ,B ,@C)"));
    EXPECT_EQ("(BACKQUOTE , X)", Rewritten("`,X"));
    EXPECT_EQ("(QUOTE (FUNCTION F))", Rewritten("'#'F"));
    EXPECT_EQ("(A (QUOTE ))", Rewritten("(A ')"));
    EXPECT_EQ("(QUOTE )", Rewritten("'"));
    EXPECT_EQ("DON(QUOTE T)", Rewritten("DON'T"));
    EXPECT_EQ("A@ B", Rewritten("A@B"));
    EXPECT_EQ(", @ ", Rewritten(",@"));
    EXPECT_EQ("(QUOTE \"A B\")", Rewritten("'\"A B\""));
    EXPECT_EQ("(QUOTE #\\ ) X", Rewritten("'#\\  X"));
    EXPECT_EQ("(QUOTE (A \"(\" #\\)))", Rewritten("'(A \"(\" #\\))"));
    EXPECT_EQ("(A) (QUOTE B)", Rewritten("(A) 'B"));   // the whole text
}

TEST(Rewrite, LiteralsAndStringsAreLeftAlone) {
    EXPECT_EQ("(#\\' #\\, #\\@ #\\`)", Rewritten("(#\\' #\\, #\\@ #\\`)"));
    EXPECT_EQ("\"it's ,@`\"", Rewritten("\"it's ,@`\""));
    EXPECT_EQ("\"a\\\"'\"", Rewritten("\"a\\\"'\""));
    EXPECT_EQ("#\\", Rewritten("#\\"));
}

TEST(Rewrite, UnclosedMarksStopAtTheEnd) {
    EXPECT_EQ("(A) (QUOTE (B C)", Rewritten("(A) '(B C"));
    // An unclosed string fails the pass without a message.
    std::string out = CaptureStdout([] {
        Text t("(A) 'B \"C");
        EXPECT_EQ(0, Lisp().MakeQuoteText(t.buf, kTextBound));
    });
    EXPECT_EQ("", out);
    out = CaptureStdout([] {
        Text t("(A) \"C");
        EXPECT_EQ(0, Lisp().MakeCommaText(t.buf, kTextBound));
    });
    EXPECT_EQ("", out);
}

TEST(Rewrite, LengthBound) {
    const std::string msg = "エラー: Ｓ式が長すぎます\n";
    // 19999 bytes are refused by the first pass; 19998 pass all five.
    std::string out = CaptureStdout(
        [] { EXPECT_EQ("FAIL", Rewritten(std::string(19999, 'A'))); });
    EXPECT_EQ(msg, out);
    out = CaptureStdout([] {
        EXPECT_EQ(std::string(19998, 'A'), Rewritten(std::string(19998, 'A')));
    });
    EXPECT_EQ("", out);
    // A quote adds seven bytes: to 19998 is fine, to 19999 is refused.
    std::string ok = "'" + std::string(19990, 'A');
    out = CaptureStdout([&] {
        EXPECT_EQ("(QUOTE " + std::string(19990, 'A') + ")", Rewritten(ok));
    });
    EXPECT_EQ("", out);
    out = CaptureStdout([] {
        EXPECT_EQ("FAIL", Rewritten("'" + std::string(19991, 'A')));
    });
    EXPECT_EQ(msg, out);
    // #' adds nine, ` eleven.
    out = CaptureStdout([] {
        EXPECT_EQ("FAIL", Rewritten("#'" + std::string(19988, 'A')));
        EXPECT_EQ("FAIL", Rewritten("`" + std::string(19987, 'A')));
    });
    EXPECT_EQ(msg + msg, out);
    out = CaptureStdout([] {
        EXPECT_NE("FAIL", Rewritten("#'" + std::string(19987, 'A')));
        EXPECT_NE("FAIL", Rewritten("`" + std::string(19986, 'A')));
    });
    EXPECT_EQ("", out);
    // A comma or at sign adds one.
    out = CaptureStdout([] {
        EXPECT_EQ("FAIL", Rewritten("," + std::string(19997, 'A')));
        EXPECT_NE("FAIL", Rewritten("@" + std::string(19996, 'A')));
    });
    EXPECT_EQ(msg, out);
    // Many quotes: the running length grows with every rewrite. Each quote
    // becomes eight bytes, 2499 of them 19992.
    std::string many = std::string(2499, '\'') + "ABCDEF";
    EXPECT_EQ(19998u, Rewritten(many).size());
    out = CaptureStdout([&] { EXPECT_EQ("FAIL", Rewritten(many + "G")); });
    EXPECT_EQ(msg, out);
}

TEST(Rewrite, TaiouFindsTheExtent) {
    clisp& m = Lisp();
    auto ext = [&](const std::string& s) {
        Text t(s);
        return std::string(t.buf, m.taiou(t.buf));
    };
    EXPECT_EQ("  ABC", ext("  ABC DEF"));
    EXPECT_EQ("X", ext("X)"));
    EXPECT_EQ("''(A (B) C)", ext("''(A (B) C) D"));
    EXPECT_EQ(",@X", ext(",@X Y"));
    EXPECT_EQ("(A \")\" #\\) B)", ext("(A \")\" #\\) B) C"));
    EXPECT_EQ("A\"B C\"D", ext("A\"B C\"D E"));
    EXPECT_EQ("#\\ ", ext("#\\  X"));
    EXPECT_EQ("", ext(")"));
    EXPECT_EQ("", ext(""));
    EXPECT_EQ("(A (B", ext("(A (B"));           // never closes: the rest
    EXPECT_EQ("(A \"B)", ext("(A \"B)"));
    EXPECT_EQ("#\\", ext("#\\"));
}

// ---------------------------------------------------------------------------
// Tokens and cells
// ---------------------------------------------------------------------------

TEST(AnaType, Classes) {
    clisp& m = Lisp();
    auto at = [&](const std::string& s) { return m.AnaType(Text(s).buf); };
    EXPECT_EQ(0, at("1+"));
    EXPECT_EQ(0, at("1-"));
    EXPECT_EQ(0, at("+5"));
    EXPECT_EQ(0, at("-"));
    EXPECT_EQ(0, at("-A"));
    EXPECT_EQ(0, at("ABC"));
    EXPECT_EQ(0, at("."));
    EXPECT_EQ(0, at("#\\"));
    EXPECT_EQ(0, at(""));
    EXPECT_EQ(1, at(".5"));
    EXPECT_EQ(1, at("-.5"));
    EXPECT_EQ(1, at("12.5"));
    EXPECT_EQ(1, at("-3.25"));
    EXPECT_EQ(1, at("1E5"));
    EXPECT_EQ(1, at("2E+3"));
    EXPECT_EQ(1, at("-2E-3"));
    EXPECT_EQ(1, at("1.5.3"));
    EXPECT_EQ(3, at("1/2.5"));          // the digit run ends at the '/'
    EXPECT_EQ(2, at("5."));
    EXPECT_EQ(2, at("1E"));
    EXPECT_EQ(2, at("12ABC"));
    EXPECT_EQ(2, at("-5"));
    EXPECT_EQ(2, at("3/-6"));
    EXPECT_EQ(2, at("1e5"));            // only the upper-case E counts
    EXPECT_EQ(3, at("3/6"));
    EXPECT_EQ(3, at("-3/6"));
    EXPECT_EQ(4, at("\"abc\""));
    EXPECT_EQ(4, at("\""));
    EXPECT_EQ(5, at("#\\a"));
    EXPECT_EQ(5, at("#\\SPACE"));
}

TEST(Build, Numbers) {
    Lisp();
    EXPECT_EQ("i:-5", Show(Read("-5")));
    EXPECT_EQ("i:5", Show(Read("5.")));
    EXPECT_EQ("i:1", Show(Read("1E")));
    EXPECT_EQ("i:12", Show(Read("12ABC")));
    EXPECT_EQ("n:0.5", Show(Read(".5")));
    EXPECT_EQ("n:-0.5", Show(Read("-.5")));
    EXPECT_EQ("n:1000", Show(Read("1E3")));
    EXPECT_EQ("n:1.5", Show(Read("1.5.3")));
    EXPECT_EQ("b:1/2", Show(Read("3/6")));
    EXPECT_EQ("b:-1/2", Show(Read("-3/6")));
    EXPECT_EQ("i:2", Show(Read("4/2")));
    EXPECT_EQ("i:0", Show(Read("0/0")));
    EXPECT_EQ("i:3", Show(Read("3/-6")));
    EXPECT_EQ("b:1/3", Show(Read("1/3ABC")));
    EXPECT_EQ(LONG_MAX, CellToInt(Read(std::to_string(LONG_MAX))));
    EXPECT_EQ(LONG_MIN, CellToInt(Read(std::to_string(LONG_MIN))));
    EXPECT_EQ("b:1/" + std::to_string(LONG_MAX),
              Show(Read("1/" + std::to_string(LONG_MAX))));
    std::string out = CaptureStdout([] {
        EXPECT_EQ(nullptr, Read("1/0"));
        EXPECT_EQ(nullptr, Read("(A 7/000)"));
    });
    EXPECT_EQ("エラー: 0で割りました。\nエラー: 0で割りました。\n", out);
    // A literal one past either end of long, or of any length beyond it,
    // fails the read with the overflow message; it is never cut to the
    // largest long. Texts of any length are converted where they stand.
    std::string above = std::to_string((unsigned long)LONG_MAX + 1);
    std::string below = "-" + std::to_string((unsigned long)LONG_MAX + 2);
    out = CaptureStdout([&] {
        EXPECT_EQ(nullptr, Read(above));
        EXPECT_EQ(nullptr, Read(below));
        EXPECT_EQ(nullptr, Read(std::string(300, '9')));
        EXPECT_EQ(nullptr, Read("(A -" + std::string(300, '9') + ")"));
        EXPECT_EQ(nullptr, Read(above + "/2"));
        EXPECT_EQ(nullptr, Read("1/" + above));
        EXPECT_EQ(nullptr, Read(std::string(5000, '9') + "/" +
                                std::string(5000, '9')));
    });
    std::string message = "エラー: 整数値がオーバーフローしました\n";
    std::string seven;
    for (int i = 0; i < 7; i++) seven += message;
    EXPECT_EQ(seven, out);
}

TEST(Build, SymbolsCharactersStrings) {
    clisp& m = Lisp();
    EXPECT_EQ(NILCell, Read("NIL"));
    EXPECT_EQ(NILCell, Read("()"));
    EXPECT_EQ(NILCell, Read("( )"));
    EXPECT_EQ(ONEPLUS, Read("1+"));
    EXPECT_EQ(m.getStringCell("+5"), Read("+5"));
    EXPECT_EQ("s::KEY[c]", Show(Read(":KEY")));
    EXPECT_EQ("s:A", Show(Read("  A B")));
    EXPECT_EQ("m:a", Show(Read("#\\a")));
    EXPECT_EQ("m: ", Show(Read("#\\SPACE")));
    EXPECT_EQ("m:\t", Show(Read("#\\tab")));
    EXPECT_EQ("m:S", Show(Read("#\\SPAC")));
    EXPECT_EQ("m: ", Show(Read("#\\ ")));
    EXPECT_EQ("m:(", Show(Read("#\\(")));
    EXPECT_EQ(-29, Read("#\\\xe3")->car.c);
    EXPECT_EQ("\"a\"b\"", Show(Read("\"a\\\"b\"")));
    EXPECT_EQ("\"n\"", Show(Read("\"\\n\"")));
    EXPECT_EQ("\"\\\"", Show(Read("\"\\\\\"")));
    EXPECT_EQ("\"\"", Show(Read("\"\"")));
    EXPECT_EQ("\"a b\"", Show(Read("\"a b\" C")));
    _cell* s = Read("\"xy\"");
    EXPECT_EQ('a', s->type);
    EXPECT_EQ(1, CellToInt(s->car.p));
    EXPECT_EQ(CHARACTER, s->cdr.p->car.p);
}

TEST(Build, Lists) {
    Lisp();
    EXPECT_EQ("(s:A . s:B)", Show(Read("(A . B)")));
    EXPECT_EQ("(s:A . s:B)", Show(Read("(A . B C)")));
    EXPECT_EQ("s:B", Show(Read("(. B)")));
    EXPECT_EQ("s:B", Show(Read("( . B)")));
    EXPECT_EQ("(s:A s:.B)", Show(Read("(A .B)")));
    EXPECT_EQ("(s:A)", Show(Read("(A) (B)")));
    EXPECT_EQ("(s:A (s:B))", Show(Read("(A(B))")));
    EXPECT_EQ("(s:A s:B s:C)", Show(Read("(A . (B C))")));
    EXPECT_EQ("(s:A s:B . s:C)", Show(Read("( A  B . C )")));
    EXPECT_EQ("((s:A . s:B) s:C)", Show(Read("((A . B) C)")));
    EXPECT_EQ("((s:A) s:C)", Show(Read("((A . ()) C)")));
    EXPECT_EQ("(s:A s:NIL)", Show(Read("(A ())")));
    EXPECT_EQ("(m:) m:( \")\" i:1)", Show(Read("(#\\) #\\( \")\" 1)")));
    EXPECT_EQ("(s:QUOTE)", Show(Read("(QUOTE )")));
    EXPECT_EQ("(s:A@ s:B)", Show(Read("(A@ B)")));
}

TEST(Build, TextIsLeftUnchanged) {
    Lisp();
    Text t("(A \"B\" (C 1/2) . D)");
    std::string before = t.str();
    EXPECT_NE(nullptr, Lisp().readFromString(t.buf));
    EXPECT_EQ(before, t.str());
}

TEST(Build, MissingCloserStops) {
    Lisp();
    const std::string msg = "エラー: 右括弧が足りません\n";
    std::string out = CaptureStdout([] { EXPECT_EQ(nullptr, Read("(A B")); });
    EXPECT_EQ(msg, out);
    out = CaptureStdout([] { EXPECT_EQ(nullptr, Read("(")); });
    EXPECT_EQ(msg, out);
    out = CaptureStdout([] { EXPECT_EQ(nullptr, Read("(A (B C)")); });
    EXPECT_EQ(msg, out);
    out = CaptureStdout([] { EXPECT_EQ(nullptr, Read("(A (B \"C))")); });
    EXPECT_EQ(msg, out);
}

TEST(Build, LongAndDeepLists) {
    Lisp();
    // 10,000 elements: the rest of a list is read by a loop.
    std::string text = "(";
    for (int i = 0; i < 9998; i++) text += i % 2 ? "B " : "A ";
    text += "C)";
    ASSERT_LT(text.size(), (size_t)kLineSize);
    _cell* r = Read(text);
    ASSERT_NE(nullptr, r);
    long n = 0;
    _cell* p = r;
    for (; p->type == 'l'; p = p->cdr.p) n++;
    EXPECT_EQ(9999, n);
    EXPECT_EQ(NILCell, p);
    // Nesting 9,999 deep.
    std::string deep = std::string(9999, '(') + std::string(9999, ')');
    r = Read(deep);
    ASSERT_NE(nullptr, r);
    int depth = 0;
    for (p = r; p != NILCell; p = p->car.p) depth++;
    EXPECT_EQ(9998, depth);     // the innermost () is NIL
    // Texts longer than lineStr are read too (the bound is the gatherer's).
    std::string wide = "(";
    for (int i = 0; i < 50000; i++) wide += "X ";
    wide += ")";
    r = Lisp().readFromString(&wide[0]);
    n = 0;
    for (p = r; p->type == 'l'; p = p->cdr.p) n++;
    EXPECT_EQ(50000, n);
}

// The extent of one element, as the cell builder cuts it: a list up to its
// own closer (strings and character literals inside are units), an atom up
// to a blank or parenthesis outside its units.
TEST(Build, ExpressionExtent) {
    auto extent = [](const std::string& s) {
        Text t(s);
        char* end = ExprEnd(t.buf);
        return end ? std::string(t.buf, end) : std::string("null");
    };
    EXPECT_EQ("(A \")\" #\\))", extent("(A \")\" #\\)) B"));
    EXPECT_EQ("(A)", extent("(A) B"));
    EXPECT_EQ("A\"B C\"D", extent("A\"B C\"D E"));
    EXPECT_EQ("A", extent("A B"));
    EXPECT_EQ("A", extent("A(B)"));
    EXPECT_EQ("A", extent("A)"));
    EXPECT_EQ("A", extent("A"));
    EXPECT_EQ("#\\ ", extent("#\\  A"));
    EXPECT_EQ("null", extent("(A"));
}

TEST(Build, StringDecoding) {
    clisp& m = Lisp();
    Text t("\"a\\\\b\\");    // "a\\b\ : no closing quote, backslash at the end
    EXPECT_EQ("\"a\\b\\\"", Show(m.getMojiretsuCell(t.buf)));
    char p[] = "\\\"x";
    EXPECT_EQ('"', m.get1char(p)->car.c);
    EXPECT_EQ(p + 2, m.getRestchar(p));
    _cell* chars = m.getCell();
    chars->car.p = m.getMojiCell('z', 0);
    EXPECT_EQ("\"z\"", Show(m.MakeMojiretsu(chars)));
}

// ---------------------------------------------------------------------------
// Files and lines
// ---------------------------------------------------------------------------

FILE* FileWith(const std::string& s) {
    FILE* f = std::tmpfile();
    std::fwrite(s.data(), 1, s.size(), f);
    std::rewind(f);
    return f;
}

// Gathers successive expressions from a file: "text" per result 1, then
// "<0>" or "<2>" for the other results.
std::vector<std::string> GatherAll(const std::string& s, int limit = 10) {
    clisp& m = Lisp();
    FILE* f = FileWith(s);
    std::vector<std::string> got;
    for (int i = 0; i < limit; i++) {
        lineStr[0] = 0;
        int r = m.GetOneSStream(f);
        if (r == 1) {
            got.push_back(lineStr);
            continue;
        }
        got.push_back(r == 2 ? "<2>" : "<0>");
        break;
    }
    std::fclose(f);
    return got;
}

using V = std::vector<std::string>;

TEST(GatherFile, ExpressionsAndAtoms) {
    EXPECT_EQ((V{"(a b)", " c\n", "(d\n e)", "<2>"}),
              GatherAll("(a b) c\n(d\n e)\n"));
    EXPECT_EQ((V{"abc", "<2>"}), GatherAll("abc"));
    EXPECT_EQ((V{"<2>"}), GatherAll("  \n; only a note\n\t"));
    EXPECT_EQ((V{"\"a ", "b\"\n", "<2>"}), GatherAll("\"a b\"\n"));
    // At the end of the file an unfinished text is handed on, whatever its
    // last byte: its reader tells what is wrong with it.
    EXPECT_EQ((V{"(a b", "<2>"}), GatherAll("(a b"));
    EXPECT_EQ((V{"(a b\n", "<2>"}), GatherAll("(a b\n"));
}

TEST(GatherFile, Comments) {
    // A comment ends at its line end, which still ends the atom before it.
    EXPECT_EQ((V{"abc\n", "def ", "<2>"}), GatherAll("abc;note\ndef "));
    EXPECT_EQ((V{"(a #\\; b)", "<2>"}), GatherAll("(a #\\; b)"));
    EXPECT_EQ((V{"(a \"x;y\" b)", "<2>"}), GatherAll("(a \"x;y\" b)"));
    // An escaped double quote does not end the string, so the ; after it
    // is still inside.
    EXPECT_EQ((V{"(s \"say \\\"hi; there\\\"\")", "<2>"}),
              GatherAll("(s \"say \\\"hi; there\\\"\")\n"));
    // The character literal for " opens no string.
    EXPECT_EQ((V{"(#\\\" \nb)", "<2>"}), GatherAll("(#\\\" ; note\nb)"));
    EXPECT_EQ((V{"(#\\\\ b\n)", "<2>"}), GatherAll("(#\\\\ b;c)\n)"));
    // After the literal #\# a quote opens a string for the gatherer as for
    // the reader, so the ; inside it is no comment.
    EXPECT_EQ((V{"(a #\\#\\\"b;c\")", "<2>"}), GatherAll("(a #\\#\\\"b;c\")"));
}

TEST(GatherFile, ErrorsAndLimits) {
    std::string out = CaptureStdout(
        [] { EXPECT_EQ((V{"<0>"}), GatherAll("  ) a")); });
    EXPECT_EQ("エラー: )が多すぎます。\n", out);
    // The text grows past its first size: 20,001 bytes are gathered.
    out = CaptureStdout([] {
        V got = GatherAll("(" + std::string(19999, 'a') + ")");
        ASSERT_EQ(2u, got.size());
        EXPECT_EQ(20001u, got[0].size());
    });
    EXPECT_EQ("", out);
    // A NUL byte outside a string is refused with a message; inside one it
    // is written as the escape \0, and a \0 there as the digit.
    out = CaptureStdout([] {
        EXPECT_EQ((V{"<0>"}), GatherAll(std::string("(a\0b)", 5)));
    });
    EXPECT_EQ("エラー: NUL文字は文字列の中にしか書けません\n", out);
    EXPECT_EQ((V{"(\"a\\0b0\")", "<2>"}),
              GatherAll(std::string("(\"a\0b\\0\")", 9)));
}

// Feeds s to standard input for the duration of fn.
template <typename Fn>
void WithStdin(const std::string& s, Fn fn) {
    FILE* f = FileWith(s);
    int saved = dup(0);
    dup2(fileno(f), 0);
    __fpurge(stdin);
    std::clearerr(stdin);
    fn();
    dup2(saved, 0);
    close(saved);
    __fpurge(stdin);
    std::clearerr(stdin);
    std::fclose(f);
}

TEST(GatherConsole, LinesUntilBalanced) {
    clisp& m = Lisp();
    WithStdin("\n'\n(a b\nc)  d\nx\n", [&] {
        lineStr[0] = 0;
        EXPECT_EQ(1, m.GetOneS(0));
        EXPECT_STREQ("\n'\n(a b\nc)", lineStr);
        // What follows on the line is the next text.
        lineStr[0] = 0;
        EXPECT_EQ(1, m.GetOneS(0));
        EXPECT_STREQ("d", lineStr);
        lineStr[0] = 0;
        EXPECT_EQ(1, m.GetOneS(0));
        EXPECT_STREQ("x", lineStr);
        lineStr[0] = 0;
        EXPECT_EQ(-1, m.GetOneS(0));
    });
}

TEST(GatherConsole, Errors) {
    clisp& m = Lisp();
    std::string out = CaptureStdout([&] {
        WithStdin("(a))\n)\n", [&] {
            lineStr[0] = 0;
            EXPECT_EQ(1, m.GetOneS(0));
            lineStr[0] = 0;
            EXPECT_EQ(0, m.GetOneS(0));
        });
    });
    EXPECT_EQ("エラー: )が多すぎます。\n", out);
    // An open list of long lines grows the text past its first size, and
    // is read whole once it closes.
    std::string input = "(";
    for (int i = 0; i < 100; i++) input += std::string(250, 'a') + "\n";
    WithStdin(input + ")\n", [&] {
        lineStr[0] = 0;
        EXPECT_EQ(1, m.GetOneS(0));
        EXPECT_EQ(input.size() + 1, std::strlen(lineStr));
    });
    // A line longer than 255 bytes arrives in chunks; an atom that a chunk
    // cuts is read on to its end.
    WithStdin(std::string(300, 'b') + "\n", [&] {
        lineStr[0] = 0;
        EXPECT_EQ(1, m.GetOneS(0));
        EXPECT_EQ(300u, std::strlen(lineStr));
    });
    // A NUL byte outside a string is refused; inside one it is escaped.
    out = CaptureStdout([&] {
        WithStdin(std::string("(a\0b)\n(c \"x\0y\")\n", 17), [&] {
            lineStr[0] = 0;
            EXPECT_EQ(0, m.GetOneS(0));
            lineStr[0] = 0;
            EXPECT_EQ(1, m.GetOneS(0));
            EXPECT_STREQ("(c \"x\\0y\")", lineStr);
        });
    });
    EXPECT_EQ("エラー: NUL文字は文字列の中にしか書けません\n", out);
}

// The string and second value READ-LINE gives for one read.
std::string LineResult(_cell* c) {
    EXPECT_NE(nullptr, valuesOf(c));
    EXPECT_EQ(c, valuesOf(c)->car.p);
    return Show(c) + " " + Show(valuesOf(c)->cdr.p->car.p);
}

TEST(ReadLine, FileLines) {
    clisp& m = Lisp();
    FILE* f = FileWith("say \"hi\" a\\b\nx\r\nlast");
    EXPECT_EQ("\"say \"hi\" a\\b\" s:NIL", LineResult(m.ReadLineStrm(f)));
    EXPECT_EQ("\"x\" s:NIL", LineResult(m.ReadLineStrm(f)));   // CR ends it
    EXPECT_EQ("\"last\" s:T", LineResult(m.ReadLineStrm(f)));
    EXPECT_EQ("\"\" s:T", LineResult(m.ReadLineStrm(f)));
    std::fclose(f);
}

TEST(ReadLine, LongLinesComeInPieces) {
    clisp& m = Lisp();
    // A read takes at most 19997 bytes; the rest comes with the next read.
    FILE* f = FileWith(std::string(20000, 'a') + "\n");
    _cell* c = m.ReadLineStrm(f);
    EXPECT_EQ("s:T", Show(valuesOf(c)->cdr.p->car.p));
    EXPECT_EQ(19997u, Show(c).size() - 2);
    EXPECT_EQ("\"aaa\" s:NIL", LineResult(m.ReadLineStrm(f)));
    std::fclose(f);
    // Quotes and backslashes are taken as they are: pieces of 19997 bytes.
    f = FileWith(std::string(19998, '"'));
    size_t total = 0;
    for (int i = 0; i < 3; i++) {
        c = m.ReadLineStrm(f);
        EXPECT_LT(std::strlen(lineStr), (size_t)kLineSize);
        EXPECT_EQ("s:T", Show(valuesOf(c)->cdr.p->car.p));
        total += Show(c).size() - 2;
    }
    EXPECT_EQ(19998u, total);
    EXPECT_EQ("\"\" s:T", LineResult(m.ReadLineStrm(f)));
    std::fclose(f);
    f = FileWith("a" + std::string(19996, '\\') + "\n");
    EXPECT_EQ("\"a" + std::string(19996, '\\') + "\" s:T",
              LineResult(m.ReadLineStrm(f)));
    EXPECT_EQ("\"\" s:NIL", LineResult(m.ReadLineStrm(f)));
    std::fclose(f);
    // A NUL byte is one more byte of the line.
    f = FileWith(std::string("a\0b\nc\n", 6));
    c = m.ReadLineStrm(f);
    EXPECT_EQ(3u, Show(c).size() - 2);
    EXPECT_EQ("\"c\" s:NIL", LineResult(m.ReadLineStrm(f)));
    std::fclose(f);
}

TEST(ReadLine, Console) {
    clisp& m = Lisp();
    WithStdin("a \"b\" \\c\r\nnext\n", [&] {
        EXPECT_EQ("\"a \"b\" \\c\r\" s:NIL", LineResult(m.ReadLine()));
        EXPECT_EQ("\"next\" s:NIL", LineResult(m.ReadLine()));
    });
}

}  // namespace
