#!/usr/bin/env python3
"""Loads every examples/NAME.lisp and compares the output with NAME.out.

Each example is run by typing (load "examples/NAME.lisp") at the prompt of
build/<config>/tamarisk, with the top of the source tree as the working
directory (the paths inside the examples are relative to it) and TZ=UTC.
Standard input then ends, which ends the session with status 0. The
expected output is the exact standard output after the two banner lines:
NAME.out, or NAME.out.i386 for the i386 build where the 32-bit long shows.

A header line ';;; scratch: PATH' in an example names a file it leaves
behind; it is removed after each run unless it existed before.

Usage: tests/examples.py [--config NAME ...] [name ...]
Default configurations: x86_64 and i386 (skipped with a message when
build/i386/tamarisk is missing).
"""
import difflib
import glob
import os
import re
import subprocess
import sys

import launch

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
EXAMPLES = os.path.join(ROOT, "examples")
BANNER = b"tamariskVelmora for Linux version2.21\n"
TIMEOUT = 120
SCRATCH = re.compile(rb"^;;;\s*scratch:\s*(\S+)\s*$", re.M)


def arch_of(config):
    return "i386" if "i386" in config else "x86_64"


def strip_banner(out):
    if not out.startswith(BANNER):
        return None
    nl = out.find(b"\n", len(BANNER))
    return out[nl + 1:] if nl >= 0 else b""


def expected_path(name, arch):
    base = os.path.join(EXAMPLES, name)
    for cand in (base + ".out." + arch, base + ".out"):
        if os.path.exists(cand):
            return cand
    return None


def run_one(binary, name, arch):
    """Returns None when the example passes, else a text saying why not."""
    src = os.path.join(EXAMPLES, name + ".lisp")
    with open(src, "rb") as f:
        scratch = [p.decode() for p in SCRATCH.findall(f.read())]
    existed = {p: os.path.exists(p) for p in scratch}
    want_path = expected_path(name, arch)
    if want_path is None:
        return "no %s.out" % name
    env = dict(os.environ, TZ="UTC")
    stdin = ('(load "examples/%s.lisp")\n' % name).encode()
    try:
        proc = subprocess.run(launch.command(binary), input=stdin,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              cwd=ROOT, env=env,
                              timeout=TIMEOUT * launch.slowdown(binary))
    except subprocess.TimeoutExpired:
        return "timed out after %d s" % (TIMEOUT * launch.slowdown(binary))
    except launch.CannotStart as e:
        return str(e)
    finally:
        for p, was in existed.items():
            if not was and os.path.exists(p):
                os.remove(p)
    problems = []
    if proc.returncode != 0:
        problems.append("exit status %d" % proc.returncode)
    got = strip_banner(proc.stdout)
    if got is None:
        problems.append("no banner at the start of the output")
        got = proc.stdout
    with open(want_path, "rb") as f:
        want = f.read()
    if got != want:
        diff = difflib.unified_diff(
            want.decode("utf-8", "replace").splitlines(True),
            got.decode("utf-8", "replace").splitlines(True),
            os.path.relpath(want_path, ROOT), "output")
        text = "".join(diff)
        if not text.endswith("\n"):
            text += "\n"
        problems.append("output differs:\n" + text)
    if problems and proc.stderr:
        problems.append("stderr:\n" + proc.stderr.decode("utf-8", "replace"))
    return "\n".join(problems) if problems else None


def main(argv):
    configs, names = [], []
    it = iter(argv)
    for a in it:
        if a == "--config":
            configs.append(next(it, ""))
        elif a in ("-h", "--help"):
            print(__doc__)
            return 0
        else:
            names.append(a)
    explicit = bool(configs)
    if not configs:
        configs = ["x86_64", "i386"]
    if not names:
        names = sorted(os.path.basename(p)[:-5]
                       for p in glob.glob(os.path.join(EXAMPLES, "*.lisp")))
    if not names:
        print("examples: no examples/*.lisp found")
        return 1
    failed = ran = 0
    for config in configs:
        binary = os.path.join(ROOT, "build", config, "tamarisk")
        if not os.path.exists(binary):
            if config == "i386" and not explicit:
                print("examples: SKIPPED i386: build/i386/tamarisk "
                      "is missing")
                continue
            print("examples: %s is missing" % os.path.relpath(binary, ROOT))
            failed += 1
            continue
        for name in names:
            if not os.path.exists(os.path.join(EXAMPLES, name + ".lisp")):
                print("examples: no examples/%s.lisp" % name)
                failed += 1
                continue
            ran += 1
            why = run_one(binary, name, arch_of(config))
            if why:
                failed += 1
                print("FAIL %s %s: %s" % (config, name, why))
    print("examples: %d run, %d failed" % (ran, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
