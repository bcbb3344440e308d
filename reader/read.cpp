// ctextproc layer, reader part: the reader's one door. Every text that
// becomes an expression (typed at a prompt, read by READ, a prelude
// definition) goes through ReadText: normalisation, the five rewriting
// passes, then the cell builder.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "reader/ctextproc.h"

int ctextproc::ReadText(char* text, _cell** out) {
    if (text == lineStr) {
        // Room for the rewriting, which adds at most 11 bytes a mark
        // ("`x" becomes "(BACKQUOTE x)"): past the ceiling the passes
        // refuse the text with their message.
        size_t n = 0;
        size_t marks = 0;
        for (; text[n]; n++)
            marks += text[n] == '\'' || text[n] == '`' || text[n] == ',' ||
                     text[n] == '@';
        if (GrowLine(n + 11 * marks + 2)) text = lineStr;
    }
    SkipTerm(text);
    if (!RewriteAll(text)) return -1;
    // The cells the text may take (two a byte at most): when they would
    // reach into the reserve, collect first, so that garbage does not make
    // the text fail.
    if (policy.freeCells - 2 * (long)std::strlen(text) <=
        2 * policy.CellFloor())
        CollectForRoom();
    _cell* e = readFromString(text);
    if (!e) return -2;
    *out = e;
    return 1;
}

namespace {

// A copy of text, kept until the next call; null when memory for it
// cannot be had.
const char* keepText(const char* text) {
    static char* kept = nullptr;
    static size_t room = 0;
    size_t n = std::strlen(text) + 1;
    if (n > room) {
        void* grown = std::realloc(kept, n);
        if (!grown) return nullptr;
        kept = static_cast<char*>(grown);
        room = n;
    }
    std::memcpy(kept, text, n);
    return kept;
}

}  // namespace

int ctextproc::ReadFileExpression(FILE* f, bool wholeOnly, _cell** out,
                                  const char** gathered) {
    lineStr[0] = 0;
    int got = GetOneSStream(f);
    if (gathered) *gathered = lineStr;
    if (got != 1) return got == 2 ? kFileEnded : kFileFailed;
    if (wholeOnly && CheckBrace(lineStr) != 1) return kFileUnbalanced;
    if (gathered) *gathered = keepText(lineStr);
    return ReadText(lineStr, out) == 1 ? kFileRead : kFileUnread;
}

int ctextproc::ReadExpression(_cell** out) {
    std::fflush(stdout);
    lineStr[0] = 0;
    // A Ctrl-C that came after the last step has nothing left to stop; a
    // terminating signal still ends the session.
    EndIfTerminated();
    interruptRequested = 0;
    int got = GetOneS(1);
    if (got == -3) return -3;  // Ctrl-C: a fresh prompt
    if (got < 0) {
        // Ctrl-D typed on a terminal inside a debug loop leaves that loop
        // only: the end of a pipe or a file, and Ctrl-D at the top level,
        // end the session.
        if (debugLevel > 0 && isatty(0)) {
            std::clearerr(stdin);
            return -4;
        }
        Finish(0);
    }
    if (got == 0) return 0;
    // A text that cannot be rewritten or built (a fraction with the
    // denominator 0) has had its message, like one that cannot be gathered.
    return ReadText(lineStr, out) == 1 ? 1 : 0;
}
