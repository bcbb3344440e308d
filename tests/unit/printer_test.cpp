// Unit tests of the printer on hand-built cells: every position (object,
// element, tail), the three styles, and the number format.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/unit/interp.h"

namespace {

// What a plain-style or stream call writes to its stream.
template <typename Fn>
std::string CaptureStream(Fn fn) {
    FILE* tmp = std::tmpfile();
    fn(tmp);
    std::string s = ReadAll(tmp);
    std::fclose(tmp);
    return s;
}

_cell* Cons(_cell* a, _cell* d) {
    _cell* c = Lisp().getCell();
    c->car.p = a;
    c->cdr.p = d;
    return c;
}

_cell* Int(long v) { return Lisp().IntToCell(v); }
_cell* Sym(const char* name) { return Lisp().getStringCell(name); }
_cell* Moji(int b) { return Lisp().getMojiCell(b, 0); }

_cell* List(std::initializer_list<_cell*> xs) {
    _cell* r = NIL;
    for (auto it = xs.end(); it != xs.begin();) r = Cons(*--it, r);
    return r;
}

_cell* Array(_cell* count, _cell* elementType, _cell* contents) {
    _cell* a = Cons(count, Cons(elementType, contents));
    a->type = 'a';
    return a;
}

_cell* Str(const char* text) {
    _cell* chars = NIL;
    for (size_t i = std::strlen(text); i > 0; i--)
        chars = Cons(Moji(static_cast<signed char>(text[i - 1])), chars);
    return Array(Int(1), CHARACTER, chars);
}

std::string Prin1(_cell* c) {
    return CaptureStdout([c] { Lisp().printS(c); });
}
std::string Princ(_cell* c) {
    return CaptureStream([c](FILE* f) { Lisp().princS(c, f); });
}
std::string Prin1Strm(_cell* c) {
    return CaptureStream([c](FILE* f) { Lisp().printSStrm(c, f); });
}

std::string Ftoa(long double v) {
    char buf[kFloatTextSize];
    std::memset(buf, 'x', sizeof buf);
    Lisp().myftoa(buf, v);
    EXPECT_NE(std::memchr(buf, '\0', sizeof buf), nullptr);
    return buf;
}

const char kArrayMessage[] = "エラー: 配列はファイルに出力できません\n";

}  // namespace

// ---------------------------------------------------------------------------
// Number format
// ---------------------------------------------------------------------------

TEST(Myftoa, WholeNumbersGetPointZero) {
    EXPECT_EQ(Ftoa(3.0L), "3.0");
    EXPECT_EQ(Ftoa(2.0L), "2.0");
    EXPECT_EQ(Ftoa(0.0L), "0.0");
    EXPECT_EQ(Ftoa(-0.0L), "-0.0");
    EXPECT_EQ(Ftoa(-7.0L), "-7.0");
    EXPECT_EQ(Ftoa(100000000000000.0L), "100000000000000.0");
}

TEST(Myftoa, FractionalAndFifteenDigits) {
    EXPECT_EQ(Ftoa(0.5L), "0.5");
    EXPECT_EQ(Ftoa(-0.5L), "-0.5");
    EXPECT_EQ(Ftoa(0.1L), "0.1");
    EXPECT_EQ(Ftoa(1.0L / 3.0L), "0.333333333333333");
    EXPECT_EQ(Ftoa(2.0L / 3.0L), "0.666666666666667");
    // A double-rounded 0.1 still shows as 0.1 at fifteen digits.
    EXPECT_EQ(Ftoa(static_cast<long double>(0.1)), "0.1");
}

TEST(Myftoa, ExponentFormsGetNoSuffix) {
    EXPECT_EQ(Ftoa(1e20L), "1e+20");
    EXPECT_EQ(Ftoa(1e15L), "1e+15");
    EXPECT_EQ(Ftoa(-1e15L), "-1e+15");
    EXPECT_EQ(Ftoa(1e-5L), "1e-05");
    EXPECT_EQ(Ftoa(123456789012345678.0L), "1.23456789012346e+17");
    EXPECT_EQ(Ftoa(1.5e300L), "1.5e+300");
}

TEST(Myftoa, ExtremesFitTheBuffer) {
    EXPECT_EQ(Ftoa(LDBL_MAX), "1.18973149535723e+4932");
    EXPECT_EQ(Ftoa(-LDBL_MAX), "-1.18973149535723e+4932");
    EXPECT_EQ(Ftoa(LDBL_MIN), "3.36210314311209e-4932");
    EXPECT_EQ(Ftoa(-LDBL_TRUE_MIN), "-3.64519953188247e-4951");
}

TEST(Myftoa, InfinityAndNanGetPointZero) {
    EXPECT_EQ(Ftoa(HUGE_VALL), "inf.0");
    EXPECT_EQ(Ftoa(-HUGE_VALL), "-inf.0");
    std::string n = Ftoa(std::nanl(""));
    EXPECT_NE(n.find("nan"), std::string::npos);
    EXPECT_EQ(n.substr(n.size() - 2), ".0");
}

// ---------------------------------------------------------------------------
// Atoms
// ---------------------------------------------------------------------------

TEST(PrintAtoms, NumbersSymbolsAndNil) {
    EXPECT_EQ(Prin1(Int(2)), "2");
    EXPECT_EQ(Prin1(Int(-42)), "-42");
    EXPECT_EQ(Prin1(Lisp().NumberToCell(2.0L)), "2.0");
    EXPECT_EQ(Prin1(Lisp().BunsuToCell(1, 3)), "1/3");
    EXPECT_EQ(Prin1(Lisp().BunsuToCell(-7, 2)), "-7/2");
    EXPECT_EQ(Prin1(NIL), "NIL");
    EXPECT_EQ(Prin1(Sym("FOO")), "FOO");
    EXPECT_EQ(Prin1(Sym(":KEY")), ":KEY");
    EXPECT_EQ(Princ(Sym("FOO")), "FOO");
}

TEST(PrintAtoms, CharactersPrintTheirLowByte) {
    EXPECT_EQ(Prin1(Moji('A')), "#\\A");
    EXPECT_EQ(Princ(Moji('A')), "A");
    EXPECT_EQ(Prin1Strm(Moji('A')), "#\\A");
    EXPECT_EQ(Prin1(Moji(' ')), "#\\ ");
    EXPECT_EQ(Prin1(Moji('\n')), "#\\\n");
    // 0xE3 is held as -29 when made from a signed byte, as 227 otherwise.
    _cell* neg = Moji(-29);
    EXPECT_EQ(Prin1(neg), "#\\\xE3");
    _cell* pos = Lisp().getCell();
    pos->type = 'm';
    pos->car.c = 227;
    pos->cdr.c = 0;
    EXPECT_EQ(Prin1(pos), "#\\\xE3");
    EXPECT_EQ(Princ(pos), "\xE3");
}

// ---------------------------------------------------------------------------
// Lists and tails
// ---------------------------------------------------------------------------

TEST(PrintLists, ProperAndDotted) {
    EXPECT_EQ(Prin1(List({Int(1), Int(2), Int(3)})), "(1 2 3)");
    EXPECT_EQ(Prin1(Cons(Int(1), Int(2))), "(1 . 2)");
    EXPECT_EQ(Prin1(Cons(Int(1), Cons(Int(2), Int(3)))), "(1 2 . 3)");
    EXPECT_EQ(Prin1(List({NIL})), "(NIL)");
    EXPECT_EQ(Prin1(List({List({Int(1)}), List({})})), "((1) NIL)");
    EXPECT_EQ(Prin1(List({Sym("QUOTE"), Sym("X")})), "(QUOTE X)");
}

TEST(PrintLists, EveryKindOfTail) {
    EXPECT_EQ(Prin1(Cons(Int(1), Sym("B"))), "(1 . B)");
    EXPECT_EQ(Prin1(Cons(Int(1), Lisp().BunsuToCell(1, 3))), "(1 . 1/3)");
    EXPECT_EQ(Prin1(Cons(Int(1), Lisp().NumberToCell(2.5L))), "(1 . 2.5)");
    EXPECT_EQ(Prin1(Cons(Int(1), Lisp().NumberToCell(3.0L))), "(1 . 3.0)");
    EXPECT_EQ(Prin1(Cons(Int(1), Sym(":K"))), "(1 . :K)");
    _cell* chars = Cons(Moji('A'), Moji('B'));
    EXPECT_EQ(Prin1(chars), "(#\\A . #\\B)");
    EXPECT_EQ(Prin1Strm(chars), "(#\\A . #\\B)");
    EXPECT_EQ(Princ(chars), "(A . B)");
    _cell* s = Cons(Int(1), Str("a\"b"));
    EXPECT_EQ(Prin1(s), "(1 . \"a\\\"b\")");
    EXPECT_EQ(Prin1Strm(s), "(1 . \"a\\\"b\")");
    EXPECT_EQ(Princ(s), "(1 . a\"b)");
}

TEST(PrintLists, LongCdrChainCostsNoStack) {
    _cell* l = NIL;
    for (int i = 0; i < 300000; i++) l = Cons(Int(1), l);
    std::string out = Princ(l);
    EXPECT_EQ(out.size(), 2u + 300000u * 2u - 1u);
    EXPECT_EQ(Lisp().tlength(l), 300000);
}

TEST(PrintLists, DeepCarNestingIsWrittenWhole) {
    clisp& lisp = Lisp();
    char here;
    char* savedLimit = lisp.stackLimit;
    // Half a megabyte of stack below this frame: the printer needs none of
    // it for the nesting, which it keeps on a stack of its own.
    lisp.stackLimit = reinterpret_cast<char*>(
        reinterpret_cast<std::uintptr_t>(&here) - 512 * 1024);
    lisp.SetDepthLimits();
    _cell* deep = Int(9);
    for (int i = 0; i < 200000; i++) deep = List({deep});
    std::string out = Princ(deep);
    lisp.stackLimit = savedLimit;
    lisp.SetDepthLimits();
    EXPECT_EQ(out, std::string(200000, '(') + "9" + std::string(200000, ')'));
}

TEST(PrintLists, CarCycleStopsWithDots) {
    // (A (B <the list itself>)): written once, "..." where it repeats; a
    // structure shared without a cycle is written each time.
    _cell* inner = List({Sym("B"), Int(0)});
    _cell* outer = List({Sym("A"), inner});
    inner->cdr.p->car.p = outer;
    EXPECT_EQ(Princ(outer), "(A (B ...))");
    _cell* shared = List({Int(1)});
    EXPECT_EQ(Princ(List({shared, shared})), "((1) (1))");
}

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------

TEST(PrintStrings, EscapesQuotesAndBackslashes) {
    _cell* s = Str("a\"b\\c");
    EXPECT_EQ(Prin1(s), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(Prin1Strm(s), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(Princ(s), "a\"b\\c");
}

TEST(PrintStrings, EmptyString) {
    EXPECT_EQ(Prin1(Str("")), "\"\"");
    EXPECT_EQ(Princ(Str("")), "");
}

TEST(PrintStrings, NonCharacterElementStopsTheText) {
    _cell* chars = List({Moji('a'), Int(1), Moji('b')});
    _cell* s = Array(Int(1), CHARACTER, chars);
    EXPECT_EQ(Prin1(s), "\"a");
    EXPECT_EQ(Princ(s), "a");
}

TEST(PrintStrings, IsStringTestsShapeAndIdentity) {
    EXPECT_TRUE(isString(Str("ab")));
    EXPECT_TRUE(isString(Str("")));
    EXPECT_FALSE(isString(Array(Int(2), CHARACTER, NIL)));
    EXPECT_FALSE(isString(Array(Int(1), T, NIL)));
    EXPECT_FALSE(isString(List({Int(1), CHARACTER})));
    EXPECT_FALSE(isString(Int(1)));
    _cell* other = Lisp().getStringCellWide("CHARACTER");
    ASSERT_NE(other, CHARACTER);
    _cell* a = Array(Int(1), other, List({Moji('a')}));
    EXPECT_FALSE(isString(a));
    EXPECT_EQ(Prin1(a), "#A(#\\a) ");
}

// ---------------------------------------------------------------------------
// Arrays
// ---------------------------------------------------------------------------

TEST(PrintArrays, ByItself) {
    _cell* a = Array(Int(1), T, List({Int(1), Int(2), Int(3)}));
    EXPECT_EQ(Prin1(a), "#A(1 2 3) ");
    EXPECT_EQ(Princ(a), "#A(1 2 3) ");
    _cell* m = Array(Int(2), T,
                     List({List({Int(1), Int(2)}), List({Int(3), Int(4)})}));
    EXPECT_EQ(Prin1(m), "#2A((1 2) (3 4)) ");
    EXPECT_EQ(Prin1(Array(Int(1), T, NIL)), "#ANIL ");
}

TEST(PrintArrays, ElementAndTailPositions) {
    _cell* a = Array(Int(1), T, List({Int(1), Int(2)}));
    EXPECT_EQ(Prin1(List({a, Int(3)})), "(#A(1 2) 3)");
    EXPECT_EQ(Prin1(List({Int(3), a})), "(3 #A(1 2))");
    EXPECT_EQ(Prin1(Cons(Int(3), a)), "(3 . #A(1 2) )");
    EXPECT_EQ(Princ(Cons(Int(3), a)), "(3 . #A(1 2) )");
    _cell* withString = Array(Int(1), T, List({Str("x\"y"), Moji('c')}));
    EXPECT_EQ(Prin1(withString), "#A(\"x\\\"y\" #\\c) ");
    EXPECT_EQ(Princ(withString), "#A(x\"y c) ");
}

TEST(PrintArrays, StreamRefusesArrays) {
    _cell* a = Array(Int(1), T, List({Int(1)}));
    std::string toStream;
    std::string toStdout = CaptureStdout([&] { toStream = Prin1Strm(a); });
    EXPECT_EQ(toStream, "");
    EXPECT_EQ(toStdout, kArrayMessage);

    // The refused element also skips its separating space.
    _cell* l = List({Int(1), a, Int(2)});
    toStdout = CaptureStdout([&] { toStream = Prin1Strm(l); });
    EXPECT_EQ(toStream, "(1 2)");
    EXPECT_EQ(toStdout, kArrayMessage);

    // As a tail: nothing of it, not even the dot, reaches the stream.
    toStdout = CaptureStdout([&] { toStream = Prin1Strm(Cons(Int(1), a)); });
    EXPECT_EQ(toStream, "(1 )");
    EXPECT_EQ(toStdout, kArrayMessage);

    // Strings are not refused.
    toStdout = CaptureStdout([&] { toStream = Prin1Strm(List({Str("s")})); });
    EXPECT_EQ(toStream, "(\"s\")");
    EXPECT_EQ(toStdout, "");
}

TEST(PrintArrays, BrokenShapesDoNotCrash) {
    // SET-ARRAY accepts any cons; the printer must cope with every shape.
    _cell* noContents = Cons(Int(1), Int(5));
    noContents->type = 'a';
    EXPECT_EQ(Prin1(noContents), "#ANIL ");
    _cell* oddCount = Array(Sym("X"), T, List({Int(1)}));
    EXPECT_EQ(Prin1(oddCount), "#XA(1) ");
}

TEST(Tlength, CountsConsesAlongCdr) {
    EXPECT_EQ(Lisp().tlength(NIL), 0);
    EXPECT_EQ(Lisp().tlength(Int(3)), 0);
    EXPECT_EQ(Lisp().tlength(Cons(Int(1), Cons(Int(2), Int(3)))), 2);
    EXPECT_EQ(Lisp().tlength(List({Int(1), Int(2), Int(3)})), 3);
}
