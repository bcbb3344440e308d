#!/usr/bin/env python3
"""The transcript suite under valgrind's memcheck.

Builds build/valgrind (x86-64, assertions on, small storage areas so that
the collector walks them quickly under the emulator) and feeds every
transcript to it under memcheck; any memcheck error fails the case
(--error-exitcode), and so does a signal or an exit status other than the
transcript's. The output is compared for cases without floating numbers in
their text only: valgrind computes with 64-bit doubles where the
interpreter's floating numbers are 80-bit. Cases skipped for the gcstress
build (they need the full areas) and heavy ones are left out.

Usage: tests/valgrind.py [--jobs N] [pattern ...]
"""
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
import run as transcripts  # noqa: E402

BUILD = os.path.join(ROOT, "build", "valgrind")
DEFINES = "TK_DEBUG=1;TK_CELLS=200000L;TK_NUMSLOTS=50000L;TK_STACK_MB=256"
ERROR_STATUS = 99
# A case whose input or expected output holds a floating number.
FLOAT_TEXT = re.compile(rb"[0-9]\.[0-9]|[0-9][eE][-+]?[0-9]")
VALGRIND = ["valgrind", "--tool=memcheck", "--error-exitcode=%d" % ERROR_STATUS,
            "--leak-check=no", "--track-origins=no", "--quiet",
            # The evaluation stack is a mapping of its own: the switch to it
            # is a jump of the stack pointer far beyond any frame.
            "--max-stackframe=2000000000"]


def ensure_valgrind():
    if shutil.which("valgrind"):
        return True
    if os.geteuid() == 0:
        print("installing valgrind")
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        subprocess.run(["apt-get", "update", "-qq"], env=env,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["apt-get", "install", "-y", "-qq", "valgrind"],
                       env=env, stdout=subprocess.DEVNULL)
    return shutil.which("valgrind") is not None


def build():
    return transcripts.build_config(os.path.basename(BUILD), "Debug", DEFINES)


def run_case(binary, base, body, limit):
    status = 0
    if os.path.exists(base + ".status"):
        with open(base + ".status") as f:
            status = int(f.read().strip() or 0)
    env = dict(os.environ, TZ="UTC")
    start = time.monotonic()
    try:
        p = subprocess.run(VALGRIND + [binary], input=body,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           cwd=os.path.dirname(base), env=env, timeout=900)
    except subprocess.TimeoutExpired:
        return False, "timeout", 900.0
    seconds = time.monotonic() - start
    err = p.stderr.decode("utf-8", "replace")
    if p.returncode == ERROR_STATUS:
        return False, "memcheck errors:\n" + err[-4000:], seconds
    if p.returncode != status:
        return False, "status %d, expected %d\n%s" % (
            p.returncode, status, err[-2000:]), seconds
    want = transcripts.expected(base, "x86_64")
    same = want is not None and transcripts.normalise(want) == \
        transcripts.normalise(transcripts.strip_banner(p.stdout))
    if same:
        return True, "", seconds
    if FLOAT_TEXT.search(body) or FLOAT_TEXT.search(want or b""):
        return True, "differs", seconds     # counted, not judged
    return False, "stdout differs from %s.out" % os.path.basename(base), \
        seconds


def main(argv):
    jobs, patterns = 2, []
    i = 0
    while i < len(argv):
        if argv[i] == "--jobs":
            jobs = int(argv[i + 1]); i += 2; continue
        patterns.append(argv[i]); i += 1
    if not ensure_valgrind():
        print("FAIL valgrind is not installed")
        return 1
    binary = build()
    cases, skipped = [], 0
    tests = os.path.join(ROOT, "tests")
    for folder in sorted(os.listdir(tests)):
        d = os.path.join(tests, folder)
        if not os.path.isdir(d) or folder == "unit":
            continue
        for name in sorted(os.listdir(d)):
            if not name.endswith(".in"):
                continue
            rel = folder + "/" + name[:-3]
            if patterns and not any(p in rel for p in patterns):
                continue
            base = os.path.join(d, name[:-3])
            body, skip, only, heavy, limit = transcripts.load_case(base + ".in")
            if heavy or "gcstress" in skip or "x86_64" in skip or (
                    only and not only & {"x86_64", "valgrind"}):
                skipped += 1
                continue
            cases.append((rel, base, body, limit))
    start = time.monotonic()
    failed, slowest, differs = [], [], []
    with concurrent.futures.ThreadPoolExecutor(jobs) as ex:
        futs = [(rel, ex.submit(run_case, binary, base, body, limit))
                for rel, base, body, limit in cases]
        for rel, fut in futs:
            ok, msg, seconds = fut.result()
            slowest.append((seconds, rel))
            if not ok:
                failed.append("FAIL [valgrind] %s\n%s" % (rel, msg))
            elif msg:
                differs.append(rel)
    for f in failed:
        print(f)
    if differs:
        print("output differs (floating numbers; not judged): "
              + " ".join(differs))
    slowest.sort(reverse=True)
    print("slowest: " + ", ".join("%s %.1fs" % (r, s) for s, r in slowest[:3]))
    print("valgrind: %d cases clean, %d failed, %d skipped, %.0fs" % (
        len(cases) - len(failed), len(failed), skipped,
        time.monotonic() - start))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
