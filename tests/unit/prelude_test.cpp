// Unit tests of the prelude texts as the loader sees them: each one reads
// as exactly one definition, stays far below the text bound after the
// rewriting passes, and together they define the vocabulary once each.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "tests/unit/interp.h"

namespace {

// Depth of the text outside strings and character literals once it is back
// at 0 for the first time: everything after that point must be blank,
// because the loader reads only the first expression.
bool OneBalancedExpression(const char* t) {
    int depth = 0;
    bool closed = false;
    for (const char* p = t; *p; p++) {
        if (closed) {
            if (*p != ' ' && *p != '\n') return false;
            continue;
        }
        if (*p == '"') {
            p = std::strchr(p + 1, '"');
            if (!p) return false;
            continue;
        }
        if (p[0] == '#' && p[1] == '\\' && p[2]) {
            p += 2;
            continue;
        }
        if (*p == ';') return false;  // not a comment at load time
        if (*p == '(') depth++;
        if (*p == ')' && --depth == 0) closed = true;
        if (depth < 0) return false;
    }
    return closed;
}

TEST(Prelude, HasAllTexts) { EXPECT_EQ(kPreludeCount, 123); }

TEST(Prelude, EachTextIsOneBalancedExpression) {
    for (int i = 0; i < kPreludeCount; i++)
        EXPECT_TRUE(OneBalancedExpression(ReadEvalData[i])) << "text " << i;
}

TEST(Prelude, TextsAreLowerCaseOutsideStringsAndCharacters) {
    for (int i = 0; i < kPreludeCount; i++) {
        const char* t = ReadEvalData[i];
        for (const char* p = t; *p; p++) {
            if (*p == '"') {
                p = std::strchr(p + 1, '"');
                ASSERT_NE(p, nullptr);
                continue;
            }
            if (p[0] == '#' && p[1] == '\\' && p[2]) {
                p += 2;
                continue;
            }
            EXPECT_FALSE(*p >= 'A' && *p <= 'Z') << "text " << i;
        }
    }
}

// Reads every text the way the loader does and counts what it defines:
// 107 functions, 14 macros, one SETQ and one DEFPARAMETER, no name twice.
TEST(Prelude, ReadsAsTheDefinitionsInTableOrder) {
    clisp& l = Lisp();
    int functions = 0, macros = 0, setqs = 0, parameters = 0;
    std::set<std::string> names;
    for (int i = 0; i < kPreludeCount; i++) {
        size_t len = std::strlen(ReadEvalData[i]);
        ASSERT_LT(len, (size_t)kLineSize);
        std::memcpy(lineStr, ReadEvalData[i], len + 1);
        l.SkipTerm(lineStr);
        ASSERT_EQ(l.RewriteAll(lineStr), 1) << "text " << i;
        // Well under the bound, so a longer edit still has room.
        EXPECT_LT(std::strlen(lineStr), (size_t)kTextBound / 4) << "text " << i;
        _cell* e = l.readFromString(lineStr);
        ASSERT_NE(e, nullptr) << "text " << i;
        ASSERT_EQ(e->type, 'l') << "text " << i;
        _cell* op = e->car.p;
        _cell* name = e->cdr.p->car.p;
        ASSERT_EQ(name->type, 's') << "text " << i;
        if (op == DEFUN) functions++;
        else if (op == DEFMACRO) macros++;
        else if (op == SETQ) setqs++;
        else if (op == DEFPARAMETER) parameters++;
        else ADD_FAILURE() << "text " << i << " is not a definition";
        EXPECT_TRUE(names.insert(name->car.s).second)
            << name->car.s << " defined twice";
    }
    EXPECT_EQ(functions, 107);
    EXPECT_EQ(macros, 14);
    EXPECT_EQ(setqs, 1);
    EXPECT_EQ(parameters, 1);
    // The first and last texts pin the table's two ends.
    EXPECT_TRUE(names.count("PI"));
    EXPECT_TRUE(names.count("MAKE-SYMBOL"));
}

}  // namespace
