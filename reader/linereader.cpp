// tamarisk text layer: the console as one stream of bytes, its
// record (DRIBBLE), and the line readers behind READ-LINE, which build a
// string cell from one raw line.
#include <cstdlib>
#include <cstring>

#include "reader/ctextproc.h"
#include "toplevel/symbols.h"

namespace {

// Bytes taken from standard input and not used yet; kept[keptAt..keptEnd)
// comes before anything still in standard input.
char kept[kLineSize];
size_t keptAt = 0;
size_t keptEnd = 0;

// One raw line: at most kPieceSize bytes, as a read of the file had them.
// A longer line comes in pieces, each answered with T as its second value.
constexpr size_t kPieceSize = kLineSize - 3;
char raw[kPieceSize];

// Makes the string cell of the n bytes of raw, whatever they are (NUL
// included), with the values list (string second).
_cell* lineCell(ctextproc* m, size_t n, _cell* second) {
    _cell* str = m->MakeMojiretsu(NILCell);
    _cell* last = str->cdr.p;
    for (size_t i = 0; i < n; i++) {
        _cell* cons = m->getCell();
        cons->car.p = m->getMojiCell((signed char)raw[i], 0);
        last->cdr.p = cons;
        last = cons;
    }
    m->setValues(str, ListOfTwo(m, str, second));
    return str;
}

}  // namespace

FILE* dribbleFile = nullptr;

namespace {

// While a record is kept, stdout is a stream of our own that writes what
// it is given both to the screen (the standard output it stands for) and
// to the record. It is line buffered, and the console flushes it before
// it reads, so a prompt is in the record before the line typed after it.
FILE* screen = nullptr;  // the standard output in place before
FILE* tee = nullptr;

ssize_t teeWrite(void*, const char* buf, size_t n) {
    std::fwrite(buf, 1, n, screen);
    std::fflush(screen);
    std::fwrite(buf, 1, n, dribbleFile);
    std::fflush(dribbleFile);
    return (ssize_t)n;
}

}  // namespace

bool StartDribble(const char* path) {
    // A record already kept ends only once the new one is open.
    FILE* record = std::fopen(path, "a");
    if (!record) return false;
    static const cookie_io_functions_t kTee = {nullptr, teeWrite, nullptr,
                                               nullptr};
    FILE* stream = fopencookie(nullptr, "w", kTee);
    if (!stream) {
        std::fclose(record);
        return false;
    }
    std::setvbuf(stream, nullptr, _IOLBF, BUFSIZ);
    EndDribble();
    std::fflush(stdout);
    dribbleFile = record;
    screen = stdout;
    tee = stream;
    stdout = tee;
    if (messageOut == screen) messageOut = tee;
    return true;
}

bool EndDribble() {
    if (!dribbleFile) return false;
    std::fflush(tee);
    stdout = screen;
    if (messageOut == tee) messageOut = screen;
    std::fclose(tee);
    std::fclose(dribbleFile);
    tee = nullptr;
    dribbleFile = nullptr;
    return true;
}

// Kept bytes were recorded when they were first read.
int ConsoleGetc() {
    if (keptAt < keptEnd) return (unsigned char)kept[keptAt++];
    if (!dribbleFile)
        return LineEditorActive() ? LineEditorGetc() : std::getc(stdin);
    // What was printed comes before what is typed after it.
    std::fflush(stdout);
    int c = LineEditorActive() ? LineEditorGetc() : std::getc(stdin);
    if (c != EOF) std::fputc(c, dribbleFile);
    return c;
}

void ConsoleKeep(const char* text, size_t n) {
    size_t left = keptEnd - keptAt;
    if (n + left > sizeof kept) n = sizeof kept - left;  // never: see callers
    std::memmove(kept + n, kept + keptAt, left);
    std::memcpy(kept, text, n);
    keptAt = 0;
    keptEnd = n + left;
}

bool ConsoleInterrupted() {
    EndIfTerminated();
    if (interruptRequested && LineEditorActive()) {
        LineEditorForget();
        return true;
    }
    if (!interruptRequested || !std::ferror(stdin)) return false;
    std::clearerr(stdin);
    return true;
}

size_t ConsoleKept() { return keptEnd - keptAt; }

void ConsoleForget() {
    keptAt = keptEnd = 0;
    if (LineEditorActive()) LineEditorForget();
}

// End of standard input ends the process with status 0, as it does at the
// prompt: there is no line to answer and a reading loop would never end.
// A line that does not fit one piece comes back in pieces, the second
// value T for every piece but the last; no byte is lost. Null when Ctrl-C
// interrupted the wait (what was typed of the line is dropped).
_cell* ctextproc::ReadLine(bool* atEnd) {
    size_t n = 0;
    int c = EOF;
    while (n < kPieceSize && (c = ConsoleGetc()) != EOF && c != '\n')
        raw[n++] = (char)c;
    if (c == EOF && ConsoleInterrupted()) return nullptr;
    if (c == EOF && n == 0) {
        if (!atEnd) Finish(0);
        *atEnd = true;
        return NILCell;
    }
    return lineCell(this, n, n == kPieceSize ? TCell : NILCell);
}

// A newline or a carriage return ends a line (a carriage return and the
// newline after it end it once). The second value is T when the line
// ended without either: at the end of the file, or a piece of a line too
// long for one.
_cell* ctextproc::ReadLineStrm(FILE* f) {
    size_t n = 0;
    int c = EOF;
    while (n < kPieceSize && (c = std::getc(f)) != EOF && c != '\n' &&
           c != '\r')
        raw[n++] = (char)c;
    if (c == '\r') {
        int next = std::getc(f);
        if (next != '\n' && next != EOF) std::ungetc(next, f);
    }
    bool ended = c == '\n' || c == '\r';
    return lineCell(this, n, ended ? NILCell : TCell);
}
