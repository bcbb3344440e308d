// STUB: to be replaced by the owner of this file.
#include "toplevel/clisp.h"

const char* const ReadEvalData[] = {
    R"lisp((setq pi 3.14159265358979))lisp",
};
const int kPreludeCount = sizeof ReadEvalData / sizeof ReadEvalData[0];
