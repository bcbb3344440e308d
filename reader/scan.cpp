// Reader part, shared by every text pass and the cell builder: the
// stateless scanners over strings, character literals and lists. They read
// the text and never write it, and call nothing else of the reader.
#include <cstring>

#include "memory/cmemory.h"

// A backslash escapes the byte after it, whatever it is, so every string the
// printer writes (with \" and \\ inside) is skipped as one unit.
char* SkipDoubleQuote(char* p) {
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

int cmemory::ScanDepth(char* p, char** end) {
    int depth = 0;
    while (*p) {
        char* q = SkipUnit(p);
        if (!q) return 0;
        if (q != p) {
            p = q;
            continue;
        }
        if (*p == '(') {
            depth++;
        } else if (*p == ')') {
            if (depth == 0) return -1;
            if (--depth == 0) {
                *end = p + 1;
                return 1;
            }
        }
        p++;
    }
    return 2;
}

// An unclosed string inside a list leaves the list unclosed; inside an atom
// it runs to the end of the text.
char* cmemory::ExprEnd(char* p) {
    if (p[0] == '#' && p[1] == '(') p++;   // a vector ends where its list does
    if (*p == '(') {
        char* end = nullptr;
        return ScanDepth(p, &end) == 1 ? end : nullptr;
    }
    while (*p && *p != ' ' && *p != '(' && *p != ')') {
        char* q = SkipUnit(p);
        if (!q) return p + std::strlen(p);
        p = q == p ? p + 1 : q;
    }
    return p;
}
