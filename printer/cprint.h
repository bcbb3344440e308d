// tamarisk printer layer: the external text of any cell, in the escaping
// style of PRIN1/PRINT (to standard output or to a stream) and the plain
// style of PRINC.
//
// Printing never fails and never enters the debug loop. The walk keeps
// its own stack, so nesting of any depth is written whole; an object met
// again inside itself (circular through cars, or a cdr chain that runs
// into a cycle) is written "..." where it repeats.
#ifndef TAMARISK_PRINTER_CPRINT_H
#define TAMARISK_PRINTER_CPRINT_H

#include "reader/ctextproc.h"

class cprint : public ctextproc {
public:
    // --- printer/print.cpp --------------------------------------------------
    void printS(_cell* c);
    void printSFile(_cell* c, FILE* f);     // printS's style, to f
    void printSStrm(_cell* c, FILE* f);
    void princS(_cell* c, FILE* f);
    void PutString(_cell* chars, FILE* f);
    void PutStringC(_cell* chars, FILE* f);
};

#endif  // TAMARISK_PRINTER_CPRINT_H
