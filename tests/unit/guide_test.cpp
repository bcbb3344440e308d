// The user guide's reference against the vocabulary the interpreter really
// has. Every entry of docs/guide.ja.md and docs/guide.en.md starts with a
// heading line "### NAME" (or "### NAME1, NAME2" for names sharing an
// entry); the names must be exactly the built-in operators plus the
// functions and macros the prelude defines, in both guides, and the two
// guides must list them in the same order, each entry with a call shape and
// a console example.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "eval/cfunction.h"
#include "tests/unit/interp.h"

namespace {

// The repository root, from this file's own path.
std::string RepoRoot() {
    std::string self = __FILE__;
    const std::string tail = "tests/unit/guide_test.cpp";
    if (self.size() >= tail.size() &&
        self.compare(self.size() - tail.size(), tail.size(), tail) == 0)
        return self.substr(0, self.size() - tail.size());
    return "./";
}

struct Entry {
    std::vector<std::string> names;
    bool hasCallShape = false;   // a line beginning with "`(" in the entry
    bool hasExample = false;     // a code block beginning with the prompt
};

struct Guide {
    bool found = false;
    std::vector<Entry> entries;
};

Guide ReadGuide(const std::string& path) {
    Guide g;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return g;
    g.found = true;
    std::string text = ReadAll(f);
    std::fclose(f);
    Entry* cur = nullptr;
    bool inCode = false, codeStart = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.compare(0, 3, "```") == 0) {
            inCode = !inCode;
            codeStart = inCode;
            continue;
        }
        if (inCode) {
            if (codeStart && cur && line.compare(0, 3, "[1]") == 0)
                cur->hasExample = true;
            codeStart = false;
            continue;
        }
        if (line.compare(0, 2, "# ") == 0 || line.compare(0, 3, "## ") == 0) {
            cur = nullptr;   // a new chapter or section ends the entry
            continue;
        }
        if (line.compare(0, 4, "### ") == 0) {
            g.entries.emplace_back();
            cur = &g.entries.back();
            std::string rest = line.substr(4);
            size_t p = 0;
            while (p <= rest.size()) {
                size_t q = rest.find(", ", p);
                if (q == std::string::npos) q = rest.size();
                std::string name = rest.substr(p, q - p);
                while (!name.empty() && name.back() == ' ') name.pop_back();
                cur->names.push_back(name);
                p = q + 2;
            }
            continue;
        }
        if (cur && line.compare(0, 2, "`(") == 0) cur->hasCallShape = true;
    }
    return g;
}

// Every symbol that the evaluator treats as an operator: those SetKeyword
// gave an operator number, and the three that eval recognises before its
// dispatch (so they carry no number).
std::set<std::string> BuiltinOperators() {
    clisp& l = Lisp();
    std::set<std::string> names;
    for (_cell** p = l.symbolTable; p < l.symbolTableEnd; p++)
        if ((*p)->closureCount != OP_NONE) names.insert((*p)->car.s);
    names.insert(VALUES->car.s);
    names.insert(READLINE->car.s);
    names.insert(EVAL1->car.s);
    return names;
}

// The names the prelude defines with DEFUN or DEFMACRO, read by the
// interpreter's own reader exactly as the loader reads them.
std::set<std::string> PreludeDefinitions() {
    clisp& l = Lisp();
    std::set<std::string> names;
    for (int i = 0; i < kPreludeCount; i++) {
        size_t len = std::strlen(ReadEvalData[i]);
        if (len >= (size_t)kLineSize) continue;
        std::memcpy(lineStr, ReadEvalData[i], len + 1);
        l.SkipTerm(lineStr);
        if (l.RewriteAll(lineStr) != 1) continue;
        _cell* e = l.readFromString(lineStr);
        if (!e || e->type != 'l' || e->cdr.p->type != 'l') continue;
        _cell* name = e->cdr.p->car.p;
        if ((e->car.p == DEFUN || e->car.p == DEFMACRO) && name->type == 's')
            names.insert(name->car.s);
    }
    return names;
}

std::string Join(const std::set<std::string>& s) {
    std::string out;
    for (const std::string& n : s) out += (out.empty() ? "" : " ") + n;
    return out;
}

std::set<std::string> Minus(const std::set<std::string>& a,
                            const std::set<std::string>& b) {
    std::set<std::string> r;
    for (const std::string& n : a)
        if (!b.count(n)) r.insert(n);
    return r;
}

std::vector<std::string> AllNames(const Guide& g) {
    std::vector<std::string> v;
    for (const Entry& e : g.entries)
        for (const std::string& n : e.names) v.push_back(n);
    return v;
}

class GuideNames : public ::testing::TestWithParam<const char*> {};

TEST(GuideVocabulary, CountsMatchTheInterpreter) {
    // The sets the comparison relies on: the names table has 122 entries,
    // 20 of them markers or repeated NIL and T, so 102 operators; the
    // prelude defines 107 functions and 14 macros.
    EXPECT_EQ(BuiltinOperators().size(), 102u);
    EXPECT_EQ(PreludeDefinitions().size(), 121u);
}

TEST_P(GuideNames, AreExactlyTheDefinedNames) {
    const std::string path = RepoRoot() + "docs/" + GetParam();
    Guide g = ReadGuide(path);
    ASSERT_TRUE(g.found) << "cannot open " << path;

    std::set<std::string> defined = BuiltinOperators();
    for (const std::string& n : PreludeDefinitions()) defined.insert(n);

    std::set<std::string> headed, twice;
    for (const std::string& n : AllNames(g))
        if (!headed.insert(n).second) twice.insert(n);

    EXPECT_TRUE(Minus(defined, headed).empty())
        << GetParam() << " lacks an entry for: " << Join(Minus(defined, headed));
    EXPECT_TRUE(Minus(headed, defined).empty())
        << GetParam() << " has entries for names the interpreter does not "
        << "define: " << Join(Minus(headed, defined));
    EXPECT_TRUE(twice.empty())
        << GetParam() << " heads these names more than once: " << Join(twice);

    for (const Entry& e : g.entries) {
        std::string label = e.names.empty() ? "?" : e.names.front();
        EXPECT_TRUE(e.hasCallShape)
            << GetParam() << ": entry " << label << " shows no call shape";
        EXPECT_TRUE(e.hasExample)
            << GetParam() << ": entry " << label << " has no console example";
    }
}

INSTANTIATE_TEST_SUITE_P(Guide, GuideNames,
                         ::testing::Values("guide.ja.md", "guide.en.md"));

TEST(GuideTwins, ListTheSameEntriesInTheSameOrder) {
    Guide ja = ReadGuide(RepoRoot() + "docs/guide.ja.md");
    Guide en = ReadGuide(RepoRoot() + "docs/guide.en.md");
    ASSERT_TRUE(ja.found && en.found);
    std::vector<std::string> a = AllNames(ja), b = AllNames(en);
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; i++)
        ASSERT_EQ(a[i], b[i]) << "entry " << i << " differs between the guides";
    EXPECT_EQ(a.size(), b.size());
}

}  // namespace
