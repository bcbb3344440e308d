// The program: one interpreter object, started and run.
#include "toplevel/clisp.h"

int main(int argc, char** argv) {
    clisp lisp;
    int status = lisp.Run(argc, argv);
    lisp.FreeMemory();
    return status;
}
