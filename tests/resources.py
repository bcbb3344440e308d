#!/usr/bin/env python3
"""Limits, end of input and resources: what transcripts cannot express.

Runs the interpreter under process limits (stack size, open files, address
space), measures time and memory, looks at the descriptors of a live
session, exhausts the storage areas of a build with small ones, feeds broken
and binary files, and preloads tests/shim/failshim.c to fail the N-th
malloc, fopen, getc or fgets for every N the session reaches.

Builds what it needs beyond `make x86_64 i386`: build/limits (areas and
stacks shrunk so that exhausting them takes a moment) and the shim, for
x86-64 and, when build/i386 exists, with -m32.

Usage: tests/resources.py [--config NAME,NAME] [section ...]
  --config: the builds under build/ to test (default x86_64,i386; a name
  containing i386 gets the 32-bit shim)
  sections: stack eof exhaust memory files shim address (default: all)
Prints the figures it measured; exits 1 when any check failed.
"""
import os
import random
import re
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build")
sys.path.insert(0, os.path.join(ROOT, "tests"))
import run as transcripts  # noqa: E402
import launch  # noqa: E402
LIMITS_DEFINES = "TK_CELLS=200000L;TK_NUMSLOTS=50000L;TK_STACKSLOTS=200000L"

MSG_DEEP = "エラー: 再帰が深すぎます。"
MSG_DEBUG = "デバッグモードに入りました。"
MSG_FILES = "エラー: ファイルの数が多すぎます"
MSG_OPEN = "エラー: ファイルを開くことができません。"
MSG_WRITE = "エラー: ファイルに書き込めませんでした"

failures = []
figures = []
checks = 0
skipped = []


def check(name, ok, detail=""):
    global checks
    checks += 1
    if not ok:
        failures.append("FAIL %s%s" % (name, ("\n  " + detail) if detail else ""))


def figure(text):
    figures.append(text)


class Result:
    def __init__(self, status, out, seconds, maxrss_kb):
        self.status = status        # exit status, or -signal
        self.out = out              # stdout decoded, banner kept
        self.seconds = seconds
        self.maxrss_kb = maxrss_kb


def run(binary, text, stack=None, nofile=None, vmem=None, env=None,
        cwd=None, timeout=120):
    """One session fed `text` on standard input, with optional limits."""
    def limits():
        if stack is not None:
            resource.setrlimit(resource.RLIMIT_STACK, (stack, stack))
        if nofile is not None:
            resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))
        if vmem is not None:
            resource.setrlimit(resource.RLIMIT_AS, (vmem, vmem))
    full_env = dict(os.environ, TZ="UTC")
    full_env.update(env or {})
    argv = launch.command(binary, env=full_env)
    timeout *= slowdown(binary)
    with tempfile.TemporaryFile() as fin, tempfile.TemporaryFile() as fout:
        fin.write(text.encode() if isinstance(text, str) else text)
        fin.seek(0)
        start = time.monotonic()
        p = subprocess.Popen(argv, stdin=fin, stdout=fout,
                             stderr=subprocess.STDOUT, cwd=cwd or SCRATCH,
                             env=full_env, preexec_fn=limits)
        deadline = start + timeout
        while True:
            pid, status, usage = os.wait4(p.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                p.kill()
                pid, status, usage = os.wait4(p.pid, 0)
                break
            time.sleep(0.002)
        seconds = time.monotonic() - start
        p.returncode = 0    # reaped by wait4; keep Popen from waiting
        fout.seek(0)
        out = fout.read().decode("utf-8", "replace")
    code = (os.WEXITSTATUS(status) if os.WIFEXITED(status)
            else -os.WTERMSIG(status))
    return Result(code, out, seconds, usage.ru_maxrss)


def describe(r):
    tail = r.out[-600:]
    return "status %d after %.2fs; output ends:\n%s" % (r.status, r.seconds,
                                                        tail)


CONFIGS = ["x86_64", "i386"]
slowdown = launch.slowdown


def binaries():
    found = []
    for name in CONFIGS:
        path = os.path.join(BUILD, name, "tamarisk")
        if os.path.exists(path):
            found.append((name, path))
    return found


def build_limits():
    return transcripts.build_config("limits", "Release", LIMITS_DEFINES)


# ---------------------------------------------------------------------------
# Depth, errors in a row and deep structures, under three stack limits
# ---------------------------------------------------------------------------

RECURSION = (
    "(defun g (x) (g x))\n" + "(g 1)\nabort\n" * 3 +
    "(defun f (n) (if (= n 0) 0 (+ 1 (f (- n 1)))))\n(f 100000)\n(+ 1 2)\n")

DEEP = """(defun mkcar (n) (let ((x nil)) (dotimes (i n) (setq x (cons x nil))) x))
(defun mkcdr (n) (let ((x nil)) (dotimes (i n) (setq x (cons i x))) x))
(defun depth (x) (let ((d 0)) (prog** () l (if (atom x) (return-from depth d)) (setq d (+ d 1)) (setq x (car x)) (go l))))
(progn (setq a (mkcar 1000000)) (setq b (mkcdr 1000000)) t)
(progn (setq c (copy a)) (setq d (copy b)) (gc) t)
(list (depth c) (length d) (equal a c) (equal b d) (eq a c))
(progn (setq a nil) (setq b nil) (setq d nil) (gc) (depth c))
c
(mkcdr 1000000)
(+ 1 2)
"""


def stack_section():
    for name, binary in binaries():
        for label, limit in (("1024", 1024 * 1024), ("8192", 8192 * 1024),
                             ("unlimited", resource.RLIM_INFINITY)):
            hard = resource.getrlimit(resource.RLIMIT_STACK)[1]
            if hard != resource.RLIM_INFINITY and (
                    limit == resource.RLIM_INFINITY or limit > hard):
                figure("ulimit -s %s not tried: the hard limit is lower"
                       % label)
                continue
            tag = "[%s ulimit -s %s]" % (name, label)
            r = run(binary, RECURSION, stack=limit)
            ok = (r.status == 0 and r.out.count(MSG_DEEP) == 3 and
                  "[6]100000\n" in r.out and r.out.endswith("3\n[8]"))
            check(tag + " endless recursion 3 times, then (f 100000)", ok,
                  describe(r))
            if label == "8192":
                figure("%s endless recursion x3 + 100,000 nested calls: "
                       "%.2fs" % (tag, r.seconds))

            n = 10000
            r = run(binary, "(car 1)\nabort\n" * n + "(+ 1 2)\n", stack=limit)
            ok = (r.status == 0 and r.out.count(MSG_DEBUG) == n and
                  r.out.endswith("[%d]3\n[%d]" % (n + 1, n + 2)))
            check(tag + " 10,000 errors left with ABORT", ok, describe(r))
            if label == "8192":
                figure("%s 10,000 errors with ABORT: %.2fs" % (tag, r.seconds))

            r = run(binary, "(car 1)\n" * n + "(+ 1 2)\n", stack=limit)
            ok = (r.status == 0 and r.out.count(MSG_DEBUG) == n and
                  r.out.endswith("*" * n + "[1]3\n" + "*" * n + "[2]"))
            check(tag + " 10,000 nested debug loops", ok, describe(r))
            if label == "8192":
                figure("%s 10,000 nested debug loops: %.2fs" % (tag,
                                                                 r.seconds))

            r = run(binary, DEEP, stack=limit, timeout=300)
            want_c = "(" * 1000000 + "NIL" + ")" * 1000000
            want_b = "(" + " ".join(str(i) for i in range(999999, -1, -1)) + ")"
            # gc lines come and go with the collector's timing.
            body = re.sub(r"gc: [^\n]*\n", "", r.out)
            ok = (r.status == 0 and "[6](1000000 1000000 T T NIL)" in body and
                  "[7]1000000\n" in body and
                  ("[8]" + want_c + "\n") in body and
                  ("[9]" + want_b + "\n") in body and body.endswith("3\n[11]"))
            # EQUAL is written in Lisp, and evaluation stops a recursion
            # about 250,000 calls deep so that a runaway one ends within a
            # second: the depth may be refused, with the message, and the
            # session goes on.
            ok = r.status == 0 and (ok or MSG_DEEP in r.out)
            check(tag + " print, equal, copy, gc of 1,000,000-deep car and "
                  "cdr structures", ok, describe(r)[:2000])
            if label == "8192":
                figure("%s 1,000,000 deep in car and cdr (build, copy, gc, "
                       "equal, print): %.2fs, %d MiB" % (
                           tag, r.seconds, r.maxrss_kb // 1024))


def reading_section():
    """Nesting and length at the 19,999-byte bound of one text."""
    levels = 9990
    nest = "(depth (quote " + "(" * levels + ")" * levels + "))\n"
    elems = 9989
    flat = "(length (quote (" + " ".join(["1"] * elems) + ")))\n"
    defs = ("(defun depth (x) (if (atom x) 0 (+ 1 (depth (car x)))))\n")
    for name, binary in binaries():
        r = run(binary, defs + nest)
        check("[%s] reading %d levels of nesting" % (name, levels),
              r.status == 0 and "[2]%d\n" % (levels - 1) in r.out and
              r.seconds < 5 * slowdown(binary) and r.maxrss_kb < 1 << 20,
              describe(r))
        figure("[%s] reading %d levels of nesting: %.3fs, %d MiB" % (
            name, levels, r.seconds, r.maxrss_kb // 1024))
        r = run(binary, flat)
        check("[%s] reading a list of %d elements" % (name, elems),
              r.status == 0 and "[1]%d\n" % elems in r.out and
              r.seconds < 5 * slowdown(binary) and r.maxrss_kb < 1 << 20,
              describe(r))
        figure("[%s] reading %d list elements: %.3fs, %d MiB" % (
            name, elems, r.seconds, r.maxrss_kb // 1024))


# ---------------------------------------------------------------------------
# End of input
# ---------------------------------------------------------------------------

EOF_CASES = [
    ("at the prompt", ""),
    ("after a complete line", "(+ 1 2)\n"),
    ("inside a list", "(list 1 (+ 2"),
    ("inside a list, after a newline", "(list 1\n(+ 2 3)\n"),
    ("inside a string", '(list "abc'),
    ("inside a string, after a newline", '(list "abc\ndef\n'),
    ("inside a comment", "; a note"),
    ("at debug depth 1", "(car 1)\n"),
    ("at debug depth 5", "(car 1)\n" * 5),
    ("inside a list at debug depth 5", "(car 1)\n" * 5 + "(list 1"),
    ("inside (read)", "(read)\n"),
    ("inside (read), in a list", "(read)\n(1 2"),
    ("inside (read-line)", "(read-line)\n"),
    ("inside (read) at debug depth 5", "(car 1)\n" * 5 + "(read)\n"),
    ("inside (read-line) at debug depth 1", "(car 1)\n(read-line)\n"),
    ("inside (read) within a function", "(defun r () (list (read)))\n(r)\n"),
]


def eof_section():
    worst = 0.0
    for name, binary in binaries():
        for label, text in EOF_CASES:
            r = run(binary, text, timeout=10)
            worst = max(worst, r.seconds)
            check("[%s] end of input %s" % (name, label),
                  r.status == 0 and r.seconds < 1.0 * slowdown(binary),
                  describe(r))
            # The same, with a file written and never closed.
            path = os.path.join(SCRATCH, "unclosed.txt")
            if os.path.exists(path):
                os.remove(path)
            pre = ('(setq s (open "unclosed.txt" :direction :output))\n'
                   '(print (quote (kept 1 2)) s)\n(princ "tail" s)\n')
            r = run(binary, pre + text, timeout=10)
            with open(path, "rb") as f:
                data = f.read()
            check("[%s] file written before end of input %s" % (name, label),
                  r.status == 0 and data == b"\n(KEPT 1 2) tail", describe(r) +
                  "\nfile: %r" % data)
        # Leaving by exhaustion or BYE keeps written data as well.
        for label, text in (("(bye) at debug depth 3",
                             "(car 1)\n" * 3 + "(bye)\n"),
                            ("endless recursion, then end of input",
                             "(defun g (x) (g x))\n(g 1)\n")):
            path = os.path.join(SCRATCH, "unclosed.txt")
            if os.path.exists(path):
                os.remove(path)
            r = run(binary, '(setq s (open "unclosed.txt" :direction :output))'
                    '\n(print 42 s)\n' + text, timeout=30)
            with open(path, "rb") as f:
                data = f.read()
            check("[%s] file written before %s" % (name, label),
                  r.status == 0 and data == b"\n42 ", describe(r))
    figure("end of input: %d cases per build, slowest %.3fs" % (
        len(EOF_CASES) * 2, worst))


# ---------------------------------------------------------------------------
# Exhausting each area of the small build
# ---------------------------------------------------------------------------

def ints_text(first, count, per_line, fmt):
    lines = []
    n = first
    k = 0
    while k < count:
        m = min(per_line, count - k)
        lines.append("(setq v%d (quote (%s)))\n" % (
            k, " ".join(fmt(n + i) for i in range(m))))
        n += m
        k += m
    return "".join(lines)


# Areas filled by live data: the operation fails with the area's message,
# the debug loop runs in the area's reserve, and after ABORT and dropping
# the data the session computes again; filling the area once more and then
# again from the debug loop uses up the reserve and ends the process.
AREAS = [
    ("cell area", "エラー: セル領域が一杯です。",
     "(setq x nil)\n(dotimes (i 1000) (setq x (cons i x)))\n"
     "(dotimes (i 1000) (setq l (cons (copy x) l)))\n"),
    ("integer area", "エラー: 整数領域が一杯です。",
     "(dotimes (i 60000) (setq l (cons (* i 7) l)))\n"),
    ("floating-number area", "エラー: 数値領域が一杯です。",
     "(dotimes (i 60000) (setq l (cons (+ i 0.5) l)))\n"),
    ("integer area, by fractions", "エラー: 整数領域が一杯です。",
     "(dotimes (i 30000) (setq l (cons (/ 1 (+ i 2)) l)))\n"),
    ("name area", "エラー: ストリング領域が一杯です。",
     "(dotimes (i 100000) (setq l (cons (intern-wide "
     "\"SYMBOL-NAMES-OF-THIRTY-TWO-BYTES\") l)))\n"),
]

EXHAUST = [
    ("integer area, by one text", "エラー: 整数領域が一杯です。終了します。",
     ints_text(100000, 60000, 2400, str)),
    ("runaway recursion, cell stack", MSG_DEEP,
     "(defun f (n) (if (= n 0) 0 (+ 1 (f (- n 1)))))\n(f 1000000)\n"),
    ("runaway recursion, local stack", MSG_DEEP,
     "(defun f (n a b c d e f g h i j k l m) (if (= n 0) 0 (+ 1 (f (- n 1) "
     "1 2 3 4 5 6 7 8 9 10 11 12 13))))\n"
     "(f 1000000 1 2 3 4 5 6 7 8 9 10 11 12 13)\n"),
    ("global-variable table", "エラー: グローバル変数領域が一杯です。",
     "(dotimes (i 4000) (set (gensym) i))\n"),
    ("function table", "エラー: 関数領域が一杯です。",
     "(dotimes (i 4000) (eval (list (quote defun) (gensym) nil nil)))\n"),
]
# The tables are full under a small heap limit; the session goes on.
TABLE_MESSAGES = {"エラー: グローバル変数領域が一杯です。", "エラー: 関数領域が一杯です。"}


def exhaust_section(limits_binary):
    path = os.path.join(SCRATCH, "before-exhaustion.txt")
    pre = ('(setq s (open "before-exhaustion.txt" :direction :output))\n'
           '(print (quote kept) s)\n(defvar l nil)\n')
    for label, message, fill in AREAS:
        if os.path.exists(path):
            os.remove(path)
        # The name area, which the build does not fix, fills under a small
        # memory limit.
        r = run(limits_binary, pre + fill + "(length l)\nabort\n"
                "(setq l nil)\n(+ 1 2)\n" + fill + fill, timeout=120,
                env={"TAMARISK_HEAP": "8M"} if label == "name area" else None)
        with open(path, "rb") as f:
            data = f.read()
        full = message + "\n" + MSG_DEBUG
        body = re.sub(r"gc: [^\n]*\n", "", r.out)
        kept = re.search(r"\*\[1\]\d+\n\*\[2\]\[\d+\]NIL\n\[\d+\]3\n",
                         body) is not None and data == b"\nKEPT "
        # The fill from the debug loop is refused again, in a debug loop
        # one level deeper, before it uses the reserve up: the session goes
        # on (it ended with status 1 once).
        ok = (r.status == 0 and body.count(full) >= 3 and kept and
              re.search(r"\*\*\[1\]$", body) is not None)
        check("[limits] %s filled, session kept, filled again from the debug loop" % label,
              ok, describe(r) + "\nfile: %r" % data)
        figure("[limits] %s filled twice: %.2fs" % (label, r.seconds))
    for label, message, text in EXHAUST:
        if os.path.exists(path):
            os.remove(path)
        r = run(limits_binary, pre + text + "(+ 1 2)\n", timeout=120,
                env={"TAMARISK_HEAP": "8M"} if message in TABLE_MESSAGES
                else None)
        with open(path, "rb") as f:
            data = f.read()
        if message == MSG_DEEP or message in TABLE_MESSAGES:
            ok = (r.status == 0 and message + "\n" + MSG_DEBUG in r.out and
                  r.out.endswith("*[1]3\n*[2]"))
        else:
            ok = (r.status == 1 and r.out.endswith(message + "\n") and
                  data == b"\nKEPT ")
        check("[limits] %s exhausted" % label, ok,
              describe(r) + "\nfile: %r" % data)
        figure("[limits] %s exhausted: %.2fs" % (label, r.seconds))
    # The symbol table grows past the 100,000 symbols it once refused;
    # symbols dropped since are reclaimed.
    for name, binary in binaries():
        r = run(binary, '(defvar l nil)\n(dotimes (i 100000) '
                '(setq l (cons (intern-wide "A") l)))\n(+ 1 2)\n'
                '(setq l nil)\n(gc)\n(length (list (gensym)))\n')
        body = re.sub(r"gc: [^\n]*\n", "", r.out)
        check("[%s] symbol table grows past 100,000 symbols, dropped symbols "
              "are reclaimed" % name,
              r.status == 0 and
              "[2]NIL\n[3]3\n[4]NIL\n[5]T\n" in body
              and body.endswith("[6]1\n[7]"),
              describe(r))


# ---------------------------------------------------------------------------
# Memory: a program whose live data is small stays small, and the statistics
# line still marks with '*' the point where all of the cell area has been
# handed out once
# ---------------------------------------------------------------------------

CHURN = ("(defun churn (n) (let ((x nil)) (dotimes (i n) (setq x (list i 1 2 3 "
         "4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19))) (length x)))")


def memory_section(limits_binary):
    # 5 million short-lived conses: 240 MB of cells if each were fresh.
    for name, binary in binaries():
        s = Session(binary, 64)
        s.send([CHURN, "(churn 250000)"])
        peak = s.peak_kb()
        status = s.close()
        out = s.out.decode("utf-8", "replace")
        check("[%s] 5,000,000 short-lived conses peak under 64 MB" % name,
              status == 0 and "[2]20\n" in out and 0 < peak < 64 * 1024,
              "status %d, peak RSS %d KB, output ends:\n%s" % (
                  status, peak, out[-600:]))
        figure("[%s] 5,000,000 short-lived conses: peak RSS %d MB" % (
            name, peak // 1024))
    # 400,000 cells handed out on an area of 200,000: the first (gc) comes
    # before the wrap, the last after it.
    r = run(limits_binary, "(gc)\n" + CHURN + "\n(churn 20000)\n(gc)\n",
            timeout=120)
    marks = re.findall(r"gc: [^\n]*使用中 (.)\n", r.out)
    check("[limits] gc line marks the wrap of the cell area",
          r.status == 0 and len(marks) >= 3 and marks[0] == " " and
          marks[-1] == "*" and "20\n" in r.out, describe(r))


# ---------------------------------------------------------------------------
# Files: descriptor limits, directories, full devices, broken and binary
# ---------------------------------------------------------------------------

class Session:
    """A live session on pipes, for looking at /proc/<pid>/fd meanwhile."""

    def __init__(self, binary, nofile):
        def limits():
            resource.setrlimit(resource.RLIMIT_NOFILE, (nofile, nofile))
        self.p = subprocess.Popen(launch.command(binary),
                                  stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, cwd=SCRATCH,
                                  preexec_fn=limits)
        self.prompt = 1
        self.out = b""
        self.slowdown = slowdown(binary)

    def send(self, lines):
        """Feeds whole lines, each one expression that returns to the
        top-level prompt (after ABORT where it fails), and waits for the
        prompt after the last."""
        for line in lines:
            self.p.stdin.write(line.encode() + b"\n")
        self.p.stdin.flush()
        self.prompt += sum(1 for l in lines if l != "abort")
        want = b"[%d]" % self.prompt
        fd = self.p.stdout.fileno()
        while not self.out.endswith(want):
            if not select.select([fd], [], [], 30 * self.slowdown)[0]:
                break       # no prompt: the check that follows fails
            chunk = os.read(fd, 65536)
            if not chunk:
                break
            self.out += chunk

    def fds(self):
        return sorted(os.listdir("/proc/%d/fd" % self.p.pid), key=int)

    def peak_kb(self):
        """The session's own peak resident set so far. (The maximum RSS
        that wait4 reports for a child starts at the RSS of the Python
        process that forked it.)"""
        with open("/proc/%d/status" % self.p.pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        return -1

    def close(self):
        self.p.stdin.close()
        rest = self.p.stdout.read()
        self.out += rest
        return self.p.wait(timeout=10 * self.slowdown)


def files_section():
    for name, binary in binaries():
        # Ten slots in the file table: the eleventh OPEN is refused, and
        # refusing it must not keep the descriptor fopen gave.
        s = Session(binary, 16)
        s.send(['(setq s%d (open "/dev/null"))' % i for i in range(10)])
        before = s.fds()
        s.send(['(open "/dev/null")', "abort"] * 100)
        after = s.fds()
        s.send(["(close s0)", '(setq s0 (open "/dev/null"))'])
        again = s.fds()
        status = s.close()
        text = s.out.decode("utf-8", "replace")
        check("[%s] ulimit -n 16: 100 refused eleventh OPENs" % name,
              text.count(MSG_FILES) == 100 and before == after and
              again == after and status == 0,
              "messages %d, fds before %s after %s again %s, status %s" % (
                  text.count(MSG_FILES), before, after, again, status))
        figure("[%s] ulimit -n 16: %d descriptors open with 10 files, "
               "the same after 100 refused OPENs" % (name, len(before)))

        # Fewer descriptors than slots: fopen itself fails.
        s = Session(binary, 8)
        s.send(['(setq s%d (open "/dev/null"))' % i for i in range(5)])
        before = s.fds()
        s.send(['(open "/dev/null")', "abort"] * 100)
        after = s.fds()
        status = s.close()
        text = s.out.decode("utf-8", "replace")
        check("[%s] ulimit -n 8: OPEN refused by the system" % name,
              text.count(MSG_OPEN) == 100 and before == after and status == 0,
              "messages %d, fds before %s after %s" % (
                  text.count(MSG_OPEN), before, after))

        # Directories cannot be opened; a full device reports at CLOSE.
        r = run(binary, '(open "/tmp")\nabort\n(load "/tmp")\nabort\n'
                '(open "/tmp" :direction :output)\nabort\n'
                '(setq s (open "/dev/full" :direction :output))\n'
                '(print (quote (a b c)) s)\n(close s)\nabort\n(+ 1 2)\n')
        check("[%s] directory and /dev/full" % name,
              r.status == 0 and r.out.count(MSG_OPEN) == 3 and
              r.out.count(MSG_WRITE) == 1 and r.out.endswith("3\n[8]"),
              describe(r))

        # Broken and binary files end in messages.
        rng = random.Random(8)
        cases = {
            "open-list.lsp": b"(defun a () (list 1 2",
            "open-string.lsp": b'(setq x "abc)\n',
            "closers.lsp": b"))) (car 1)\n",
            "long.lsp": b"(list " + b"1 " * 15000 + b")\n",
            "nul.lsp": b"(print 1)\0(print 2)\n",
            "quotes.lsp": b"''''''''''''\n`,@,@,@\n#\\",
            "empty.lsp": b"",
        }
        for i in range(40):
            cases["random-%d.bin" % i] = bytes(
                rng.randrange(256) for _ in range(rng.randrange(1, 4000)))
        for i in range(20):
            alphabet = b'()"\\;#\'`,@ \n\tabc123.-/|'
            cases["lispish-%d.lsp" % i] = bytes(
                rng.choice(alphabet) for _ in range(rng.randrange(1, 3000)))
        with open(binary, "rb") as f:
            cases["program.bin"] = f.read()
        bad = []
        for fname, data in sorted(cases.items()):
            with open(os.path.join(SCRATCH, fname), "wb") as f:
                f.write(data)
            r = run(binary, '(load "%s")\nabort\nabort\nabort\n(bye)\n' % fname,
                    timeout=30)
            if r.status != 0:
                bad.append("%s: %s" % (fname, describe(r)))
        check("[%s] %d broken and binary files loaded" % (name, len(cases)),
              not bad, "\n".join(bad)[:3000])
        figure("[%s] %d broken and binary files loaded without a crash" % (
            name, len(cases)))


# ---------------------------------------------------------------------------
# Address space too small for the evaluation stack at full size
# ---------------------------------------------------------------------------

def address_section():
    for name, binary in binaries():
        if launch.emulated(binary):
            print(launch.skip_line(
                "resources [%s]" % name, "endless recursion under ulimit -v",
                "an address-space limit cannot bind a program the emulator "
                "runs"))
            skipped.append(name)
            continue
        bad = []
        ran = 0
        for mb in range(1800, 3600, 50):
            r = run(binary, "(defun g (x) (g x))\n(g 1)\nabort\n(+ 1 2)\n",
                    vmem=mb << 20, timeout=60)
            ran += 1
            # Either start-up is refused (status 1), or the recursion ends
            # in a message and the debug loop: too deep, or no memory left
            # for one more binding frame.
            if r.status not in (0, 1) or (r.status == 0 and not (
                    MSG_DEBUG in r.out and r.out.endswith("3\n[4]"))):
                bad.append("%d MiB: %s" % (mb, describe(r)))
        check("[%s] endless recursion under ulimit -v 1800..3500 MiB" % name,
              not bad, "\n".join(bad)[:3000])


# ---------------------------------------------------------------------------
# Failing the N-th malloc, fopen, getc, fgets
# ---------------------------------------------------------------------------

SHIM_SESSION = """(setq s (open "shim-w.txt" :direction :output))
(print (quote (a b c)) s)
(princ "text" s)
(close s)
(setq s (open "shim-w.txt"))
(read s)
(read-line s)
(close s)
(load "shim-load.lsp")
(defun f (n) (if (= n 0) 0 (+ 1 (f (- n 1)))))
(f 300)
(let ((a 1) (b 2)) (list a b (/ 1 3) 2.5))
(read)
(x y "z")
(read-line)
a line
(car 1)
abort
(gc)
"""


def shim_section():
    src = os.path.join(ROOT, "tests", "shim", "failshim.c")
    with open(os.path.join(SCRATCH, "shim-load.lsp"), "w") as f:
        f.write('(defun sq (x) (* x x))\n(sq 12)\n"s"\n')
    log = os.path.join(SCRATCH, "shim.log")
    for name, binary in binaries():
        lib = os.path.join(SCRATCH, "failshim-%s.so" % name)
        flags = ["-m32"] if "i386" in name else []
        subprocess.run(["gcc"] + flags + ["-O1", "-fPIC", "-shared", "-o", lib,
                                          src, "-ldl"], check=True)
        for what in ("malloc", "fopen", "getc", "fgets"):
            n = 0
            bad = []
            while True:
                n += 1
                if os.path.exists(log):
                    os.remove(log)
                r = run(binary, SHIM_SESSION, timeout=30,
                        env={"LD_PRELOAD": lib, "TK_FAIL_WHAT": what,
                             "TK_FAIL_AT": str(n), "TK_FAIL_LOG": log})
                if r.status not in (0, 1):
                    bad.append("N=%d: %s" % (n, describe(r)))
                if not os.path.exists(log) or n >= 20000:
                    break
            check("[%s] failing the N-th %s" % (name, what), not bad,
                  "\n".join(bad)[:3000])
            figure("[%s] failing the N-th %s: N = 1..%d, all status 0 or 1"
                   % (name, what, n - 1))


def main(argv):
    global SCRATCH, CONFIGS
    if "--config" in argv:
        i = argv.index("--config")
        CONFIGS = argv[i + 1].split(",")
        argv = argv[:i] + argv[i + 2:]
    sections = argv or ["stack", "eof", "exhaust", "memory", "files",
                        "address", "shim"]
    SCRATCH = tempfile.mkdtemp(prefix="tamarisk-resources-")
    try:
        if not binaries():
            print("no build/x86_64 or build/i386: run make first")
            return 1
        if "stack" in sections:
            stack_section()
            reading_section()
        if "eof" in sections:
            eof_section()
        if "exhaust" in sections or "memory" in sections:
            limits = build_limits()
        if "exhaust" in sections:
            exhaust_section(limits)
        if "memory" in sections:
            memory_section(limits)
        if "files" in sections:
            files_section()
        if "address" in sections:
            address_section()
        if "shim" in sections:
            shim_section()
    finally:
        shutil.rmtree(SCRATCH, ignore_errors=True)
    for f in failures:
        print(f)
    for f in figures:
        print("  " + f)
    print("resources: %d checks, %d failed, %d skipped" % (
        checks, len(failures), len(skipped)))
    return 1 if failures else 0


SCRATCH = None

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
