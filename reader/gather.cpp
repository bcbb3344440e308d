// ctextproc layer, reader part: gathering the text of one expression into
// lineStr (from the console a line at a time, from a file a character at a
// time) and normalising it.
//
// The gatherers only append to lineStr, growing it first when the text
// and its NUL would not fit, up to kTextCeiling bytes.
//
// A NUL byte cannot stand in the text, which is a C string. Inside a
// string it is written as the escape \0 (and a \0 typed there, which
// stands for the digit, as the digit alone), so that the string keeps the
// byte; anywhere else it is refused with a message.
#include <cstdlib>
#include <cstring>

#include "reader/ctextproc.h"

namespace {
char firstLine[kLineSize];
}  // namespace

char* lineStr = firstLine;
size_t lineCapacity = kLineSize;

bool GrowLine(size_t need) {
    if (need <= lineCapacity) return true;
    if (need > kTextCeiling + 1) return false;
    size_t size = lineCapacity;
    while (size < need) size *= 2;
    if (size > kTextCeiling + 1) size = kTextCeiling + 1;
    char* bigger = lineStr == firstLine
                       ? static_cast<char*>(std::malloc(size))
                       : static_cast<char*>(std::realloc(lineStr, size));
    if (bigger == nullptr) return false;
    if (lineStr == firstLine) std::memcpy(bigger, firstLine, lineCapacity);
    lineStr = bigger;
    lineCapacity = size;
    return true;
}

namespace {

// The first byte at or after p that is neither a blank nor one of the
// reader marks that may stand before an expression without making it begin.
char* skipLead(char* p) {
    while (*p == '\n' || *p == '\r' || *p == '\t' || *p == ' ' || *p == '\'' ||
           *p == '`' || *p == ',' || *p == '@')
        p++;
    return p;
}

// Where the first expression of text starts: past the blanks and marks
// before it and a #' in front of them, at the '(' of a vector's #(.
char* firstStart(char* text) {
    char* p = skipLead(text);
    if (p[0] == '#' && p[1] == '\'') p = skipLead(p + 2);
    if (p[0] == '#' && p[1] == '(') p++;
    return p;
}

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char kTooLong[] = "エラー: S式が長過ぎます。";
const char kTooManyClosers[] = "エラー: )が多すぎます。";
const char kOpenString[] = "エラー: 文字列が閉じていません";
const char kNulByte[] = "エラー: NUL文字は文字列の中にしか書けません";

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

// ---------------------------------------------------------------------------
// Console
// ---------------------------------------------------------------------------

namespace {

// Follows one expression through its bytes to its end: a list to the ')'
// that closes it, an atom to the blank or parenthesis after it. Fed the
// bytes of raw text with their roles (reader/scan.h), comments left out.
struct ExprTracker {
    int state = 0;  // 0 before it, 1 list, 2 atom, 3 after '#', 4 ended
    int depth = 0;

    void feed(char c, UnitScan::Role k) {
        bool code = k == UnitScan::kCode;
        bool blank = code && isWhite(c);
        if (state == 3) {
            if (code && c == '\'') {
                state = 0;  // #' stands before the expression
                return;
            }
            if (code && c == '(') {
                state = 1;  // #( opens a vector, read as a list
                depth = 1;
                return;
            }
            state = 2;
        }
        switch (state) {
            case 0:
                if (blank ||
                    (code && (c == '\'' || c == '`' || c == ',' || c == '@')))
                    return;
                if (code && c == '(') {
                    state = 1;
                    depth = 1;
                } else if (code && c == ')') {
                    state = 4;
                } else {
                    state = code && c == '#' ? 3 : 2;
                }
                return;
            case 1:
                if (code && c == '(') depth++;
                if (code && c == ')' && --depth == 0) state = 4;
                return;
            case 2:
                if (blank || (code && (c == '(' || c == ')'))) state = 4;
                return;
            default: return;
        }
    }
};

// The end of the first expression of a complete text, raw as typed: after
// the ')' that closes a list, at the byte that ends an atom.
char* firstEnd(char* text) {
    UnitScan scan;
    ExprTracker t;
    char* p = text;
    for (; *p; p++) {
        int before = t.state;
        t.feed(*p, scan.take(*p));
        if (t.state == 4) return before == 1 ? p + 1 : p;
    }
    return p;
}

// Shows text that the user typed after an earlier expression on the same
// line, as if typed after the prompt: from its first to its last
// non-blank byte, then a newline.
void echo(const char* from, const char* end) {
    while (from < end && isWhite(*from)) from++;
    while (end > from && isWhite(end[-1])) end--;
    std::fwrite(from, 1, (size_t)(end - from), stdout);
    std::putchar('\n');
    std::fflush(stdout);
}

// After the message for an over-long text: reads on, keeping nothing,
// to the end of that expression and then to the end of its line. scan
// stands where the kept text ends; c is the byte that did not fit.
void dropOverlong(UnitScan& scan, int c) {
    UnitScan fresh;
    ExprTracker t;
    for (char* p = lineStr; *p && t.state != 4; p++) t.feed(*p, fresh.take(*p));
    for (; t.state != 4 && c != EOF; c = ConsoleGetc()) {
        if (c == 0) continue;
        UnitScan::Role k = scan.take((char)c);
        if (k != UnitScan::kDropped) t.feed((char)c, k);
        if (t.state == 4) break;
    }
    while (c != '\n' && c != EOF) c = ConsoleGetc();
}

// Keeps the text after an expression for the next reader as it was
// typed: an escape \0 inside a string goes back to the NUL byte it stands
// for, since the next reader escapes it again.
void keepRaw(const char* rest) {
    size_t n = std::strlen(rest);
    char* raw = static_cast<char*>(std::malloc(n + 1));
    if (raw == nullptr) return;
    UnitScan scan;
    size_t m = 0;
    for (size_t i = 0; i < n; i++) {
        bool escaping = scan.inString() && !scan.escaped() && rest[i] == '\\';
        if (escaping && rest[i + 1] == '0') {
            raw[m++] = 0;
            i++;
            continue;
        }
        scan.take(rest[i]);
        raw[m++] = rest[i];
    }
    ConsoleKeep(raw, m);
    std::free(raw);
}

}  // namespace

// Gathers from the console a line (a chunk of at most 255 bytes) at a time
// until the text holds one complete expression, then keeps whatever
// follows that expression on its line for the next reader, and ends the
// text there. With echoKept, text that comes from a line an earlier
// expression was on is shown first. -1 when standard input ends before the
// expression is complete.
int ctextproc::GetOneS(int echoKept) {
    size_t total = std::strlen(lineStr);
    UnitScan scan;
    ExprTracker tracker;
    for (size_t i = 0; i < total; i++)
        tracker.feed(lineStr[i], scan.take(lineStr[i]));
    bool fromKept = echoKept && ConsoleKept() > 0;
    for (bool first = true;; first = false) {
        // Kept bytes form a chunk of their own: the rest of one line.
        size_t limit = ConsoleKept() > 0 ? ConsoleKept() : 255;
        size_t start = total;
        size_t got = 0;
        int c = EOF;
        while (got < limit && (c = ConsoleGetc()) != EOF) {
            got++;
            bool escapedByte = scan.escaped();
            if (c == 0 && !scan.inComment() && !scan.inString()) {
                if (first && fromKept) echo(lineStr + start, lineStr + total);
                std::puts(kNulByte);
                dropOverlong(scan, c);
                return 0;
            }
            UnitScan::Role k = scan.take((char)c);
            if (k != UnitScan::kDropped) {
                // Room for the byte, an escape before it, and the NUL.
                if (!GrowLine(total + 3)) {
                    if (first && fromKept)
                        echo(lineStr + start, lineStr + total);
                    std::puts(kTooLong);
                    dropOverlong(scan, c);
                    return 0;
                }
                if (c == '0' && escapedByte) {
                    lineStr[total - 1] = '0';  // \0 typed: the digit
                } else if (c == 0) {
                    if (!escapedByte) lineStr[total++] = '\\';
                    lineStr[total++] = '0';
                } else {
                    lineStr[total++] = (char)c;
                }
                lineStr[total] = 0;
                tracker.feed((char)c, k);
            }
            if (c == '\n') break;
        }
        if (c == EOF && ConsoleInterrupted()) {
            // Ctrl-C while waiting: the text typed so far is dropped.
            lineStr[0] = 0;
            ConsoleForget();
            return -3;
        }
        if (got == 0) return -1;
        bool echoing = first && fromKept;
        // A list still open, or an atom cut where a piece of a long line
        // ended, is not complete: read on without looking at the whole
        // text again, so that a long text costs time in proportion.
        bool cut = got == limit && c != '\n';
        if (tracker.state == 1 || (tracker.state == 2 && cut) ||
            (tracker.state == 3 && cut)) {
            if (echoing) echo(lineStr + start, lineStr + total);
            continue;
        }
        int balance = CheckBrace(lineStr);
        if (balance == 1) {
            char* end = firstEnd(lineStr);
            if (echoing) echo(lineStr + start, end);
            // Closers left over after the expression close nothing: they
            // are dropped, as they always were, and the rest is kept.
            char* rest = end;
            while (isWhite(*rest) || *rest == ')') rest++;
            if (*rest) keepRaw(rest);
            *end = 0;
            return 1;
        }
        if (echoing) echo(lineStr + start, lineStr + total);
        if (balance == -1) return verdict(balance);
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
    if (*p == 0 || *p == ')') return 1;
    p = firstStart(p);
    if (*p == '(') return 1;  // (..., #(..., #'(...
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

// Gathers from a file a byte at a time until the text holds one complete
// expression (CheckBrace2), comments dropped. The one end-of-file rule of
// every reader of files: a text that is still open at the end of the file
// is handed on as it is when it holds anything but blanks (its reader then
// tells what is wrong with it), except a string still open, which would
// swallow the rest of the program without a word.
int ctextproc::GetOneSStream(FILE* f) {
    size_t total = std::strlen(lineStr);
    UnitScan scan;
    long depth = 0;  // of parentheses outside units, as ScanDepth counts
    for (size_t i = 0; i < total; i++)
        if (scan.take(lineStr[i]) == UnitScan::kCode)
            depth += lineStr[i] == '(' ? 1 : lineStr[i] == ')' ? -1 : 0;
    for (;;) {
        int c = std::getc(f);
        if (c == '\n' && f == countedStream) countedLines++;
        if (c == EOF) {
            if (scan.inString()) {
                PutMessage(kOpenString);
                return 0;
            }
            return AllBlank(lineStr) ? 2 : 1;
        }
        char ch = (char)c;
        bool escapedByte = scan.escaped();
        if (c == 0 && !scan.inString() && !scan.inComment()) {
            PutMessage(kNulByte);
            return 0;
        }
        UnitScan::Role role = scan.take(ch);
        if (role == UnitScan::kDropped) continue;
        // Room for the byte, an escape before it, and the NUL.
        if (!GrowLine(total + 3)) return tooLong();
        char* end = lineStr + total;
        if (ch == '0' && escapedByte) {
            end[-1] = '0';  // \0 in the file: the digit
        } else {
            if (c == 0 && !escapedByte) {
                *end++ = '\\';
                total++;
            }
            *end++ = c == 0 ? '0' : ch;
            total++;
        }
        *end = 0;
        if (role == UnitScan::kCode)
            depth += ch == '(' ? 1 : ch == ')' ? -1 : 0;
        // Only a ')' (a list closing, or a text starting with ')') or a
        // blank (an atom ending) can change the balance verdict, so the
        // whole text is checked again only then, and not while a list
        // text is still open: a long text costs time in proportion.
        if (ch != ')' && !isWhite(ch)) continue;
        if (depth > 0 && *firstStart(lineStr) == '(') continue;
        int v = verdict(CheckBrace2(lineStr));
        if (v >= 0) return v;
    }
}

int ctextproc::CheckBrace2(char* text) {
    char* p = skipLead(text);
    if (*p == 0) return 0;
    if (*p == ')') return -1;
    p = firstStart(p);
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
