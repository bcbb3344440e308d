// The program: one interpreter object, started and run.
#include "toplevel/clisp.h"

int main() {
    clisp lisp;
    return lisp.Run();
}
