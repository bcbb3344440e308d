// libFuzzer harness: LOAD of a file. The bytes are written to a file in the
// scratch folder, and a fresh session evaluates (load "fuzz-input.lsp")
// with nothing more on standard input.
#include <cstdio>
#include <cstdlib>

#include "fuzz/common.h"

namespace {
const char kFile[] = "fuzz-input.lsp";
const char kSession[] = "(load \"fuzz-input.lsp\")\n";
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzInitialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(kFile, "wb");
    if (!f) {
        std::fprintf(stderr, "tamarisk fuzz: cannot write %s\n", kFile);
        std::abort();
    }
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    runSession((const uint8_t*)kSession, sizeof kSession - 1);
    return 0;
}
