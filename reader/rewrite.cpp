// ctextproc layer, reader part: rewriting the reader marks #', ', `, the
// comma and the at sign into plain list text, in place in lineStr.
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

// The walk shared by the five passes: rewrite is called at each occurrence
// of mark outside strings and character literals and answers where the walk
// goes on, or null when it refuses (its message is out). 0 when the text is
// already at the bound, a string never closes (no message) or rewrite
// refuses; 1 when the walk reaches the end of the text.
template <typename Rewrite>
int eachMark(char* text, int bound, const char* mark, Rewrite rewrite) {
    if ((long)std::strlen(text) >= bound) {
        PutMessage(kTooLong);
        return 0;
    }
    size_t markLen = std::strlen(mark);
    char* p = text;
    while (*p) {
        char* q = SkipUnit(p);
        if (!q) return 0;
        if (q != p) {
            p = q;
        } else if (*p == *mark && std::strncmp(p, mark, markLen) == 0) {
            p = rewrite(p);
            if (!p) return 0;
        } else {
            p++;
        }
    }
    return 1;
}

// The wrapping pass shared by the three marks: the mark's first byte
// becomes '(', the head and one blank follow (for #' the quote byte itself
// is the blank), and ')' closes the expression after it. The walk goes on
// at that blank, so marks inside the expression are wrapped in turn.
int wrapMarks(ctextproc* tp, char* text, int bound, const char* mark,
              const char* head) {
    int markLen = (int)std::strlen(mark);
    int headLen = (int)std::strlen(head);
    int added = 1 + headLen + 1 + 1 - markLen;  // "(" head " " ... ")"
    long len = (long)std::strlen(text);
    return eachMark(text, bound, mark, [&](char* p) -> char* {
        *p = '(';
        if (len + added >= bound) {
            PutMessage(kTooLong);
            return nullptr;
        }
        tp->slide(p + 1, headLen + 1 - (markLen - 1));
        std::memcpy(p + 1, head, (size_t)headLen);
        char* blank = p + 1 + headLen;
        *blank = ' ';
        char* end = tp->taiou(blank);
        tp->slide(end, 1);
        *end = ')';
        len += added;
        return blank;
    });
}

// The separating pass: a blank after every mark, so that it reads as a
// symbol of its own. The walk goes on at that blank.
int separateMarks(ctextproc* tp, char* text, int bound, const char* mark) {
    long len = (long)std::strlen(text);
    return eachMark(text, bound, mark, [&](char* p) -> char* {
        if (len + 1 >= bound) {
            PutMessage(kTooLong);
            return nullptr;
        }
        tp->slide(p + 1, 1);
        p[1] = ' ';
        len++;
        return p + 1;
    });
}

}  // namespace

void ctextproc::slide(char* p, int n) {
    std::memmove(p + n, p, std::strlen(p) + 1);
}

// The extent of a mark's expression takes in the marks in front of it; a
// list that never closes (only possible after the first complete
// expression) extends to the end of the text.
char* ctextproc::taiou(char* p) {
    while (*p == ' ') p++;
    while (isMark(*p)) p++;
    char* end = ExprEnd(p);
    return end ? end : p + std::strlen(p);
}

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
    return separateMarks(this, text, bound, ",");
}

int ctextproc::MakeAstText(char* text, int bound) {
    return separateMarks(this, text, bound, "@");
}

// lineStr is bounded by its capacity (ReadText makes room first), any other
// buffer by kTextBound.
int ctextproc::RewriteAll(char* text) {
    int bound = text == lineStr ? (int)(lineCapacity - 1) : kTextBound;
    return MakeFunctionText(text, bound) && MakeQuoteText(text, bound) &&
           MakeBackQuoteText(text, bound) && MakeCommaText(text, bound) &&
           MakeAstText(text, bound);
}
