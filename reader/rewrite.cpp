// ctextproc layer: rewriting the reader marks #', ', `, the comma and the at
// sign into plain list text, in place in lineStr.
//
// Each pass keeps a running length and refuses, before writing, any insert
// that would bring it to the bound, so with the bound kTextBound the text
// and its NUL always fit in lineStr. Strings and character literals are
// stepped over unchanged by every pass and by taiou.
#include <cstring>

#include "reader/ctextproc.h"

namespace {

const char kTooLong[] = "エラー: Ｓ式が長すぎます";

bool isMark(char c) { return c == '\'' || c == '`' || c == ',' || c == '@'; }

// Steps over the string or character literal at p; an unclosed string runs
// to the end of the text.
char* stepUnit(char* p) {
    if (*p == '"') {
        char* q = SkipDoubleQuote(p + 1);
        return q ? q : p + std::strlen(p);
    }
    p += 2;             // # and the backslash
    if (*p) p++;
    return p;
}

bool isUnitStart(const char* p) {
    return *p == '"' || (p[0] == '#' && p[1] == '\\');
}

}  // namespace

void ctextproc::slide(char* p, int n) {
    std::memmove(p + n, p, std::strlen(p) + 1);
}

char* ctextproc::taiou(char* p) {
    while (*p == ' ') p++;
    while (isMark(*p)) p++;
    if (*p == '(') {
        int depth = 0;
        while (*p) {
            if (isUnitStart(p)) {
                p = stepUnit(p);
            } else if (*p == '(') {
                depth++;
                p++;
            } else if (*p == ')') {
                p++;
                if (--depth == 0) return p;
            } else {
                p++;
            }
        }
        return p;       // the list never closes: its extent is the rest
    }
    while (*p && *p != ')' && *p != ' ' && *p != '(') {
        p = isUnitStart(p) ? stepUnit(p) : p + 1;
    }
    return p;
}

namespace {

// The wrapping pass shared by the three marks. markLen is 2 for #' and 1
// otherwise; the head is written after the opening parenthesis and is
// followed by one blank, which for #' is the quote byte itself.
int wrapMarks(ctextproc* tp, char* text, int bound, const char* mark,
              const char* head) {
    int markLen = (int)std::strlen(mark);
    int headLen = (int)std::strlen(head);
    // "(" head " " replaces the mark, ")" closes: the bytes one rewrite adds.
    int added = 1 + headLen + 1 + 1 - markLen;
    long len = (long)std::strlen(text);
    if (len >= bound) {
        std::puts(kTooLong);
        return 0;
    }
    char* p = text;
    while (*p) {
        if (*p == '"') {
            p = SkipDoubleQuote(p + 1);
            if (!p) return 0;
            continue;
        }
        if (p[0] == '#' && p[1] == '\\') {
            p += 2;
            if (*p) p++;
            continue;
        }
        if (std::strncmp(p, mark, (size_t)markLen) != 0) {
            p++;
            continue;
        }
        *p = '(';
        if (len + added >= bound) {
            std::puts(kTooLong);
            return 0;
        }
        // Move everything after the mark's first byte so that the head and
        // its blank fit; for #' the quote byte lands where the blank goes.
        int gap = headLen + 1 - (markLen - 1);
        tp->slide(p + 1, gap);
        std::memcpy(p + 1, head, (size_t)headLen);
        p[1 + headLen] = ' ';
        char* blank = p + 1 + headLen;
        char* end = tp->taiou(blank);
        tp->slide(end, 1);
        *end = ')';
        len += added;
        p = blank;
    }
    return 1;
}

// The separating pass: a blank after every mark, so that it reads as a
// symbol of its own.
int separateMarks(ctextproc* tp, char* text, int bound, char mark) {
    long len = (long)std::strlen(text);
    if (len >= bound) {
        std::puts(kTooLong);
        return 0;
    }
    char* p = text;
    while (*p) {
        if (*p == '"') {
            p = SkipDoubleQuote(p + 1);
            if (!p) return 0;
            continue;
        }
        if (p[0] == '#' && p[1] == '\\') {
            p += 2;
            if (*p) p++;
            continue;
        }
        if (*p != mark) {
            p++;
            continue;
        }
        if (len + 1 >= bound) {
            std::puts(kTooLong);
            return 0;
        }
        tp->slide(p + 1, 1);
        p[1] = ' ';
        len++;
        p++;
    }
    return 1;
}

}  // namespace

int ctextproc::MakeFunctionText(char* text, int bound) {
    return wrapMarks(this, text, bound, "#'", "FUNCTION");
}

int ctextproc::MakeQuoteText(char* text, int bound) {
    return wrapMarks(this, text, bound, "'", "QUOTE");
}

int ctextproc::MakeBackQuoteText(char* text, int bound) {
    return wrapMarks(this, text, bound, "`", "BACKQUOTE");
}

int ctextproc::MakeCommaText(char* text, int bound) {
    return separateMarks(this, text, bound, ',');
}

int ctextproc::MakeAstText(char* text, int bound) {
    return separateMarks(this, text, bound, '@');
}

int ctextproc::RewriteAll(char* text) {
    return MakeFunctionText(text, kTextBound) &&
           MakeQuoteText(text, kTextBound) &&
           MakeBackQuoteText(text, kTextBound) &&
           MakeCommaText(text, kTextBound) && MakeAstText(text, kTextBound);
}
