#!/bin/bash
# Builds the fuzzing harnesses with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, into build/fuzz-<arch>/:
#   tk-session   a whole console session per input (the bytes are stdin)
#   tk-reader    normalisation, rewriting passes and cell building of text
#   tk-load      LOAD of a file holding the bytes
# Usage: fuzz/build.sh [x86_64] [i386]     (default: both; i386 is skipped
# with a message when clang cannot build and run 32-bit fuzzers here)
# Objects are rebuilt only when a source or a header they include changed.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

# clang and its fuzzer runtime (Debian: clang, libclang-rt-14-dev).
have_fuzzer() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long)
          { return 0; }' |
        clang++ "$@" -fsanitize=fuzzer -x c++ - -o /dev/null 2>/dev/null
}
if ! command -v clang++ >/dev/null || ! have_fuzzer; then
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
        echo "fuzz/build.sh: installing clang and libclang-rt-14-dev"
        (apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
             clang libclang-rt-14-dev) >/dev/null
    fi
    if ! command -v clang++ >/dev/null || ! have_fuzzer; then
        echo "fuzz/build.sh: clang with libFuzzer is needed:" \
             "sudo apt-get install clang libclang-rt-14-dev" >&2
        exit 1
    fi
fi

ARCHS=("$@")
[ ${#ARCHS[@]} -eq 0 ] && ARCHS=(x86_64 i386)

# Interpreter switches of the fuzzing build: assertions on, small areas so
# that collection and exhaustion come early, a smaller evaluation stack
# (96 MB of it is the reserve below the depth limit). Clang does not define
# __SANITIZE_ADDRESS__, which the interpreter tests for its stack switches.
DEFINES="-DTK_FUZZ=1 -DTK_DEBUG=1 -DTK_CELLS=60000L -DTK_NUMSLOTS=20000L
 -DTK_STACKSLOTS=200000L -DTK_STACK_MB=128 -D__SANITIZE_ADDRESS__=1"
# (clang alone warns of unused inline helpers; the gcc builds judge those)
WARN="-Wall -Wextra -Wshadow -Wundef -Wwrite-strings -Wfloat-conversion
 -Wno-unused-function"
SAN="-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all"
# Coverage without comparison tracing: it triples the cost of a session (the
# prelude is read and run each time), and the dictionary and the string
# comparison hooks give the fuzzer the names it needs.
COV="-fsanitize-coverage=inline-8bit-counters,pc-table"
CXXFLAGS="-std=c++17 -g -O1 -fno-omit-frame-pointer -fno-exceptions -fno-rtti
 $WARN $DEFINES -I$ROOT"

# The output functions the interpreter calls, counted by the harness.
WRAP=""
for f in fputc putc putchar fputs puts printf fprintf; do
    WRAP="$WRAP -Wl,--wrap=$f"
done

CORE=$(ls memory/*.cpp reader/*.cpp printer/*.cpp eval/*.cpp math/*.cpp \
          library/*.cpp toplevel/*.cpp | grep -v '^toplevel/main.cpp$')

# 1 when $2 (an object) is missing or older than a file in its .d list.
stale() {
    local obj=$1 dep=${1%.o}.d
    [ -f "$obj" ] && [ -f "$dep" ] || return 0
    local f
    for f in $(sed -e 's/\\$//' -e 's/^[^:]*://' "$dep"); do
        [ "$f" -nt "$obj" ] && return 0
    done
    return 1
}

compile() {   # source object flags...
    local src=$1 obj=$2
    shift 2
    if stale "$obj"; then
        clang++ $CXXFLAGS "$@" -MMD -MF "${obj%.o}.d" -c "$src" -o "$obj"
    fi
}

build_arch() {
    local arch=$1 m=""
    [ "$arch" = i386 ] && m="-m32"
    local out="$ROOT/build/fuzz-$arch"
    if [ "$arch" = i386 ] && ! have_fuzzer -m32; then
        echo "fuzz/build.sh: skipping i386: clang -m32 cannot link a fuzzer" \
             "here (g++-multilib missing?)"
        return 0
    fi
    # Objects made with other switches are made again.
    local flags="$CXXFLAGS $m $COV $SAN"
    if [ ! -f "$out/flags" ] || [ "$(cat "$out/flags")" != "$flags" ]; then
        rm -rf "$out"
        mkdir -p "$out"
        echo "$flags" >"$out/flags"
    fi
    mkdir -p "$out/obj"
    # The reference texts of DOCUMENTATION, made as the CMake build makes
    # them.
    python3 library/gendoc.py docs/guide.ja.md docs/guide.en.md \
        "$out/doctexts.cpp" || exit 1
    local objs=() src obj
    # Two compilers at most: the machine is shared.
    local running=0 failed=0
    for src in $CORE "$out/doctexts.cpp" fuzz/common.cpp; do
        obj="$out/obj/$(echo "${src%.cpp}" | tr / _).o"
        objs+=("$obj")
        compile "$src" "$obj" $m $COV $SAN &
        running=$((running + 1))
        if [ $running -ge 2 ]; then
            wait -n || failed=1
            running=$((running - 1))
        fi
    done
    while [ $running -gt 0 ]; do
        wait -n || failed=1
        running=$((running - 1))
    done
    [ $failed = 0 ] || { echo "fuzz/build.sh: compilation failed" >&2; exit 1; }
    for h in session reader load; do
        obj="$out/obj/fuzz_$h.o"
        compile "fuzz/$h.cpp" "$obj" $m $COV $SAN
        if [ ! -x "$out/tk-$h" ] || [ -n "$(find "${objs[@]}" "$obj" \
                -newer "$out/tk-$h" 2>/dev/null)" ]; then
            clang++ $m -fsanitize=fuzzer $SAN "${objs[@]}" "$obj" -lm \
                $WRAP -o "$out/tk-$h"
        fi
    done
    echo "fuzz/build.sh: build/fuzz-$arch/{tk-session,tk-reader,tk-load}"
}

for a in "${ARCHS[@]}"; do build_arch "$a"; done
