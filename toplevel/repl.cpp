// clisp: start-up, the prelude loader, the banner and the read-eval-print
// loop. Evaluation runs on a stack of its own, large enough for very deep
// recursion, whose far end the evaluator refuses to reach.
#include <sys/mman.h>
#include <ucontext.h>

#include <cstdlib>
#include <cstring>

#include "toplevel/clisp.h"
#include "toplevel/symbols.h"

#ifndef TK_STACK_MB
#if defined(__x86_64__)
#define TK_STACK_MB 1024
#else
#define TK_STACK_MB 512
#endif
#endif

int clisp::ReadEvalLoop() {
    for (int i = 0; i < kPreludeCount; i++) {
        size_t len = strlen(ReadEvalData[i]);
        if (len >= (size_t)kLineSize) return 0;
        memcpy(lineStr, ReadEvalData[i], len + 1);
        SkipTerm(lineStr);
        if (!RewriteAll(lineStr)) return 0;
        _cell* e = readFromString(lineStr);
        if (!e) return 0;
        _cell* v;
        {
            CellGroup g(this);
            g.push(e);
            v = eval(e, nullptr, 0);
        }
        if (!v) return 0;
    }
    return 1;
}

void clisp::DispMessage() {
    puts("tamariskVelmora for Linux version2.21\n"
         "日本語で話す小さなLisp処理系です。BYEで終了します。");
}

void clisp::ReadEvalPrintLoop() {
    for (int counter = 1;; counter++) {
        printf("[%d]", counter);
        _cell* e = nullptr;
        int got = ReadExpression(&e);
        if (got == 0) {
            errorlisp(nullptr, 0);
            continue;
        }
        if (got < 0) return;
        _cell* v;
        {
            CellGroup g(this);
            g.push(e);
            v = eval(e, nullptr, 0);
        }
        PrintOutcome(v);
        // Every group and frame is popped on every way out of a form.
        TK_ASSERT(cellStackTop == cellStack + 1);
        TK_ASSERT(locStackTop == locStack + 1);
    }
}

namespace {

clisp* running;
int runStatus;
ucontext_t mainContext;
ucontext_t evalContext;

void evaluate() {
    clisp* lisp = running;
    if (!lisp->ReadEvalLoop()) {
        runStatus = 1;
        return;
    }
    lisp->DispMessage();
    lisp->ReadEvalPrintLoop();
    runStatus = 0;
}

}  // namespace

int clisp::Run() {
    Init();
    if (!AllocMemory()) return 1;
    IncCellStack(nullptr);
    IncLocStack(nullptr, 0);
    SetKeyword();

    size_t size = (size_t)TK_STACK_MB << 20;
    void* stack = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (stack == MAP_FAILED) {
        // No room for the large stack: evaluate on the process stack, with
        // no depth check beyond what it gives.
        running = this;
        evaluate();
        return runStatus;
    }
    // Keep a reserve below the limit for the debug loop and the printer.
    const size_t kReserve = (size_t)96 << 20;
    stackBase = (char*)stack + size;
    stackLimit = (char*)stack + kReserve;
    running = this;
    getcontext(&evalContext);
    evalContext.uc_stack.ss_sp = stack;
    evalContext.uc_stack.ss_size = size;
    evalContext.uc_link = &mainContext;
    makecontext(&evalContext, evaluate, 0);
    swapcontext(&mainContext, &evalContext);
    fflush(stdout);
    return runStatus;
}
