// cmemory layer, reader part: the line readers behind READ-LINE, which turn
// one raw line into a string literal in lineStr and build its string cell.
#include <cstdlib>
#include <cstring>

#include "memory/cmemory.h"
#include "toplevel/symbols.h"

namespace {

enum LineEnd { kAtLineEnd, kAtReadEnd, kCut };

// Turns the raw line at lineStr + 1 into a string literal in lineStr:
// a double quote first, the line's bytes with every backslash and double
// quote escaped, a closing double quote. The line ends at a newline (and,
// when crEnds, at a carriage return) or at the end of the read; a NUL byte
// ends the read.
//
// Escaping can double the line, so it is cut: the bytes whose escaped form
// would not leave room for the closing quote and the NUL are not taken.
// *kept is the number of raw bytes taken.
LineEnd escapeLine(int crEnds, size_t* kept) {
    char* src = lineStr + 1;
    size_t out = 1;         // where the next escaped byte goes
    size_t n = 0;
    LineEnd how = kAtReadEnd;
    for (; src[n]; n++) {
        char c = src[n];
        if (c == '\n' || (crEnds && c == '\r')) {
            how = kAtLineEnd;
            break;
        }
        size_t w = (c == '\\' || c == '"') ? 2 : 1;
        if (out + w > (size_t)kLineSize - 2) {
            how = kCut;
            break;
        }
        out += w;
    }
    // Fill from the back: the escaped form of the first k bytes is never
    // shorter than k, so no raw byte is overwritten before it is moved.
    size_t j = out;
    for (size_t k = n; k > 0; k--) {
        char c = src[k - 1];
        lineStr[--j] = c;
        if (c == '\\' || c == '"') lineStr[--j] = '\\';
    }
    lineStr[0] = '"';
    lineStr[out] = '"';
    lineStr[out + 1] = 0;
    *kept = n;
    return how;
}

// Makes the string cell of lineStr with the values list (string second).
_cell* lineCell(cmemory* m, _cell* second) {
    _cell* str = m->getMojiretsuCell(lineStr);
    _cell* tail = m->getCell();
    tail->car.p = second;
    _cell* values = m->getCell();
    values->car.p = str;
    values->cdr.p = tail;
    str->values = values;
    return str;
}

// A read takes at most kLineSize - 3 bytes, so that a line without
// backslashes or double quotes always fits with its two quotes and the NUL.
constexpr int kReadSize = kLineSize - 2;

}  // namespace

// End of standard input ends the process with status 0, as it does at the
// prompt: there is no line to answer and a reading loop would never end.
// A line cut by escaping loses the rest of that read.
// Null when Ctrl-C interrupted the wait.
_cell* cmemory::ReadLine() {
    if (!std::fgets(lineStr + 1, kReadSize, stdin)) {
        if (interruptRequested && std::ferror(stdin)) {
            std::clearerr(stdin);
            return nullptr;
        }
        Finish(0);
    }
    size_t kept = 0;
    escapeLine(0, &kept);
    return lineCell(this, NILCell);
}

// A line cut by escaping answers T, like a line too long for one read, and
// the file is set back to the first byte not taken, so that the next read
// goes on from there (when the file can seek).
_cell* cmemory::ReadLineStrm(FILE* f) {
    long before = std::ftell(f);
    if (!std::fgets(lineStr + 1, kReadSize, f)) {
        lineStr[0] = '"';
        lineStr[1] = '"';
        lineStr[2] = 0;
        return lineCell(this, TCell);
    }
    size_t kept = 0;
    LineEnd how = escapeLine(1, &kept);
    if (how == kCut && before >= 0)
        std::fseek(f, before + (long)kept, SEEK_SET);
    return lineCell(this, how == kAtLineEnd ? NILCell : TCell);
}
