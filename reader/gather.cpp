// ctextproc layer: gathering the text of one expression into lineStr, from
// the console a line at a time or from a file a character at a time, and
// normalising it.
#include <cstring>

#include "reader/ctextproc.h"

char lineStr[kLineSize];

namespace {

// Blanks and the reader marks that may stand before an expression without
// making it begin.
bool isLeadByte(char c) {
    return c == '\n' || c == '\r' || c == '\t' || c == ' ' || c == '\'' ||
           c == '`' || c == ',' || c == '@';
}

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A character literal is `#`, a backslash and one more byte; at the end of
// the text the two bytes alone are no literal.
bool isCharLiteral(const char* p) {
    return p[0] == '#' && p[1] == '\\' && p[2] != 0;
}

char* skipString(char* p) {
    while (*p) {
        if (*p == '\\') {
            if (p[1] == 0) return nullptr;
            p += 2;
            continue;
        }
        if (*p == '"') return p + 1;
        p++;
    }
    return nullptr;
}

}  // namespace

// A backslash escapes the byte after it, whatever it is, so every string the
// printer writes (with \" and \\ inside) is skipped as one unit.
char* SkipDoubleQuote(char* p) { return skipString(p); }

char* SkipDoubleQuote2(char* p) { return skipString(p); }

int ctextproc::isKanji(const char* p) {
    (void)p;
    return 0;
}

// ---------------------------------------------------------------------------
// Console
// ---------------------------------------------------------------------------

int ctextproc::GetOneS() {
    char chunk[256];
    size_t total = std::strlen(lineStr);
    for (;;) {
        if (!std::fgets(chunk, sizeof chunk, stdin)) return -1;
        // A NUL byte read from the console ends the chunk there.
        size_t n = std::strlen(chunk);
        total += n;
        if (total > (size_t)kTextBound) {
            std::puts("エラー: S式が長過ぎます。");
            return 0;
        }
        std::strcat(lineStr, chunk);
        int r = CheckBrace(lineStr);
        if (r == 1) return 1;
        if (r == -1) {
            std::puts("エラー: )が多すぎます。");
            return 0;
        }
    }
}

int ctextproc::CheckBrace(char* text) {
    int depth = 0;
    char* p = text;
    while (*p) {
        if (*p == '(') {
            depth++;
            p++;
        } else if (*p == ')') {
            if (depth == 0) return -1;
            if (depth == 1) return 1;
            depth--;
            p++;
        } else if (*p == '"') {
            p = SkipDoubleQuote(p + 1);
            if (!p) return 0;
        } else if (isCharLiteral(p)) {
            p += 3;
        } else {
            p++;
        }
    }
    return CrTabOnly(text) == 0 ? 1 : 0;
}

int ctextproc::CrTabOnly(char* text) {
    char* p = text;
    while (*p && isLeadByte(*p)) p++;
    if (*p == 0) return 1;
    if (*p == '(' || *p == ')') return 1;
    if (*p == '"') return SkipDoubleQuote(p + 1) ? 0 : 1;
    return 0;
}

int ctextproc::AllBlank(char* text) {
    for (char* p = text; *p; p++) {
        if (!isWhite(*p)) return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

int ctextproc::GetOneSStream(FILE* f) {
    size_t total = std::strlen(lineStr);
    char* end = lineStr + total;
    int inString = 0;
    int escaped = 0;    // inside a string, the previous byte was a backslash
    char prev1 = 0;     // the last appended byte
    char prev2 = 0;     // the one before it
    for (;;) {
        int c = std::getc(f);
        if (c == EOF) {
            if (total > 0 && !isWhite(end[-1])) return 1;
            return 2;
        }
        if (c == 0) continue;
        char ch = (char)c;
        bool afterHashBackslash = prev2 == '#' && prev1 == '\\';
        if (inString) {
            if (escaped) {
                escaped = 0;
            } else if (ch == '\\') {
                escaped = 1;
            } else if (ch == '"') {
                inString = 0;
            }
        } else if (ch == '"') {
            // The character literal for the double quote opens no string.
            if (!afterHashBackslash) inString = 1;
        } else if (ch == ';' && !afterHashBackslash) {
            SkipComment(f);
            continue;
        }
        if (total + 1 > (size_t)kTextBound) {
            std::puts("エラー: S式が長過ぎます。");
            return 0;
        }
        *end++ = ch;
        *end = 0;
        total++;
        prev2 = prev1;
        prev1 = ch;
        int r = CheckBrace2(lineStr);
        if (r == 1) return 1;
        if (r == -1) {
            std::puts("エラー: )が多すぎます。");
            return 0;
        }
    }
}

void ctextproc::SkipComment(FILE* f) {
    int c;
    while ((c = std::getc(f)) != EOF && c != '\n') {
    }
}

int ctextproc::CheckBrace2(char* text) {
    char* p = text;
    while (*p && isLeadByte(*p)) p++;
    if (*p == 0) return 0;
    if (*p == ')') return -1;
    if (*p == '(') {
        int depth = 0;
        while (*p) {
            if (*p == '(') {
                depth++;
                p++;
            } else if (*p == ')') {
                depth--;
                if (depth == 0) return 1;
                p++;
            } else if (*p == '"') {
                p = SkipDoubleQuote2(p + 1);
                if (!p) return 0;
            } else if (isCharLiteral(p)) {
                p += 3;
            } else {
                p++;
            }
        }
        return 0;
    }
    // An atom ends at its first blank; strings are not stepped over here.
    for (; *p; p++) {
        if (isWhite(*p)) return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Normalisation
// ---------------------------------------------------------------------------

void ctextproc::SkipTerm(char* text) {
    char* p = text;
    while (*p) {
        if (*p == '"') {
            // An unclosed string (only possible after the first complete
            // expression) is left as it is, up to the end of the text.
            p = SkipDoubleQuote(p + 1);
            if (!p) return;
            continue;
        }
        if (isCharLiteral(p)) {
            p += 3;
            continue;
        }
        if (*p == '\n' || *p == '\r' || *p == '\t') *p = ' ';
        // Only a to z change, as toupper does in the C locale; bytes 0x80 to
        // 0xFF pass through whatever the locale.
        if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 'a' + 'A');
        p++;
    }
}
