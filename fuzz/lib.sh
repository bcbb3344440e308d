# Shared by the fuzz/ scripts (sourced). The harnesses run as an
# unprivileged user, under nice, from an empty scratch folder: OPEN accepts
# any path, so an input run as root could overwrite system files.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FUZZ_USER=${TK_FUZZ_USER:-tkfuzz}
HARNESSES=(session reader load)

# Longest input per harness: a console session or a file may be longer than
# one expression; the reader takes one text of at most 19999 bytes.
max_len() { [ "$1" = reader ] && echo 20000 || echo 24000; }

# Options of every run: no leak checks (the areas live as long as the
# process, by design), bounded memory, a time limit per input, and a write
# past the harness's file-size limit left to fail (libFuzzer would stop).
# The step budget ends every input; a few kept inputs that allocate much at
# each step take 4 to 6 seconds under the sanitizers, and one session input
# (COERCE copying a long list at every step) took over 20 seconds in the
# i386 build on a machine running two suites at once, so the limit that
# tells a hang from them is 60 seconds.
FUZZ_OPTS=(-detect_leaks=0 -rss_limit_mb=2048 -timeout=60 -handle_xfsz=0
           -print_final_stats=1)

# Sets RUNAS to the command prefix that drops privileges; as root, makes
# the user when it is missing. Answers 1 when that cannot be done.
setup_user() {
    RUNAS=(nice -n 10)
    if [ "$(id -u)" != 0 ]; then return 0; fi
    if ! id -u "$FUZZ_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home --shell /usr/sbin/nologin \
            "$FUZZ_USER" >/dev/null 2>&1 || return 1
    fi
    if command -v runuser >/dev/null; then
        RUNAS=(nice -n 10 runuser -u "$FUZZ_USER" --)
    elif command -v setpriv >/dev/null; then
        RUNAS=(nice -n 10 setpriv --reuid="$FUZZ_USER" --regid="$FUZZ_USER"
               --init-groups --)
    else
        return 1
    fi
    # A quick check that the user really cannot write as root does.
    "${RUNAS[@]}" test ! -w /etc/passwd
}

# Makes $BASE (a fresh folder under /tmp owned by the user) with: bin/ the
# harnesses of each built architecture and the dictionary, corpus/<harness>/
# a copy of the kept corpus, findings/ for what runs find. Copies, so that
# the user needs no access to the checkout.
make_base() {
    BASE=$(mktemp -d /tmp/tkfuzz.XXXXXX)
    chmod 755 "$BASE"
    mkdir -p "$BASE/bin" "$BASE/findings" "$BASE/logs"
    local a h
    for a in $(runnable_archs); do
        for h in "${HARNESSES[@]}"; do
            [ -x "$ROOT/build/fuzz-$a/tk-$h" ] &&
                cp "$ROOT/build/fuzz-$a/tk-$h" "$BASE/bin/tk-$h-$a"
        done
    done
    cp "$ROOT/fuzz/dict" "$BASE/bin/dict"
    for h in "${HARNESSES[@]}"; do
        mkdir -p "$BASE/corpus/$h"
        if [ -d "$ROOT/fuzz/corpus/$h" ]; then
            cp -r "$ROOT/fuzz/corpus/$h/." "$BASE/corpus/$h/"
        fi
    done
    if [ "$(id -u)" = 0 ]; then chown -R "$FUZZ_USER": "$BASE"; fi
}

# The architectures whose harnesses can run here. An i386 harness is a
# sanitizer program: where i386 programs run only under the emulator
# (tests/launch.py decides), AddressSanitizer fails its own checks there,
# so the i386 harnesses are neither built nor run, and skip_i386 says so.
I386_MODE=$(python3 "$ROOT/tests/launch.py" mode)
runnable_archs() {
    echo x86_64
    [ "$I386_MODE" = native ] && echo i386
    return 0
}
# skip_i386 <script>: the one line that says what was skipped and why.
skip_i386() {
    [ "$I386_MODE" = native ] && return 0
    echo "$1: SKIPPED the i386 harnesses: i386 programs run under the" \
         "emulator here, and AddressSanitizer does not work under it"
}

# The architectures whose harnesses were built.
built_archs() {
    local a
    for a in $(runnable_archs); do
        [ -x "$ROOT/build/fuzz-$a/tk-session" ] && echo "$a"
    done
}

# Runs a harness: run_harness <harness> <arch> <log> <libFuzzer args...>,
# as the user, from an empty scratch folder of its own (every file in it is
# removed after each input, so two runs never share one).
run_harness() {
    local h=$1 a=$2 log=$3
    shift 3
    local scratch
    scratch=$(mktemp -d "$BASE/scratch.XXXXXX")
    chmod 755 "$scratch"
    touch "$scratch/.tkfuzz-scratch"
    if [ "$(id -u)" = 0 ]; then chown -R "$FUZZ_USER": "$scratch"; fi
    (cd "$scratch" &&
     "${RUNAS[@]}" "$BASE/bin/tk-$h-$a" "${FUZZ_OPTS[@]}" \
         -max_len="$(max_len "$h")" -dict="$BASE/bin/dict" \
         -artifact_prefix="$BASE/findings/$h-$a-" "$@") >"$log" 2>&1
}

# Executions a finished run reports in its log.
executions() {
    sed -n 's/^stat::number_of_executed_units: *//p' "$1" | tail -1
}

# Copies what the run found to build/fuzz-findings/ and says where.
keep_findings() {
    local n
    n=$(find "$BASE/findings" -type f | wc -l)
    [ "$n" = 0 ] && return 0
    mkdir -p "$ROOT/build/fuzz-findings"
    cp "$BASE/findings"/* "$ROOT/build/fuzz-findings/"
    echo "fuzz: $n finding(s) kept in build/fuzz-findings/:"
    ls "$BASE/findings"
    return 1
}
