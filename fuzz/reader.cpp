// libFuzzer harness: the reader layer on raw text. The bytes (up to the
// first NUL and the text bound) go through the normalisation, the five
// rewriting passes and the cell builder, as the console does with one
// gathered expression, and what was read is printed (to nowhere).
//
// One interpreter serves many inputs, as reading needs only its areas. One
// text of at most kTextBound bytes takes at most two cells a byte (a string
// literal: a cons and a character each) and one numeric slot every two
// bytes; the interpreter is collected before an input that might find less
// than that free, and made afresh when its symbol names or symbols (never
// reclaimed) pass half of their areas. So no input meets an area exhausted
// by the inputs before it, and each behaves as on a fresh interpreter.
#include <csetjmp>
#include <cstring>

#include "fuzz/common.h"

namespace {

jmp_buf finished;
clisp* lisp;

// An area exhausted while reading ends the "session": back to the harness.
void leave(int) { std::longjmp(finished, 1); }

constexpr long kMostCells = 2L * kTextBound + 16;
constexpr long kMostSlots = kTextBound / 2 + 16;

bool roomy() {
    return lisp->policy.freeCells >= kMostCells &&
           lisp->policy.freeInts >= kMostSlots &&
           lisp->policy.freeFloats >= kMostSlots;
}

void prepare() {
    if (lisp && lisp->stringNext - lisp->stringArea < kStringCapacity / 2 &&
        lisp->symbolTableEnd - lisp->symbolTable < kSymbolCapacity / 2) {
        if (roomy()) return;
        lisp->gcQuiet = 1;
        lisp->gc();
        if (roomy()) return;
    }
    if (lisp) releaseInterpreter(lisp);
    lisp = newInterpreter();
    lisp->finishHook = leave;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzInitialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    prepare();
    lisp->fuzzSteps = fuzzStepBudget;
    size_t n = strnlen((const char*)data, size);
    if (n > (size_t)kTextBound) n = kTextBound;
    std::memcpy(lineStr, data, n);
    lineStr[n] = 0;
    if (setjmp(finished) == 0) {
        _cell* e = nullptr;
        if (lisp->ReadText(lineStr, &e) == 1) {
            lisp->printS(e);
            std::putchar('\n');
        }
    } else {
        // The area that ran out would stay full: start again.
        releaseInterpreter(lisp);
        lisp = nullptr;
    }
    return 0;
}
