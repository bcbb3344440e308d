// tamarisk printer layer: the external text of any cell, in the escaping
// style of PRIN1/PRINT (to standard output or to a stream) and the plain
// style of PRINC.
//
// Printing never fails and never enters the debug loop. The walk along a
// list's cdr chain iterates; nesting through car recurses, and past the
// depth the evaluation stack allows, the printer writes "..." instead of
// descending further, so deep structure never crashes it.
#ifndef TAMARISK_PRINTER_CPRINT_H
#define TAMARISK_PRINTER_CPRINT_H

#include "reader/ctextproc.h"

class cprint : public ctextproc {
public:
    // --- printer/print.cpp --------------------------------------------------
    void printS(_cell* c);
    void printSFile(_cell* c, FILE* f);     // printS's style, to f
    void printS0(_cell* c, int last);
    void printS2(_cell* c, int last);
    void printS3(_cell* c);
    void printSStrm(_cell* c, FILE* f);
    void printS0Strm(_cell* c, int last, FILE* f);
    void printS2Strm(_cell* c, int last, FILE* f);
    void printS3Strm(_cell* c, FILE* f);
    void princS(_cell* c, FILE* f);
    void princS0(_cell* c, int last, FILE* f);
    void princS2(_cell* c, int last, FILE* f);
    void princS3(_cell* c, FILE* f);
    void PutString(_cell* chars, FILE* f);
    void PutStringC(_cell* chars, FILE* f);
    char* GetStringC(_cell* chars, char* buf);  // returns the NUL's address
    long jnlength(_cell* c);
};

#endif  // TAMARISK_PRINTER_CPRINT_H
