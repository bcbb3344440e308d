// tamarisk top layer: start-up, the built-in names, the prelude and the
// read-eval-print loop. clisp is the type of the one interpreter object.
#ifndef TAMARISK_TOPLEVEL_CLISP_H
#define TAMARISK_TOPLEVEL_CLISP_H

#include "eval/cfunction.h"

class clisp : public cfunction {
public:
    // --- toplevel/keyword.cpp -----------------------------------------------
    void SetKeyword();

    // --- toplevel/repl.cpp --------------------------------------------------
    int ReadEvalLoop();         // 1: the whole prelude evaluated
    void DispMessage();
    void ReadEvalPrintLoop();
    int Run();                  // start-up and loop; the process status
};

// The prelude texts, in evaluation order.
extern const char* const ReadEvalData[];
extern const int kPreludeCount;

#endif  // TAMARISK_TOPLEVEL_CLISP_H
