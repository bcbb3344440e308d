// libFuzzer harness: one whole console session per input. The bytes are
// standard input of a fresh interpreter (prelude, banner, read-eval-print
// loop, debug loops), whose output is thrown away.
#include "fuzz/common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzInitialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    runSession(data, size);
    return 0;
}
