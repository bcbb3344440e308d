// The one interpreter every unit test works on, and the output capture the
// test files share.
//
// The symbol globals (NILCell, QUOTE, CHARACTER, ...) belong to the process,
// not to an interpreter: SetKeyword points them at the interpreter that calls
// it. So the unit tests make exactly one interpreter, on first use, and
// every file reaches it through Lisp(). Before each test a listener returns
// it to the same state, whatever ran before and in whatever order: the two
// stacks at their base markers and, after a collection, no cell in use but
// the symbols (and no kept frame). State a test depends on beyond that (the
// file table, for one) is set up by the test itself.
#ifndef TAMARISK_TESTS_UNIT_INTERP_H
#define TAMARISK_TESTS_UNIT_INTERP_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "toplevel/clisp.h"
#include "toplevel/symbols.h"

namespace unit {

struct SharedInterp {
    clisp lisp;                 // large: only ever in static storage
    _cell** cellBase;           // stack tops just above the base markers
    _symval** locBase;
};

inline SharedInterp& Shared() {
    static SharedInterp* shared = [] {
        static SharedInterp object;
        clisp& m = object.lisp;
        if (m.StartUp() != 1) {
            std::printf("unit tests: the interpreter's areas are missing\n");
            std::fflush(stdout);
            std::abort();
        }
        m.gcQuiet = 1;
        object.cellBase = m.cellStackTop;
        object.locBase = m.locStackTop;
        return &object;
    }();
    return *shared;
}

inline clisp& Lisp() { return Shared().lisp; }

// Back to the state right after start-up, as far as the collector can tell:
// a test that stopped between a push and its pop leaves nothing behind, and
// the cells of earlier tests (and earlier rounds of --gtest_repeat) are
// free again, so the areas never fill up.
inline void ResetInterp() {
    clisp& m = Shared().lisp;
    m.cellStackTop = Shared().cellBase;
    m.locStackTop = Shared().locBase;
    m.gc();
}

class ResetBeforeEachTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ResetInterp(); }
    void OnTestProgramEnd(const ::testing::UnitTest&) override {
        Shared().lisp.FreeMemory();
    }
};

inline bool InstallReset() {
    ::testing::UnitTest::GetInstance()->listeners().Append(
        new ResetBeforeEachTest);    // owned by the listener list
    return true;
}

// Initialised once for the whole program, before main.
inline const bool kResetInstalled = InstallReset();

inline std::string ReadAll(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string s;
    int ch;
    while ((ch = std::fgetc(f)) != EOF) s.push_back(static_cast<char>(ch));
    return s;
}

// Runs fn with standard output sent to a temporary file; returns what it
// wrote there.
template <typename Fn>
std::string CaptureStdout(Fn fn) {
    std::fflush(stdout);
    int saved = dup(1);
    FILE* tmp = std::tmpfile();
    dup2(fileno(tmp), 1);
    fn();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string s = ReadAll(tmp);
    std::fclose(tmp);
    return s;
}

}  // namespace unit

using unit::CaptureStdout;
using unit::Lisp;
using unit::ReadAll;

#endif  // TAMARISK_TESTS_UNIT_INTERP_H
