// cfunction layer, library part: streams and files (OPEN, CLOSE, READ,
// READ-LINE) and the file table behind stream objects.
//
// A stream object is an integer cell of kind 's' holding a slot number 1 to
// kFileSlots; slot number n is fileTable[n - 1]. The object carries no
// FILE*, but in its cdr the number of the opening that made it, which its
// slot keeps while that file is open: once the file is closed the object
// designates nothing, whatever is opened in the slot afterwards.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "eval/cfunction.h"
#include "toplevel/symbols.h"

namespace {

// Longest symbol name and longest string accepted as a file name; the
// buffer holds the longer of the two and its NUL.
constexpr int kSymbolPathMax = 256;
constexpr int kStringPathMax = 255;
constexpr int kPathBufSize = kSymbolPathMax + 1;

// Number of elements of a string's contents, or -1 when the list is not
// proper. Used to refuse an over-long name before anything is copied.
long contentsLength(_cell* s) {
    long n = 0;
    _cell* p = stringChars(s);
    while (isCons(p)) {
        ++n;
        p = cdr(p);
    }
    return isNil(p) ? n : -1;
}

bool isKeywordNamed(_cell* c, const char* name) {
    return isSymbol(c) && std::strcmp(c->car.s, name) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// File table
// ---------------------------------------------------------------------------

_cell* cfunction::SetFilePointer(FILE* f, bool output) {
    for (int i = 0; i < kFileSlots; ++i) {
        if (fileTable[i] == nullptr) {
            fileTable[i] = f;
            fileOpening[i] = ++openings;
            fileWrites[i] = output;
            _cell* s = IntToCell(i + 1);
            s->kind = 's';
            s->cdr.c = fileOpening[i];
            return s;
        }
    }
    return NILCell;
}

FILE* cfunction::getStream(_cell* c) {
    if (!isStream(c)) return nullptr;
    long n = CellToInt(c);
    if (n < 1 || n > kFileSlots || c->cdr.c != fileOpening[n - 1]) return nullptr;
    return fileTable[n - 1];
}

FILE* cfunction::DirectedStream(_cell* s, bool output, _symval* frame,
                                long count) {
    FILE* f = getStream(s);
    if (f == nullptr) {
        Fail("エラー: 無効なストリームです", frame, count);
        return nullptr;
    }
    if (fileWrites[CellToInt(s) - 1] != output) {
        Fail(output ? "エラー: 入力用のストリームには書き込めません"
                    : "エラー: 出力用のストリームからは読み込めません",
             frame, count);
        return nullptr;
    }
    return f;
}

namespace {

constexpr char kWriteFailed[] = "エラー: ファイルに書き込めませんでした";

// Standard output failed at the console, where the debug loop's message
// goes to standard output too and is lost: the failure is said on standard
// error at once, and the session ends with status 1.
bool consoleOutputLost = false;

}  // namespace

// stdio keeps the failure of a write, or of the flush a write set off, in
// the stream's error flag until it is cleared: one look after the whole
// output of a call sees the failure of any byte of it. The flag is cleared
// once reported, so that the next call reports only a failure of its own.
bool cfunction::Written(FILE* f, _symval* frame, long count) {
    if (!std::ferror(f)) return true;
    std::clearerr(f);
    if (f == stdout && messageOut == stdout) {
        consoleOutputLost = true;
        std::fprintf(stderr, "%s\n", kWriteFailed);
    }
    Fail(kWriteFailed, frame, count);
    return false;
}

// A failure of the last flush is said here, except standard output's at
// the console once its loss has been said: the status tells it.
int cfunction::FlushOutputs(int status) {
    bool lost = std::fflush(stdout) != 0 || std::ferror(stdout);
    bool said = lost && consoleOutputLost;
    for (int i = 0; i < kFileSlots; ++i) {
        FILE* f = fileTable[i];
        if (f != nullptr && fileWrites[i] &&
            (std::fflush(f) != 0 || std::ferror(f))) {
            lost = true;
            said = false;
        }
    }
    if (lost && !said) std::fprintf(stderr, "%s\n", kWriteFailed);
    if (!lost && !consoleOutputLost) return status;
    return status == 0 ? 1 : status;
}

FILE* cfunction::getStream2(_cell* c) {
    FILE* f = getStream(c);
    if (f != nullptr) fileTable[CellToInt(c) - 1] = nullptr;
    return f;
}

int cfunction::toPathMojiretsu(_cell* c, char* buf, int size) {
    if (!isString(c) || size < 1) return 0;
    int n = 0;
    for (_cell* p = stringChars(c); !isNil(p); p = cdr(p)) {
        if (!isCons(p)) return 0;
        _cell* ch = car(p);
        if (!isMoji(ch)) return 0;
        char b = (char)mojiByte(ch);
        // A NUL would silently cut the name short.
        if (b == '\0') return 0;
        if (n >= size - 1) return 0;
        buf[n++] = b;
    }
    if (n == 0) return 0;
    buf[n] = '\0';
    return 1;
}

// ---------------------------------------------------------------------------
// OPEN and CLOSE
// ---------------------------------------------------------------------------

_cell* cfunction::topen(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) {
        errorlisp(frame, count);
        return nullptr;
    }
    char path[kPathBufSize];
    {
        CellGroup g(this);
        g.push(args);
        _cell* name = eval(car(args), frame, count);
        if (name == nullptr) {
            // Reported twice, deliberately: the failed form has opened its
            // debug loop, and OPEN opens one of its own after ABORT leaves
            // that one, as it always has (tests/library/open-errors).
            errorlisp(frame, count);
            return nullptr;
        }
        if (isSymbol(name)) {
            const char* text = name->car.s;
            // Cutting the name would open some other file: refuse instead.
            if (std::strlen(text) > (size_t)kSymbolPathMax)
                return Fail("エラー: ファイル名が長すぎます", frame, count);
            std::strcpy(path, text);
        } else if (isString(name)) {
            long length = contentsLength(name);
            if (length > kStringPathMax)
                return Fail("エラー: ファイル名が長すぎます", frame, count);
            if (length == 0)
                return Fail("エラー: ファイル名が空です", frame, count);
            if (!toPathMojiretsu(name, path, kStringPathMax + 1)) {
                errorlisp(frame, count);
                return nullptr;
            }
        } else {
            errorlisp(frame, count);
            return nullptr;
        }
    }

    // Options come as keyword and value pairs in any order. The keyword is
    // not evaluated; the value of :DIRECTION, :IF-EXISTS and
    // :IF-DOES-NOT-EXIST is, in turn. Other pairs are not looked at. An
    // :IF-EXISTS or :IF-DOES-NOT-EXIST of NIL makes OPEN answer NIL instead
    // of writing over a file that exists, or of failing on one that does
    // not.
    bool output = false;
    bool append = false;
    bool nilIfExists = false;
    bool nilIfMissing = false;
    for (_cell* rest = cdr(args); isCons(rest) && isCons(cdr(rest));
         rest = cdr(cdr(rest))) {
        _cell* key = car(rest);
        bool direction = key == COLDIRECTION;
        bool ifExists = isKeywordNamed(key, ":IF-EXISTS");
        bool ifMissing = isKeywordNamed(key, ":IF-DOES-NOT-EXIST");
        if (!direction && !ifExists && !ifMissing) continue;
        CellGroup g(this);
        g.push(args);
        _cell* v = eval(car(cdr(rest)), frame, count);
        if (v == nullptr) {
            errorlisp(frame, count);
            return nullptr;
        }
        if (direction) {
            output = v == COLOUTPUT;
        } else if (ifExists) {
            append = isKeywordNamed(v, ":APPEND");
            nilIfExists = isNil(v);
        } else {
            nilIfMissing = isNil(v);
        }
    }
    const char* mode = !output ? "rb" : append ? "ab" : "wb";
    struct stat before;
    bool exists = stat(path, &before) == 0;
    if (output && nilIfExists && exists) return NILCell;
    if (!output && nilIfMissing && !exists) return NILCell;

    // A string stream the program dropped may hold the last slot.
    ReclaimStringStreams();
    FILE* f = std::fopen(path, mode);
    // A directory opens for reading but yields no bytes; reading it would
    // look like an empty file, so it is refused like a missing one.
    struct stat st;
    if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(f);
        f = nullptr;
    }
    if (f == nullptr)
        return Fail("エラー: ファイルを開くことができません。", frame, count);
    if (!output) NoteStreamSource(f, path);
    _cell* s = SetFilePointer(f, output);
    if (isNil(s)) {
        // No slot to keep it in: nothing could ever close it later.
        std::fclose(f);
        return Fail("エラー: ファイルの数が多すぎます", frame, count);
    }
    return s;
}

_cell* cfunction::tclose(_cell* form, _symval* frame, long count) {
    _cell* s = eval(form, frame, count);
    if (s == nullptr) return nullptr;
    if (isStream(s)) {
        FILE* f = getStream2(s);
        if (f != nullptr) {
            // Buffered output reaches the file only now; when it cannot be
            // written (a full device), say so rather than lose it silently.
            if (std::fclose(f) != 0) return Fail(kWriteFailed, frame, count);
            return TCell;
        }
    }
    return Fail("エラー: ファイルをクローズできません", frame, count);
}

// ---------------------------------------------------------------------------
// READ and READ-LINE
// ---------------------------------------------------------------------------

// The end-of-file arguments after a stream, (eof-error-p [eof-value]):
// *given when rest has the flag, *error its truth (true when absent),
// *value the value form's value (NIL when absent), pushed on g. False when
// a form yields no value (reported).
bool cfunction::EofArguments(CellGroup& g, _cell* rest, _symval* frame,
                             long count, bool* given, bool* error,
                             _cell** value) {
    *given = false;
    *error = true;
    *value = NILCell;
    if (!isCons(rest)) return true;
    _cell* flag = eval(car(rest), frame, count);
    if (flag == nullptr) return false;
    *given = true;
    *error = !isNil(flag);
    rest = cdr(rest);
    if (!isCons(rest)) return true;
    *value = eval(car(rest), frame, count);
    if (*value == nullptr) return false;
    g.push(*value);
    return true;
}

_cell* cfunction::tread(_cell* args, _symval* frame, long count) {
    if (!isCons(args)) {
        lineStr[0] = '\0';
        int r = GetOneS(0);
        // Ctrl-C while waiting for the text: the break loop; after
        // CONTINUE the read starts again.
        while (r == -3) {
            interruptRequested = 0;
            if (!breaklisp(frame, count)) return nullptr;
            lineStr[0] = '\0';
            r = GetOneS(0);
        }
        // Standard input has ended: nothing more can ever be read, so
        // leave the way the top level does.
        if (r < 0) Finish(0);
        if (r == 0) {
            errorlisp(frame, count);
            return nullptr;
        }
    } else {
        CellGroup g(this);
        g.push(args);
        _cell* strm = eval(car(args), frame, count);
        if (strm == nullptr) return nullptr;
        g.push(strm);
        if (!isStream(strm))
            return Fail("エラー: ストリームではありません", frame, count);
        if (getStream(strm) == nullptr)
            return Fail("エラー: そのストリームは無効です", frame, count);
        if (!DirectedStream(strm, false, frame, count)) return nullptr;

        bool eofGiven;
        bool eofError;
        _cell* eofValue;
        if (!EofArguments(g, cdr(args), frame, count, &eofGiven, &eofError,
                          &eofValue))
            return nullptr;

        // The flag forms may have closed the stream meanwhile.
        FILE* f = getStream(strm);
        if (f == nullptr)
            return Fail("エラー: そのストリームは無効です", frame, count);
        long start = SourceOffset(f);
        const char* text = nullptr;
        _cell* e = nullptr;
        // Text left at the end of the file is an expression that never
        // closed (a complete one ends at its closer or its blank): the
        // file is wrong, and its last expression must not vanish as if
        // the file had simply ended.
        int r = ReadFileExpression(f, true, &e, start >= 0 ? &text : nullptr);
        if (r == kFileRead) {
            TagStreamLines(f, start, text, e);
            return e;
        }
        if (r == kFileUnread) return nullptr;
        if (r == kFileUnbalanced)
            return Fail("エラー: 括弧の数が合いません。", frame, count);
        if (eofError)
            return Fail("エラー: 読み込み中にエラーを生じました。", frame,
                        count);
        if (r == kFileEnded) return eofValue;
        errorlisp(frame, count);
        return nullptr;
    }
    _cell* e = nullptr;
    return ReadText(lineStr, &e) == 1 ? e : nullptr;
}

// (READ-LINE [stream [eof-error-p [eof-value]]]). Without eof-error-p
// the end of a file gives "" again and again, and the end of standard input
// ends the session; with it, the end is an error when eof-error-p is true
// and answers eof-value when it is NIL. A stream of NIL or T is the
// console.
_cell* cfunction::treadline(_cell* args, _symval* frame, long count) {
    CellGroup g(this);
    _cell* strm = NILCell;
    bool eofGiven = false;
    bool eofError = true;
    _cell* eofValue = NILCell;
    if (isCons(args)) {
        g.push(args);
        strm = eval(car(args), frame, count);
        if (strm == nullptr) return nullptr;
        g.push(strm);
        if (!EofArguments(g, cdr(args), frame, count, &eofGiven, &eofError,
                          &eofValue))
            return nullptr;
    }
    static const char kAtEnd[] = "エラー: 読み込み中にエラーを生じました。";
    if (isNil(strm) || strm == TCell) {
        bool atEnd = false;
        _cell* line;
        // Ctrl-C while waiting for the line: the break loop; after CONTINUE
        // the read starts again.
        while (!(line = ReadLine(eofGiven ? &atEnd : nullptr))) {
            interruptRequested = 0;
            if (!breaklisp(frame, count)) return nullptr;
        }
        if (!atEnd) return line;
        return eofError ? Fail(kAtEnd, frame, count) : eofValue;
    }
    if (!isStream(strm))
        return Fail("エラー: ストリームではありません", frame, count);
    FILE* f = DirectedStream(strm, false, frame, count);
    if (f == nullptr) return nullptr;
    if (eofGiven) {
        int c = std::getc(f);
        if (c == EOF) return eofError ? Fail(kAtEnd, frame, count) : eofValue;
        std::ungetc(c, f);
    }
    return ReadLineStrm(f);
}

// ---------------------------------------------------------------------------
// READ-CHAR$: (READ-CHAR$ peek stream eof-error-p eof-value), the one byte
// behind READ-CHAR and PEEK-CHAR (library/streamtexts.cpp). peek is a
// literal: 1 leaves the byte to be read again. The other three are
// evaluated; a stream of NIL or T is the console. At the end of the input
// the answer is eof-value when eof-error-p is NIL, else the error.
// ---------------------------------------------------------------------------

_cell* cfunction::read_char_lisp(_cell* args, _symval* frame, long count) {
    if (!isCons(args) || !isInteger(args->car.p))
        return Fail("エラー: 引数の数が違います", frame, count);
    bool peek = CellToInt(args->car.p) != 0;
    CellGroup g(this);
    g.push(args);
    _cell* v[3];
    int got = EvalN(g, args->cdr.p, 3, v, frame, count);
    if (got <= 0)
        return got < 0 ? Fail("エラー: 引数の数が違います", frame, count) : nullptr;
    _cell* strm = v[0];
    int c;
    if (isNil(strm) || strm == TCell) {
        std::fflush(stdout);
        c = ConsoleGetc();
        if (c == EOF && ConsoleInterrupted()) {
            interruptRequested = 0;
            if (!breaklisp(frame, count)) return nullptr;
            return read_char_lisp(args, frame, count);
        }
        if (c != EOF && peek) {
            char byte = (char)c;
            ConsoleKeep(&byte, 1);
        }
    } else {
        if (!isStream(strm))
            return Fail("エラー: ストリームではありません", frame, count);
        FILE* f = DirectedStream(strm, false, frame, count);
        if (f == nullptr) return nullptr;
        c = std::getc(f);
        if (c != EOF && peek) std::ungetc(c, f);
        if (c == '\n' && !peek && f == countedStream) countedLines++;
    }
    if (c == EOF)
        return isNil(v[1]) ? v[2]
                           : Fail("エラー: 読み込み中にエラーを生じました。", frame, count);
    return getMojiCell((signed char)c, 0);
}
