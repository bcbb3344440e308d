// clisp layer, top-level part: script mode, which evaluates the expressions
// of a file with no banner, no prompts and no echoed values. Only what the
// program prints reaches standard output; an error writes its message and a
// line naming the file, the line and the expression to standard error and
// ends the program instead of opening the debug loop.
#include <sys/stat.h>

#include <cstring>

#include "toplevel/clisp.h"
#include "toplevel/symbols.h"

namespace {

// How much of an expression's text the failure line repeats.
constexpr size_t kShownText = 60;

// Steps over blanks and comments up to the next expression, counting the
// newlines taken; the first other byte is left unread.
void skipToExpression(FILE* f, long* lines) {
    UnitScan scan;
    for (int c; (c = std::getc(f)) != EOF;) {
        if (c == '\n') ++*lines;
        if (scan.take((char)c) == UnitScan::kDropped) continue;  // a comment
        if (c != '\n' && c != ' ' && c != '\t' && c != '\r' && c != '\f') {
            std::ungetc(c, f);
            return;
        }
    }
}

// A first line starting with #! names the interpreter of an executable
// script: it is no expression.
void skipInterpreterLine(FILE* f, long* lines) {
    int c = std::getc(f);
    if (c != '#') {
        if (c != EOF) std::ungetc(c, f);
        return;
    }
    int d = std::getc(f);
    if (d != '!') {
        // glibc takes back two bytes; the reader must see "#" again.
        if (d != EOF) std::ungetc(d, f);
        std::ungetc(c, f);
        return;
    }
    while ((c = std::getc(f)) != EOF && c != '\n') {
    }
    if (c == '\n') ++*lines;
}

// The start of an expression's text on one line: up to its first newline
// and at most kShownText bytes, never cutting a UTF-8 sequence; "..." marks
// what was left out.
void showText(const char* text, char* out, size_t size) {
    size_t n = 0;
    while (text[n] && text[n] != '\n' && text[n] != '\r' && n < kShownText)
        n++;
    while (n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80) n--;
    if (n + 4 > size) n = size - 4;
    std::memcpy(out, text, n);
    out[n] = 0;
    for (const char* p = text + n; *p; p++) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') {
            std::strcat(out, "...");
            break;
        }
    }
}

}  // namespace

int clisp::RunStream(const char* name, FILE* f) {
    countedStream = f;
    countedLines = 0;
    skipInterpreterLine(f, &countedLines);
    char shown[kShownText + 4];
    for (;;) {
        skipToExpression(f, &countedLines);
        long line = countedLines + 1;
        // At the end of the file an unfinished text is read all the same,
        // so that its fault is reported rather than dropped.
        const char* text = nullptr;
        _cell* e = nullptr;
        int got = ReadFileExpression(f, false, &e, &text);
        if (got == kFileEnded) break;
        showText(text ? text : "", shown, sizeof shown);
        _cell* v = nullptr;
        failureNoted = false;
        failureReport[0] = 0;
        failurePlace[0] = 0;
        failureForm[0] = 0;
        if (got == kFileRead) {
            if (text) TagSourceLines(text, e, SourceNumber(name), line);
            CellGroup g(this);
            g.push(e);
            reportTop = e;
            bool wasReporting = reportFailures;
            reportFailures = true;
            v = eval(e, nullptr, 0);
            reportFailures = wasReporting;
            reportTop = nullptr;
        }
        if (!v) {
            if (throwPending) {
                PutMessage("エラー: THROWされましたが受け取り先のタグが見つかりません");
                throwPending = 0;
            } else if (returnFromPending) {
                PutMessage("エラー: RETURN-FROMの受け取り先が見つかりません");
                returnFromPending = 0;
            }
            fflush(stdout);
            // The place is that of the innermost form read from a file,
            // which may be one a LOAD read.
            if (failurePlace[0] && failureForm[0])
                fprintf(stderr, "%s: ここで止まりました: %s\n", failurePlace,
                        failureForm);
            else if (failurePlace[0])
                fprintf(stderr, "%s: ここで止まりました: %s\n", failurePlace,
                        shown);
            else
                fprintf(stderr, "%s:%ld: ここで止まりました: %s\n", name, line,
                        shown);
            fputs(failureReport, stderr);
            countedStream = nullptr;
            return 0;
        }
        TK_ASSERT(cellStackTop == cellStack + 1);
        TK_ASSERT(locStackTop == locStack + 1);
    }
    countedStream = nullptr;
    return 1;
}

int clisp::RunFile(const char* name) {
    if (std::strcmp(name, "-") == 0) return RunStream("-", stdin) ? 0 : 1;
    FILE* f = std::fopen(name, "rb");
    struct stat st;
    // A directory opens but yields no bytes: it would pass for an empty
    // program.
    if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        f = nullptr;
    }
    if (f == nullptr) {
        fflush(stdout);
        fprintf(stderr, "tamarisk: ファイルを開くことができません: %s\n", name);
        return 2;
    }
    // *LOAD-PATHNAME* names the program while it runs, as LOAD does. No
    // file of the command line runs inside another, so it is NIL after.
    _cell* loadingName = getStringCell("*LOAD-PATHNAME*");
    _cell* chars = NILCell;
    for (size_t k = std::strlen(name); k > 0; k--) {
        _cell* cons = getCell();
        cons->car.p = getMojiCell((signed char)name[k - 1], 0);
        cons->cdr.p = chars;
        chars = cons;
    }
    globalTable[getSymVal2(loadingName)].value = MakeMojiretsu(chars);
    int done = RunStream(name, f);
    globalTable[getSymVal2(loadingName)].value = NILCell;
    std::fclose(f);
    return done ? 0 : 1;
}

// Nothing can collect here: allocating never does, and nothing evaluates.
void clisp::SetArgs(char** args, int count) {
    _cell* list = NILCell;
    for (int i = count - 1; i >= 0; i--) {
        _cell* chars = NILCell;
        for (size_t k = std::strlen(args[i]); k > 0; k--) {
            _cell* cons = getCell();
            cons->car.p = getMojiCell((signed char)args[i][k - 1], 0);
            cons->cdr.p = chars;
            chars = cons;
        }
        _cell* cons = getCell();
        cons->car.p = MakeMojiretsu(chars);
        cons->cdr.p = list;
        list = cons;
    }
    _cell* name = getStringCell("*ARGS*");
    if (name) globalTable[getSymVal2(name)].value = list;
}
