#!/usr/bin/env python3
"""The whole test suite, as `make test` runs it, one section per check.

Each section runs one script over the builds that `make test` made and
shows its output as it comes, under a header with the section's name. A
section passes when its script exits with status 0. A check that cannot run
here prints one line holding ": SKIPPED " that says what it skipped and
why; the driver counts those lines. At the end, a table of the sections
with their times and the closing line
    N passed, N failed, N skipped
(sections passed and failed, checks skipped). Exit status 1 when any
section failed.

Usage: tests/all.py [section ...]     (default: every section, in order)
Sections: transcripts tsan shell examples guide resources valgrind
fuzz-replay fuzz-short
"""
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PY = sys.executable

SECTIONS = [
    # transcripts on every build, unit tests, linked libraries, exact
    # arithmetic against Python's fractions
    ("transcripts", [PY, "tests/run.py"]),
    # the collector's cases under ThreadSanitizer: the marking's helper
    # thread against the collector's
    ("tsan", [PY, "tests/run.py", "--config", "tsan", "memory/"]),
    # programs run from the shell: script mode and the options
    ("shell", [PY, "tests/shell.py"]),
    ("interrupt", [PY, "tests/interrupt.py"]),
    ("examples", [PY, "tests/examples.py"]),
    # the guides' entries against the vocabulary, and their examples
    ("guide", [PY, "tests/guide.py"]),
    ("resources", [PY, "tests/resources.py"]),
    ("valgrind", [PY, "tests/valgrind.py"]),
    ("fuzz-replay", ["fuzz/replay"]),
    ("fuzz-short", ["fuzz/short"]),
]


def run_section(name, argv):
    """Runs one section, passing its output through; returns (status,
    seconds, lines that said SKIPPED)."""
    shown = ["python3" if a == PY else a for a in argv]
    print("=== %s: %s" % (name, " ".join(shown)), flush=True)
    start = time.monotonic()
    skips = []
    p = subprocess.Popen(argv, cwd=ROOT, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT,
                         env=dict(os.environ, PYTHONUNBUFFERED="1"))
    for raw in p.stdout:
        sys.stdout.buffer.write(raw)
        sys.stdout.flush()
        if b": SKIPPED " in raw:
            skips.append(raw)
    status = p.wait()
    return status, time.monotonic() - start, skips


def main(argv):
    names = [n for n, _ in SECTIONS]
    unknown = [a for a in argv if a not in names]
    if unknown:
        print("tests/all.py: no section %s (sections: %s)" % (
            " ".join(unknown), " ".join(names)))
        return 2
    chosen = [(n, a) for n, a in SECTIONS if not argv or n in argv]
    results = []
    for name, args in chosen:
        status, seconds, skips = run_section(name, args)
        results.append((name, status, seconds, len(skips)))
    print("=== summary")
    for name, status, seconds, skipped in results:
        print("%-4s %-12s %6.0fs%s" % (
            "PASS" if status == 0 else "FAIL", name, seconds,
            ", %d skipped" % skipped if skipped else ""))
    failed = sum(1 for r in results if r[1] != 0)
    print("%d passed, %d failed, %d skipped" % (
        len(results) - failed, failed, sum(r[3] for r in results)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
