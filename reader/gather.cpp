// ctextproc layer, reader part: gathering the text of one expression into
// lineStr (from the console a line at a time, from a file a character at a
// time) and normalising it.
//
// The gatherers only append to lineStr and never let the text pass
// kTextBound bytes, so the text and its NUL always fit.
#include <cstring>

#include "reader/ctextproc.h"

char lineStr[kLineSize];

namespace {

// The first byte at or after p that is neither a blank nor one of the
// reader marks that may stand before an expression without making it begin.
char* skipLead(char* p) {
    while (*p == '\n' || *p == '\r' || *p == '\t' || *p == ' ' ||
           *p == '\'' || *p == '`' || *p == ',' || *p == '@')
        p++;
    return p;
}

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

const char kTooLong[] = "エラー: S式が長過ぎます。";
const char kTooManyClosers[] = "エラー: )が多すぎます。";

int tooLong() {
    PutMessage(kTooLong);
    return 0;
}

// What a gatherer does with the balance of the text so far: 1 complete,
// 0 failed (message out), -1 read on.
int verdict(int balance) {
    if (balance == 1) return 1;
    if (balance == -1) {
        PutMessage(kTooManyClosers);
        return 0;
    }
    return -1;
}

}  // namespace

int ctextproc::isKanji(const char* p) {
    (void)p;
    return 0;
}

// ---------------------------------------------------------------------------
// Console
// ---------------------------------------------------------------------------

// -1 when standard input ends before the expression is complete.
int ctextproc::GetOneS() {
    char chunk[256];
    size_t total = std::strlen(lineStr);
    for (;;) {
        if (!std::fgets(chunk, sizeof chunk, stdin)) {
            // Ctrl-C while waiting: the text typed so far is dropped.
            if (interruptRequested && std::ferror(stdin)) {
                std::clearerr(stdin);
                lineStr[0] = 0;
                return -3;
            }
            return -1;
        }
        // A NUL byte read from the console ends the chunk there.
        size_t n = std::strlen(chunk);
        total += n;
        if (total > (size_t)kTextBound) return tooLong();
        std::strcat(lineStr, chunk);
        int v = verdict(CheckBrace(lineStr));
        if (v >= 0) return v;
    }
}

// Whatever follows the ')' that completes the text is not looked at.
int ctextproc::CheckBrace(char* text) {
    char* end = nullptr;
    int r = ScanDepth(text, &end);
    if (r == 2) return CrTabOnly(text) == 0 ? 1 : 0;
    return r;
}

int ctextproc::CrTabOnly(char* text) {
    char* p = skipLead(text);
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
        if (c == '\n' && f == countedStream) countedLines++;
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
        if (total + 1 > (size_t)kTextBound) return tooLong();
        *end++ = ch;
        *end = 0;
        total++;
        prev2 = prev1;
        prev1 = ch;
        // Only a ')' (a list closing, or a text starting with ')') or a
        // blank (an atom ending) can change the balance verdict, so the
        // whole text is checked again only then.
        if (ch != ')' && !isWhite(ch)) continue;
        int v = verdict(CheckBrace2(lineStr));
        if (v >= 0) return v;
    }
}

void ctextproc::SkipComment(FILE* f) {
    int c;
    while ((c = std::getc(f)) != EOF && c != '\n') {
    }
    if (c == '\n' && f == countedStream) countedLines++;
}

int ctextproc::CheckBrace2(char* text) {
    char* p = skipLead(text);
    if (*p == 0) return 0;
    if (*p == ')') return -1;
    if (*p == '(') {
        char* end = nullptr;
        return ScanDepth(p, &end) == 1 ? 1 : 0;
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
        // Strings and character literals keep their bytes. An unclosed
        // string (only possible after the first complete expression) is
        // left as it is, up to the end of the text.
        char* q = SkipUnit(p);
        if (!q) return;
        if (q != p) {
            p = q;
            continue;
        }
        if (*p == '\n' || *p == '\r' || *p == '\t') *p = ' ';
        // Only a to z change, as toupper does in the C locale; bytes 0x80 to
        // 0xFF pass through whatever the locale.
        if (*p >= 'a' && *p <= 'z') *p = (char)(*p - 'a' + 'A');
        p++;
    }
}
