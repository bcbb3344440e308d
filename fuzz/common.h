// Shared parts of the fuzzing harnesses: the safety checks made before any
// input runs, the discarded output, and fresh interpreters that are taken
// apart again after each input.
#ifndef TAMARISK_FUZZ_COMMON_H
#define TAMARISK_FUZZ_COMMON_H

#include <cstddef>
#include <cstdint>

#include "toplevel/clisp.h"

// Refuses to go on as root or outside a scratch folder (one holding the
// marker file made by fuzz/scratch), and bounds what one input can write.
// Called once from LLVMFuzzerInitialize.
void fuzzInitialize();

// Runs one whole console session on a fresh interpreter, with the bytes as
// its standard input; answers the session's status.
int runSession(const uint8_t* data, size_t size);

// A fresh interpreter with its areas reserved and its names registered, as
// Run makes it before the prelude; and its release.
clisp* newInterpreter();
void releaseInterpreter(clisp* lisp);

// Removes every file an input created in the scratch folder.
void cleanScratch();

// Evaluation steps allotted to one session (TK_FUZZ_STEPS overrides).
extern long fuzzStepBudget;

// The interpreter whose output is being counted, or null.
extern clisp* fuzzCurrent;

#endif  // TAMARISK_FUZZ_COMMON_H
