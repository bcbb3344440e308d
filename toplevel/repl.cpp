// clisp: start-up, the prelude loader, the banner and the read-eval-print
// loop. Evaluation runs on a stack of its own, large enough for very deep
// recursion, whose far end the evaluator refuses to reach.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <sys/mman.h>
#include <ucontext.h>

#include <cstdlib>
#include <cstring>

#include "toplevel/clisp.h"
#include "toplevel/symbols.h"

// AddressSanitizer must be told when execution moves between stacks.
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#define TK_FIBER_START(save, bottom, size) \
    __sanitizer_start_switch_fiber(save, bottom, size)
#define TK_FIBER_FINISH(save, bottom, size) \
    __sanitizer_finish_switch_fiber(save, bottom, size)
// The storage areas live until the process ends, by design: not leaks.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#else
#define TK_FIBER_START(save, bottom, size) ((void)0)
#define TK_FIBER_FINISH(save, bottom, size) ((void)0)
#endif

#ifndef TK_STACK_MB
#if defined(__x86_64__)
#define TK_STACK_MB 1024
#else
#define TK_STACK_MB 512
#endif
#endif

int clisp::StartUp() {
    Init();
    if (!AllocMemory()) return 0;
    // The indexes and expansions an earlier session of this object kept
    // name cells of areas since given back.
    ForgetCaches();
    // The base markers: every group and frame of the session lies above.
    IncCellStack(nullptr);
    IncLocStack(nullptr, 0);
    SetKeyword();
    return 1;
}

int clisp::ReadEvalLoop() {
    for (int i = 0; i < kPreludeCount; i++) {
        size_t len = strlen(ReadEvalData[i]);
        if (!GrowLine(len + 1)) return 0;
        memcpy(lineStr, ReadEvalData[i], len + 1);
        _cell* e = nullptr;
        if (ReadText(lineStr, &e) != 1) return 0;
        MarkLibraryForm(e);
        _cell* v;
        {
            CellGroup g(this);
            g.push(e);
            v = eval(e, nullptr, 0);
        }
        if (!v) return 0;
    }
    InitFastPaths();
    InitHashIndex();
    // *STANDARD-OUTPUT* starts as T, standard output, and every binding of
    // it is dynamic, so a LET of it redirects what is printed within
    // (StandardOutput).
    _cell* out = getStringCell("*STANDARD-OUTPUT*");
    out->symFlags |= kSpecialSymbol;
    fastSym.standardOutput = globalTable + getSymVal2(out);
    fastSym.standardOutput->value = TCell;
    return 1;
}

void clisp::DispMessage() {
    puts(
        "tamariskVelmora for Linux version2.21\n"
        "日本語で話す小さなLisp処理系です。(bye)で終了します。");
}

void clisp::ReadEvalPrintLoop() {
    for (int counter = 1;;) {
        EvalAndPrint(ReadAtPrompt(&counter, nullptr, 0), nullptr, 0);
        // Every group and frame is popped on every way out of a form.
        TK_ASSERT(cellStackTop == cellStack + 1);
        TK_ASSERT(locStackTop == locStack + 1);
    }
}

namespace {

extern "C" void onInterrupt(int) { interruptRequested = 1; }

// SIGTERM and SIGHUP. Flushing stdio here could run in the middle of a
// write the signal interrupted, on a buffer half updated, and stdio takes
// no lock that a handler may wait for: only sig_atomic_t stores are safe.
// The flags make the next evaluation step, or the console read the signal
// ended (no SA_RESTART), end the session through EndIfTerminated, where
// flushing is safe.
extern "C" void onTerminate(int sig) {
    terminateSignal = sig;
    interruptRequested = 1;
}

clisp* running;
int runStatus;
ucontext_t mainContext;
ucontext_t evalContext;
[[maybe_unused]] const void* mainStackBottom;
[[maybe_unused]] size_t mainStackSize;

// The lowest part of the evaluation stack is mapped without access. The
// depth checks stop evaluation megabytes above it; should anything still
// run that far, the fault ends the session with a message instead of
// writing over whatever lies below the stack. It is larger than any frame
// of the program, so that no frame can step over it.
constexpr size_t kGuardSize = (size_t)256 << 10;
const char kStackOverflow[] = "エラー: 評価スタックが一杯です。終了します。";
char* guardLow;
char* guardHigh;
volatile sig_atomic_t stackOverflowed;

// Leaves the evaluation stack for good: back on the process stack, Run
// returns the status.
void finishEvaluation(int status) {
    runStatus = status;
    ucontext_t abandoned;
    TK_FIBER_START(nullptr, mainStackBottom, mainStackSize);
    swapcontext(&abandoned, &mainContext);
}

// AddressSanitizer reports a stack overflow by itself, from a signal stack
// of its own; the other builds take the fault on this one.
#if !defined(__SANITIZE_ADDRESS__)
#define TK_GUARD_HANDLER 1
alignas(16) char faultStack[64 << 10];

// A fault in the guard leaves the evaluation stack, as Finish does, and Run
// prints the message on the process stack. Any other fault gets the default
// action when the instruction runs again.
extern "C" void onFault(int sig, siginfo_t* info, void*) {
    char* at = (char*)info->si_addr;
    if (running && running->finishHook && at >= guardLow && at < guardHigh) {
        stackOverflowed = 1;
        finishEvaluation(1);
    }
    signal(sig, SIG_DFL);
}
#endif

void evaluate() {
    TK_FIBER_FINISH(nullptr, &mainStackBottom, &mainStackSize);
    clisp* lisp = running;
    if (!lisp->ReadEvalLoop()) {
        runStatus = 1;
        TK_FIBER_START(nullptr, mainStackBottom, mainStackSize);
        return;
    }
    runStatus = lisp->RunCommandLine();
    TK_FIBER_START(nullptr, mainStackBottom, mainStackSize);
}

// A standard descriptor that the process was started without would be
// the next one a file opens, and output meant for the screen would land in
// that file. Each one missing is filled with /dev/null opened for reading
// only: nothing is ever taken for it, and a write to standard output or
// error still fails, so the loss is reported as for any other failing
// output.
void holdStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        int got = open("/dev/null", O_RDONLY);
        if (got >= 0 && got != fd) close(got);
    }
}

}  // namespace

void EndIfTerminated() {
    int sig = terminateSignal;
    if (sig == 0 || running == nullptr || running->finishHook == nullptr)
        return;
    // Finish leaves the evaluation stack; Run then flushes the outputs.
    running->Finish(128 + sig);
}

int clisp::Run(int argc, char** argv) {
    Init();  // main gives back what was taken, whichever way Run returns
    holdStandardDescriptors();
    int answered = ReadOptions(argc, argv);
    if (answered >= 0) return answered;
    if (hasArguments) messageOut = stderr;
    if (!StartUp()) return 1;

    // Under a limit on the address space, settle for a smaller stack: with
    // one of its own, however small, the depth check stops deep recursion
    // with a message where the process stack would overflow.
    size_t size = (size_t)TK_STACK_MB << 20;
    void* stack = MAP_FAILED;
    for (; size >= ((size_t)32 << 20); size /= 2) {
        stack = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (stack != MAP_FAILED) break;
    }
    if (stack == MAP_FAILED) {
        // The process stack would give deep recursion nothing to stop it
        // but a crash: refuse to start, as when an area cannot be had.
        PutMessage("エラー: 評価スタック領域の獲得に失敗しました");
        return 1;
    }
    // Keep a reserve below the limit for the debug loop and the printer
    // (three quarters of a stack that had to be made small: still more
    // than the 16 MB the depth check grants nested debug loops).
    size_t reserve = (size_t)96 << 20;
    if (reserve > size / 4 * 3) reserve = size / 4 * 3;
    stackLimit = (char*)stack + reserve;
    SetDepthLimits();
    guardLow = guardHigh = nullptr;
    if (mprotect(stack, kGuardSize, PROT_NONE) == 0) {
        guardLow = (char*)stack;
        guardHigh = (char*)stack + kGuardSize;
    }
    stackOverflowed = 0;
#ifdef TK_GUARD_HANDLER
    stack_t faultAltStack;
    memset(&faultAltStack, 0, sizeof faultAltStack);
    faultAltStack.ss_sp = faultStack;
    faultAltStack.ss_size = sizeof faultStack;
    struct sigaction faultAction, oldFaultAction;
    memset(&faultAction, 0, sizeof faultAction);
    faultAction.sa_sigaction = onFault;
    faultAction.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&faultAction.sa_mask);
    bool faultHandled = guardLow && sigaltstack(&faultAltStack, nullptr) == 0 &&
                        sigaction(SIGSEGV, &faultAction, &oldFaultAction) == 0;
#endif
    running = this;
    finishHook = finishEvaluation;
    // Ctrl-C only sets the flag. Without SA_RESTART a blocking read of the
    // console returns, so that the readers can drop the half-typed text.
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    terminateSignal = 0;
    action.sa_handler = onTerminate;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    getcontext(&evalContext);
    evalContext.uc_stack.ss_sp = stack;
    evalContext.uc_stack.ss_size = size;
    evalContext.uc_link = &mainContext;
    makecontext(&evalContext, evaluate, 0);
    [[maybe_unused]] void* fakeStack = nullptr;
    TK_FIBER_START(&fakeStack, stack, size);
    swapcontext(&mainContext, &evalContext);
    TK_FIBER_FINISH(fakeStack, nullptr, nullptr);
    finishHook = nullptr;
#ifdef TK_GUARD_HANDLER
    if (faultHandled) sigaction(SIGSEGV, &oldFaultAction, nullptr);
#endif
    if (stackOverflowed) PutMessage(kStackOverflow);
    runStatus = FlushOutputs(runStatus);
#if TK_FUZZ
    // The next session of the process gets a stack of its own; frames left
    // on this one by an exit from deep evaluation must not stay poisoned.
#if defined(__SANITIZE_ADDRESS__)
    __asan_unpoison_memory_region(stack, size);
#endif
    munmap(stack, size);
#endif
    return runStatus;
}
