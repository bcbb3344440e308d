// Reader part: the scanners over a whole text that need more than one unit
// (reader/scan.h describes the units). They read the text and never write
// it, and call nothing else of the reader.
#include "reader/scan.h"

#include <cstring>

int ScanDepth(char* p, char** end) {
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
// it runs to the end of the text. A normalised text has no blank but ' '
// outside units; a gathered one (the source-line tagger's) has all four.
char* ExprEnd(char* p) {
    if (p[0] == '#' && p[1] == '(') p++;  // a vector ends where its list does
    if (*p == '(') {
        char* end = nullptr;
        return ScanDepth(p, &end) == 1 ? end : nullptr;
    }
    while (*p && *p != ' ' && *p != '\n' && *p != '\t' && *p != '\r' &&
           *p != '(' && *p != ')') {
        char* q = SkipUnit(p);
        if (!q) return p + std::strlen(p);
        p = q == p ? p + 1 : q;
    }
    return p;
}
