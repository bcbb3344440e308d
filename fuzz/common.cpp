// Shared parts of the fuzzing harnesses; see common.h.
#include "fuzz/common.h"

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "toplevel/symbols.h"

long fuzzStepBudget = 300000;
clisp* fuzzCurrent;

namespace {

// Bytes one session may write, to standard output and files together. Most
// output comes from evaluation steps, which the step budget bounds, but one
// step can ask for any amount (SPACES with a huge count), which is no fault
// of the interpreter; past this budget the session ends as at the end of its
// input. The output functions the interpreter calls are wrapped at link time
// (-Wl,--wrap=..., see build.sh) to count.
const long kOutputBudget = 16L << 20;
long outputBytes;

void wrote(long n) {
    if (n <= 0 || !fuzzCurrent) return;
    outputBytes += n;
    if (outputBytes > kOutputBudget) {
        clisp* lisp = fuzzCurrent;
        fuzzCurrent = nullptr;      // once: Finish flushes stdout itself
        lisp->Finish(0);
    }
}

}  // namespace

extern "C" {
int __real_fputc(int c, FILE* f);
int __real_putc(int c, FILE* f);
int __real_putchar(int c);
int __real_fputs(const char* s, FILE* f);
int __real_puts(const char* s);

int __wrap_fputc(int c, FILE* f) {
    wrote(1);
    return __real_fputc(c, f);
}
int __wrap_putc(int c, FILE* f) {
    wrote(1);
    return __real_putc(c, f);
}
int __wrap_putchar(int c) {
    wrote(1);
    return __real_putchar(c);
}
int __wrap_fputs(const char* s, FILE* f) {
    wrote((long)std::strlen(s));
    return __real_fputs(s, f);
}
int __wrap_puts(const char* s) {
    wrote((long)std::strlen(s) + 1);
    return __real_puts(s);
}
int __wrap_printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vprintf(format, args);
    va_end(args);
    wrote(n);
    return n;
}
int __wrap_fprintf(FILE* f, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vfprintf(f, format, args);
    va_end(args);
    wrote(n);
    return n;
}
}

namespace {

// The file whose presence marks the current folder as a scratch folder that
// inputs may fill and that is emptied after every input.
const char kMarker[] = ".tkfuzz-scratch";

// Largest file an input may write: writes beyond it fail (SIGXFSZ is
// ignored), so no input can fill the disk.
const rlim_t kFileSizeLimit = 1 << 20;

ssize_t discardWrite(void*, const char*, size_t size) { return (ssize_t)size; }

}  // namespace

void fuzzInitialize() {
    if (geteuid() == 0) {
        std::fprintf(stderr,
                     "tamarisk fuzz: refusing to run as root: OPEN accepts "
                     "any path, so an input could overwrite system files.\n"
                     "Run it as an unprivileged user (see fuzz/README.md).\n");
        std::abort();
    }
    if (access(kMarker, F_OK) != 0) {
        std::fprintf(stderr,
                     "tamarisk fuzz: the current folder has no %s marker.\n"
                     "Run the harness from an empty scratch folder (the "
                     "fuzz/ scripts make one): inputs create files there and "
                     "every file in it is removed after each input.\n",
                     kMarker);
        std::abort();
    }
    struct rlimit fsize = {kFileSizeLimit, kFileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &fsize);
    signal(SIGXFSZ, SIG_IGN);
    if (const char* steps = std::getenv("TK_FUZZ_STEPS"))
        fuzzStepBudget = std::atol(steps);
    // The interpreter writes on stdout; it is thrown away unless
    // TK_FUZZ_SHOW is set (to look at what a kept input does).
    if (!std::getenv("TK_FUZZ_SHOW")) {
        // The standard output the process started with goes nowhere too: a
        // pointer to it taken before the switch below (the interpreter's
        // message stream) must not fill the log, which the file-size limit
        // would cut.
        if (!std::freopen("/dev/null", "w", stdout)) std::abort();
        cookie_io_functions_t discard = {nullptr, discardWrite, nullptr,
                                         nullptr};
        FILE* sink = fopencookie(nullptr, "w", discard);
        if (sink) stdout = sink;
    }
}

void cleanScratch() {
    DIR* dir = opendir(".");
    if (!dir) return;
    while (struct dirent* e = readdir(dir)) {
        const char* name = e->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 ||
            std::strcmp(name, kMarker) == 0)
            continue;
        unlink(name);
    }
    closedir(dir);
}

clisp* newInterpreter() {
    clisp* lisp = new clisp();
    if (!lisp->StartUp()) {
        std::fprintf(stderr, "tamarisk fuzz: no room for the areas\n");
        std::abort();
    }
    return lisp;
}

void releaseInterpreter(clisp* lisp) {
    lisp->FreeMemory();
    delete lisp;
}

int runSession(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer; an empty input is an empty file.
    FILE* in = size ? fmemopen((void*)data, size, "r")
                    : std::fopen("/dev/null", "r");
    if (!in) {
        std::fprintf(stderr, "tamarisk fuzz: cannot make standard input\n");
        std::abort();
    }
    FILE* savedIn = stdin;
    stdin = in;
    // A write past the file-size limit fails (libFuzzer may have set its
    // own handler since the initialisation).
    signal(SIGXFSZ, SIG_IGN);
    clisp* lisp = new clisp();
    lisp->fuzzSteps = fuzzStepBudget;
    fuzzCurrent = lisp;
    outputBytes = 0;
    char program[] = "tamarisk";
    char* argv[] = {program, nullptr};
    int status = lisp->Run(1, argv);
    fuzzCurrent = nullptr;
    releaseInterpreter(lisp);
    stdin = savedIn;
    std::fclose(in);
    std::fflush(stdout);
    cleanScratch();
    return status;
}
