#!/usr/bin/env python3
"""Running programs from the shell: script mode, the options, an executable
script, the examples run as scripts, and what make install puts in place.

Each case runs build/<config>/tamarisk with arguments and standard input in
a scratch folder holding the files of the case, and compares standard
output exactly, the exit status, and standard error (exactly, or the lines
it must contain).

Usage: tests/shell.py [--config NAME ...] [--no-install]
Default configurations: those of x86_64, i386, gcstress and asan that are
built; the examples run on the two plain builds only. The executable
script and the install check (make install/uninstall DESTDIR=...) run once.
"""
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

import launch

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BANNER = b"tamariskVelmora for Linux version2.21\n"
CONFIGS = ("x86_64", "i386", "gcstress", "asan")
TIMEOUT = 300

SCRIPT = b"""#!/usr/bin/env tamarisk
; squares, with comments everywhere
(defun square (x)
  ; a comment inside a definition
  (* x x))   ; and after it
(princ "squares:")
(dolist (i '(1 2 3)) (princ " ") (prin1 (square i)))
(terpri)
(+ 1 2)
"""

# An error in the middle of a file: the expression that fails starts on
# line 9, after comments inside an earlier expression, which must be
# counted; what follows it never runs; the cleanup of UNWIND-PROTECT does.
FAILING = b""";; first lines
(princ "before")
(terpri)
(defun f (x)
  ; comment
  ; comment
  (car x))

(unwind-protect (f 5) (princ "cleanup") (terpri))
(princ "never")
"""

# The report of TIME, with the counts of cells, integers, floating numbers
# and collections to fill in as patterns.
TIME_REPORT = ("評価にかかった時間と領域:\n"
               "  実時間        \\d+\\.\\d{6} 秒\n"
               "  実行時間      \\d+\\.\\d{6} 秒 \\(ユーザー \\d+\\.\\d{6} 秒、"
               "システム \\d+\\.\\d{6} 秒\\)\n"
               "  セル          %s 個\n"
               "  整数          %s 個\n"
               "  浮動小数点数  %s 個\n"
               "  ごみ集め      %s 回\n").encode()

# DRIBBLE at the console: the record holds the prompts, the lines typed and
# what was printed, messages and debug loops included, from the value of
# the call that starts it to the line that ends it; a file that cannot be
# opened leaves the record going; output after the end is not recorded; a
# second record is added at the end of the file. SHOW prints the record.
DRIBBLE_IN = """(defun show (name)
  (with-open-file (s name)
    (prog (v)
      next
      (setq v (multiple-value-list (read-line s)))
      (if (and (second v) (= (length (first v)) 0)) (return 'end))
      (princ "| ")
      (princ (first v))
      (terpri)
      (if (second v) (return 'end))
      (go next))))
(dribble "session.txt")
(+ 1 2)
(list "日本語" #\\a)
(car 5)
abort
(dribble "no-such-folder/x.txt")
abort
(dribble)
(+ 3 4)
(dribble)
(dribble "session.txt")
'appended
(dribble)
(dribble 5)
abort
(show "session.txt")
"""
DRIBBLE_OUT = """[1]SHOW
[2]T
[3]3
[4]("日本語" #\\a)
[5]エラー: 文法エラー
デバッグモードに入りました。
ABORTと入力すれば抜けられます。
*[1][6]エラー: DRIBBLEのファイルが開けません
デバッグモードに入りました。
ABORTと入力すれば抜けられます。
*[1][7]T
[8]7
[9]NIL
[10]T
[11]APPENDED
[12]T
[13]エラー: DRIBBLEの引数がファイル名ではありません
デバッグモードに入りました。
ABORTと入力すれば抜けられます。
*[1][14]| T
| [3](+ 1 2)
| 3
| [4](list "日本語" #\\a)
| ("日本語" #\\a)
| [5](car 5)
| エラー: 文法エラー
| デバッグモードに入りました。
| ABORTと入力すれば抜けられます。
| *[1]abort
| [6](dribble "no-such-folder/x.txt")
| エラー: DRIBBLEのファイルが開けません
| デバッグモードに入りました。
| ABORTと入力すれば抜けられます。
| *[1]abort
| [7](dribble)
| T
| [11]'appended
| APPENDED
| [12](dribble)

CLOSED END
[15]"""

USAGE = [b"\xe4\xbd\xbf\xe3\x81\x84\xe6\x96\xb9: tamarisk", b"Usage: tamarisk"]

# (name, arguments, standard input, files, expected stdout, expected
# status, expected stderr: bytes to match exactly, a compiled pattern of
# bytes it must match whole, or a list of lines it must hold in this
# order).
CASES = [
    ("script output only", ["sq.lisp"], b"", {"sq.lisp": SCRIPT},
     b"squares: 1 4 9\n", 0, b""),
    ("error mid-file", ["fail.lisp"], b"", {"fail.lisp": FAILING},
     b"before\ncleanup\n", 1,
     "エラー: 文法エラー\nfail.lisp:7: ここで止まりました: (CAR X)\n"
     "  0: (CAR X) ; fail.lisp:7\n  1: (F 5) ; fail.lisp:9\n".encode()),
    # The place is the innermost form read from a file, here one a LOAD
    # read, inside a macro's expansion; an error that a handler took
    # earlier leaves no report behind.
    ("error in a loaded file", ["main.lisp"], b"",
     {"main.lisp": b"(ignore-errors (car 1))\n(defun go-on (l)\n  (load l))\n(go-on \"lib.lisp\")\n",
      "lib.lisp": b"(defun lib-f (x)\n  (when t\n    (+ x 1)))\n\n(lib-f 'a)\n"},
     b"", 1,
     "エラー: それは数値ではありません。\nlib.lisp:3: ここで止まりました: (+ X 1)\n"
     "  0: (+ X 1) ; lib.lisp:3\n  1: (LIB-F A) ; lib.lisp:5\n"
     "  2: (LOAD \"lib.lisp\") ; main.lisp:3\n  3: (GO-ON \"lib.lisp\") ; main.lisp:4\n".encode()),
    # Too deep: five frames and the count of the others.
    ("recursion too deep", ["deep.lisp"], b"",
     {"deep.lisp": b"(defun d (n)\n  (+ 1 (d (+ n 1))))\n(d 0)\n"}, b"", 1,
     re.compile(re.escape("エラー: 再帰が深すぎます。\ndeep.lisp:2: ここで止まりました: "
                          "(D (+ N 1))\n  0: (D (+ N 1)) ; deep.lisp:2\n".encode()) +
                b"(  [1-4]: \\(D \\d+\\) ; deep.lisp:2\n){4}" +
                re.escape("  … ほか ".encode()) + b"\\d+" + re.escape(" 個\n".encode()))),
    ("uncaught throw", ["t.lisp"], b"", {"t.lisp": b"(print 1)\n(throw 'x 2)\n(print 3)\n"},
     b"\n1 ", 1,
     "エラー: THROWされましたが受け取り先のタグが見つかりません\n"
     "t.lisp:2: ここで止まりました: (throw 'x 2)\n".encode()),
    ("uncaught return-from", ["r.lisp"], b"",
     {"r.lisp": b"(defun g () (return-from h 1))\n(g)\n(print 3)\n"}, b"", 1,
     "エラー: RETURN-FROMの受け取り先が見つかりません\n"
     "r.lisp:2: ここで止まりました: (g)\n".encode()),
    ("break stops a script", ["b.lisp"], b"", {"b.lisp": b"(break)\n(print 3)\n"},
     b"", 1, "中断しました。\nb.lisp:1: ここで止まりました: (break)\n".encode()),
    ("unclosed at the end", ["u.lisp"], b"", {"u.lisp": b"(princ 1)\n(princ\n\n"},
     b"1", 1, "エラー: 右括弧が足りません\nu.lisp:2: ここで止まりました: (princ\n".encode()),
    ("unclosed string at the end", ["s.lisp"], b"",
     {"s.lisp": b'(princ 1)\n(princ "abc)\n(princ 2)\n\n'}, b"1", 1,
     "エラー: 文字列が閉じていません\ns.lisp:2: ここで止まりました: "
     "(princ \"abc)...\n".encode()),
    ("bye and twins end with 0", ["q.lisp"], b"",
     {"q.lisp": b"(princ 1)\n(if t (exit 3))\n(princ 2)\n"}, b"1", 0, b""),
    ("table full under --heap keeps status 1", ["--heap", "8M", "g.lisp"], b"",
     {"g.lisp": b"(dotimes (i 4000) (set (gensym) i))\n(print 'never)\n"}, b"", 1,
     "エラー: グローバル変数領域が一杯です。\n"
     "g.lisp:1: ここで止まりました: (dotimes (i 4000) (set (gensym) i))\n".encode()),
    ("--heap=SIZE and a wrong SIZE", ["--heap=1X", "-e", "(princ 1)"], b"", {},
     b"", 2, ["tamarisk: 大きさが違います: 1X".encode()] + USAGE),
    ("program on standard input", ["-", "a", "b c"],
     b"; comment\n(print *args*) ; comment\n(print (length *args*))\n", {},
     b'\n("a" "b c") \n2 ', 0, b""),
    ("arguments after FILE are the program's", ["--", "p.lisp", "-e", "--help"], b"",
     {"p.lisp": b"(prin1 *args*)"}, b'("-e" "--help")', 0, b""),
    ("-e twice prints only what is printed", ["-e", "(+ 1 2)", "--eval", "(princ 'a)",
                                           "--eval=(princ 'b)"], b"", {},
     b"AB", 0, b""),
    ("-e error", ["-e", "(princ 1)", "-e", "(car 1)", "-e", "(princ 2)"], b"", {},
     b"1", 1, "エラー: 文法エラー\n-e:1: ここで止まりました: (car 1)\n".encode()),
    ("-e before FILE", ["-e", "(defun two () 2)", "s.lisp"], b"",
     {"s.lisp": b"(prin1 (two))"}, b"2", 0, b""),
    ("-l then the console", ["-l", "d.lisp"], b"(sq 7)\n",
     {"d.lisp": b"(defun sq (x) (* x x))\n"}, None, 0, b""),
    ("-q -l: the console without banner", ["-q", "--load", "d.lisp"], b"(sq 7)\n",
     {"d.lisp": b"(defun sq (x) (* x x))\n"}, b"[1]49\n[2]", 0, b""),
    ("-l of a failing file still opens the console",
     ["-q", "-l", "d.lisp"], b"(sq 7)\n",
     {"d.lisp": b"(defun sq (x) (* x x))\n(car 1)\n"}, b"[1]49\n[2]", 0,
     "エラー: 文法エラー\nd.lisp:2: ここで止まりました: (car 1)\n".encode()),
    ("-l of a missing file still opens the console",
     ["-q", "-l", "none.lisp"], b"(+ 1 2)\n", {}, b"[1]3\n[2]", 0,
     [b"none.lisp"]),
    ("-q", ["--quiet"], b"(+ 1 2)\n", {}, b"[1]3\n[2]", 0, b""),
    ("--help", ["--help"], b"", {}, None, 0, b""),
    ("-h is --help", ["-h"], b"", {}, None, 0, b""),
    ("a script's output holds no CLOSED and no gc: line",
     ["p.lisp"], b"", {"p.lisp": b"(with-open-file (s \"o.txt\" :direction :output) (print 1 s))"
                                 b"(gc)(princ 'done)"},
     b"DONE", 0, [b"gc: "]),
    # TIME reports on standard error in a script, the program's output
    # stays on standard output; the times vary, the counts do not.
    ("TIME reports on standard error",
     ["t.lisp"], b"", {"t.lisp": b"(prin1 (multiple-value-list (time (values (* 1.5 2) 7))))"
                                 b"(time (gc))"},
     b"(3.0 7)", 0, re.compile(TIME_REPORT % (b"4", b"0", b"1", b"\\d+") +
                               b"(gc: .*\n)+" + TIME_REPORT % (b"\\d+", b"\\d+", b"\\d+", b"[1-9]\\d*"))),
    ("TRACE prints on standard output in a script",
     ["t.lisp"], b"", {"t.lisp": b"(defun f (x) (if (= x 0) 0 (f (1- x))))(trace f)(f 1)"},
     b"  0: (F 1)\n    1: (F 0)\n    1: F returned 0\n  0: F returned 0\n", 0, b""),
    ("DRIBBLE records the console", ["-q"], DRIBBLE_IN.encode(), {},
     DRIBBLE_OUT.encode(), 0, b""),
    ("--version", ["--version"], b"", {}, None, 0, b""),
    ("unknown option", ["--frobnicate", "x.lisp"], b"", {}, b"", 2,
     [b"tamarisk: ", b"--frobnicate"] + USAGE),
    ("option without its value", ["-l"], b"", {}, b"", 2, [b"-l"] + USAGE),
    ("missing file", ["nothere.lisp"], b"", {}, b"", 2, [b"nothere.lisp"]),
]


def arch_of(config):
    return "i386" if "i386" in config else "x86_64"


def clean_stderr(err):
    # AddressSanitizer notes once that it sees the evaluation stack switch.
    return b"".join(l for l in err.splitlines(True)
                    if b"fully support makecontext" not in l)


def check(config, name, p, out, status, err):
    msgs = []
    if out is not None and p.stdout != out:
        msgs.append("stdout %r, expected %r" % (p.stdout, out))
    if p.returncode != status:
        msgs.append("status %d, expected %d" % (p.returncode, status))
    got = clean_stderr(p.stderr)
    if isinstance(err, re.Pattern):
        if not err.fullmatch(got):
            msgs.append("stderr %r does not match %r" % (
                got.decode("utf-8", "replace"), err.pattern.decode("utf-8", "replace")))
    elif isinstance(err, bytes):
        if got != err:
            msgs.append("stderr %r, expected %r" % (got.decode("utf-8", "replace"),
                                                    err.decode("utf-8", "replace")))
    else:
        pos = 0
        for piece in err:
            i = got.find(piece, pos)
            if i < 0:
                msgs.append("stderr %r lacks %r" % (got.decode("utf-8", "replace"),
                                                    piece.decode("utf-8", "replace")))
                break
            pos = i + len(piece)
    if msgs:
        print("FAIL [%s] %s\n  %s" % (config, name, "\n  ".join(msgs)))
        return False
    return True


def run(binary, args, stdin, cwd, env=None):
    e = dict(os.environ if env is None else env)
    e["ASAN_OPTIONS"] = "detect_leaks=0"
    e.setdefault("TZ", "UTC")
    return subprocess.run(launch.command(binary, args, env=e), input=stdin,
                          cwd=cwd, env=e, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE,
                          timeout=TIMEOUT * launch.slowdown(binary))


def cases_for(config, binary):
    passed = failed = 0
    for name, args, stdin, files, out, status, err in CASES:
        if config.startswith("gcstress") and ("exhausted" in name or
                                              "table full" in name):
            continue    # its tables are small on purpose; filling one
                        # collects at each of thousands of steps
        if ("gcstress" in config or "asan" in config) and "too deep" in name:
            continue    # a collection at each of a million steps
        with tempfile.TemporaryDirectory() as d:
            for fname, text in files.items():
                with open(os.path.join(d, fname), "wb") as f:
                    f.write(text)
            p = run(binary, args, stdin, d)
        ok = check(config, name, p, out, status, err)
        # The outputs that are not compared whole.
        if ok and name == "-l then the console":
            ok = p.stdout.startswith(BANNER) and p.stdout.endswith(b"[1]49\n[2]")
            if not ok:
                print("FAIL [%s] %s: stdout %r" % (config, name, p.stdout))
        if ok and name == "--version":
            # The version, then whether the console can edit its lines.
            ok = re.fullmatch(re.escape(BANNER) +
                              "行編集: [^\n]* / line editing: [^\n]*\n".encode(),
                              p.stdout) is not None
            if not ok:
                print("FAIL [%s] --version: %r" % (config, p.stdout))
        if ok and name in ("--help", "-h is --help"):
            text = p.stdout
            ok = all(u in text for u in USAGE) and all(
                o in text for o in (b"--eval", b"--load", b"--quiet",
                                    b"--version", b"*ARGS*"))
            if not ok:
                print("FAIL [%s] --help lacks a language or an option" % config)
        passed, failed = passed + ok, failed + (not ok)
    return passed, failed


MSG_WRITE = "エラー: ファイルに書き込めませんでした\n".encode()
# 6000 bytes: more than the buffer of a file, so that it is written (and
# fails) while the program runs.
FILL = b'(dotimes (i 1000) (princ "abcdef" s))\n'
OPEN_FULL = b'(setq s (open "/dev/full" :direction :output))\n'


def run_to(binary, args, stdin, cwd, stdout):
    """Like run, with standard output sent to the file object given, or
    closed when it is None."""
    e = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")
    e.setdefault("TZ", "UTC")
    closed = stdout is None
    return subprocess.run(launch.command(binary, args, env=e), input=stdin,
                          cwd=cwd, env=e, stderr=subprocess.PIPE,
                          stdout=subprocess.DEVNULL if closed else stdout,
                          preexec_fn=(lambda: os.close(1)) if closed else None,
                          timeout=TIMEOUT * launch.slowdown(binary))


def lost_output(config, binary):
    """No output is lost without a word: standard output on a full device
    or closed, a file never closed on a full device, in script mode, with
    -e and at the console, end with a message on standard error and status
    1; output that fails while the program runs stops a script there."""
    passed = failed = 0
    cases = [
        # (name, arguments, stdin, files, stdout: "full" / None (closed) /
        # "file", status, stderr, file that must stay empty)
        ("script to a full standard output", ["p.lisp"], b"",
         {"p.lisp": b"(print 1)\n"}, "full", 1, MSG_WRITE, None),
        ("-e to a closed standard output", ["-e", "(print 1)"], b"", {},
         None, 1, MSG_WRITE, None),
        ("console to a full standard output", ["-q"], b"(print 1)\n", {},
         "full", 1, MSG_WRITE, None),
        # Each echo that fails is said when it fails, and opens the debug
        # loop as a failing PRINT does.
        ("console's echoes fail one by one", ["-q"], b"(+ 1 2)\n(+ 3 4)\n",
         {}, "full", 1, MSG_WRITE * 2, None),
        # The descriptor of a closed standard output is not handed to the
        # next file opened: what was printed does not land in it.
        ("closed standard output is no file's",
         ["-e", '(setq s (open "o.txt" :direction :output))',
          "-e", "(print 1)", "-e", "(close s)"], b"", {}, None, 1,
         MSG_WRITE, "o.txt"),
        ("a file never closed, on a full device", ["p.lisp"], b"",
         {"p.lisp": OPEN_FULL + b'(princ "x" s)\n'}, "file", 1, MSG_WRITE,
         None),
        ("output failing in a script stops it", ["p.lisp"], b"",
         {"p.lisp": OPEN_FULL + FILL + b"(princ 'never)\n"}, "file", 1,
         [MSG_WRITE, b"p.lisp:2: ", MSG_WRITE], None),
        ("BYE flushes a file never closed", ["-q"],
         OPEN_FULL + b'(princ "x" s)\n(bye)\n', {}, "file", 1, MSG_WRITE,
         None),
    ]
    for name, args, stdin, files, out, status, err, empty in cases:
        with tempfile.TemporaryDirectory() as d:
            for fname, text in files.items():
                with open(os.path.join(d, fname), "wb") as f:
                    f.write(text)
            if out == "full":
                with open("/dev/full", "wb") as full:
                    p = run_to(binary, args, stdin, d, full)
            elif out == "file":
                with open(os.path.join(d, "stdout"), "wb") as f:
                    p = run_to(binary, args, stdin, d, f)
            else:
                p = run_to(binary, args, stdin, d, None)
            p.stdout = None
            ok = check(config, name, p, None, status, err)
            if ok and empty:
                with open(os.path.join(d, empty), "rb") as f:
                    data = f.read()
                if data:
                    print("FAIL [%s] %s: %s holds %r" % (config, name, empty, data))
                    ok = False
        passed, failed = passed + ok, failed + (not ok)
    p, f = small_device(config, binary)
    return passed + p, failed + f


def small_device(config, binary):
    """A disk that fills: a 64 KiB tmpfs, where this runs as root and may
    mount one. The file a program never closes and the console's own
    standard output both lose their end, and say so."""
    if os.geteuid() != 0:
        print("shell: SKIPPED the full tmpfs (not root); /dev/full stands "
              "for it")
        return 0, 0
    mnt = tempfile.mkdtemp(prefix="tamarisk-tmpfs-")
    r = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", mnt],
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if r.returncode != 0:
        os.rmdir(mnt)
        print("shell: SKIPPED the full tmpfs (mount is not permitted here: "
              "%s); /dev/full stands for it" % r.stdout.decode(errors="replace").strip())
        return 0, 0
    passed = failed = 0
    try:
        big = b'(dotimes (i 400) (princ "%s" s))\n' % (b"abcdefgh" * 50)
        prog = (b'(setq s (open "%s/log.txt" :direction :output))\n' %
                mnt.encode() + big)
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(d, "p.lisp"), "wb") as f:
                f.write(prog)
            p = run(binary, ["p.lisp"], b"", d)
        ok = check(config, "script's file on a full tmpfs", p, b"", 1,
                   [MSG_WRITE, b"p.lisp:2: "])
        passed, failed = passed + ok, failed + (not ok)
        os.remove(os.path.join(mnt, "log.txt"))
        # The console's standard output on the full disk: 100 KB of values,
        # in few elements, since the collector-stress build collects at
        # every step of MAKE-LIST's loop.
        with open(os.path.join(mnt, "out.txt"), "wb") as f:
            p = run_to(binary, ["-q"], b'(make-list 200 :initial-element "%s")\n'
                       b"(bye)\n" % (b"abcdefghij" * 50), mnt, f)
        p.stdout = None
        ok = check(config, "console's output on a full tmpfs", p, None, 1,
                   MSG_WRITE)
        passed, failed = passed + ok, failed + (not ok)
    finally:
        subprocess.run(["umount", mnt])
        os.rmdir(mnt)
    return passed, failed


def long_texts(config, binary):
    """Input is never split or altered: a 1 MB list typed at the console,
    or read from a data file, is one expression; a 1 MB atom typed is one
    atom (one message); a NUL byte in a program's string is kept, and one
    outside a string is refused with a message."""
    big_list = b"(" + b"12 " * 350000 + b")"
    cases = [
        ("a 1 MB list typed", ["-q"],
         b"(length '" + big_list + b")\n(+ 1 2)\n", {}, b"[1]350000\n[2]3\n[3]", 0, b""),
        ("a 1 MB atom typed is one atom", ["-q"],
         b"1" * 1000000 + b"\nabort\n(+ 1 2)\n", {},
         "[1]エラー: 整数値がオーバーフローしました\nデバッグモードに入りました。\n"
         "ABORTと入力すれば抜けられます。\n*[1][2]3\n[3]".encode(), 0, b""),
        ("READ of a 1 MB data file", ["p.lisp"], b"",
         {"p.lisp": b'(with-open-file (s "data.txt") (prin1 (length (read s))))',
          "data.txt": big_list + b"\n"}, b"350000", 0, b""),
        ("a NUL byte in a program's string", ["p.lisp"], b"",
         {"p.lisp": b'(prin1 (length "a\0b"))\n(prin1 (char-code (char "a\0b" 1)))'},
         b"30", 0, b""),
        ("a NUL byte outside a string", ["p.lisp"], b"",
         {"p.lisp": b"(princ 1)\n(print (+ 1\0002))\n(princ 3)\n"}, b"1", 1,
         "エラー: NUL文字は文字列の中にしか書けません\np.lisp:2: ここで止まりました: "
         "(print (+ 1\n".encode()),
    ]
    passed = failed = 0
    for name, args, stdin, files, out, status, err in cases:
        with tempfile.TemporaryDirectory() as d:
            for fname, text in files.items():
                with open(os.path.join(d, fname), "wb") as f:
                    f.write(text)
            p = run(binary, args, stdin, d)
        ok = check(config, name, p, out, status, err)
        passed, failed = passed + ok, failed + (not ok)
    return passed, failed


def areas_keep_session(config, binary):
    """An area filled during macro expansion, reading or printing gives its
    message and the debug loop, and the session goes on after ABORT: a
    macro whose expansion doubles at each step, a 1 MB symbol name, and a
    string made by FORMAT larger than the free cells."""
    full = "デバッグモードに入りました。\nABORTと入力すれば抜けられます。\n"
    cases = [
        ("macro expansion fills the cells",
         b"(defmacro m2 (x) (list 'm2 (list 'quote (list x x))))\n(m2 1)\n",
         "エラー: セル領域が一杯です。\n" + full),
        ("reading fills the names",
         b"(length (symbol-name '" + b"b" * 1000000 + b"))\n",
         "[1]エラー: ストリング領域が一杯です。\n" + full),
        ("printing to a string fills the cells",
         b"(progn (setq l (make-list 12000000 :initial-element 1)) nil)\n"
         b'(length (format nil "~a" l))\n',
         "エラー: セル領域が一杯です。\n" + full),
    ]
    # Under a memory limit of 512 MB, so that the areas fill at sizes the
    # machine can hold: the 12,000,000-element list fits in the cell area
    # of either build and its printed string does not.
    env = dict(os.environ, TAMARISK_HEAP="512M")
    passed = failed = 0
    for name, text, want in cases:
        with tempfile.TemporaryDirectory() as d:
            p = run(binary, ["-q"], text + b"abort\n(setq l nil)\n(+ 1 2)\n", d,
                    env)
        out = p.stdout.decode("utf-8", "replace")
        ok = (p.returncode == 0 and want in out and
              re.search(r"\[\d+\]3\n\[\d+\]$", out) is not None
              and not clean_stderr(p.stderr))
        if not ok:
            print("FAIL [%s] %s: status %d, stdout ...%r" % (
                config, name, p.returncode, out[-300:]))
        passed, failed = passed + ok, failed + (not ok)
    return passed, failed


def deep_printing(config, binary):
    """A list nested 9,000,000 deep is written whole, to a file and to
    standard output, on both builds: the printer's depth is bounded by
    memory only."""
    n = 9000000
    prog = (b"(setq d 9)\n(dotimes (i %d) (setq d (list d)))\n"
            b'(with-open-file (s "deep.txt" :direction :output) (prin1 d s))\n'
            b"(prin1 d)\n" % n)
    want = b"(" * n + b"9" + b")" * n
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, "p.lisp"), "wb") as f:
            f.write(prog)
        p = run(binary, ["p.lisp"], b"", d)
        with open(os.path.join(d, "deep.txt"), "rb") as f:
            kept = f.read()
    ok = p.returncode == 0 and p.stdout == want and kept == want
    if not ok:
        print("FAIL [%s] deep printing: status %d, stdout %d bytes, file %d "
              "bytes, %d wanted" % (config, p.returncode, len(p.stdout),
                                    len(kept), len(want)))
    return ok, not ok


def terminated(config, binary):
    """SIGTERM and SIGHUP end the session with 128 + the signal's number,
    and what was written before is kept: standard output and an open file
    of a script busy evaluating, and an open file of a console waiting for
    its next line."""
    import signal
    import time
    passed = failed = 0
    busy = (b'(setq s (open "out.txt" :direction :output))\n'
            b"(print 'in-file s)\n(print 'on-screen)\n"
            b'(with-open-file (r "ready" :direction :output) (princ 1 r))\n'
            b"(loop)\n")
    waiting = (b'(setq s (open "out.txt" :direction :output))\n'
               b"(print 'in-file s)\n"
               b'(with-open-file (r "ready" :direction :output) (princ 1 r))\n')
    for sig, name in ((signal.SIGTERM, "SIGTERM"), (signal.SIGHUP, "SIGHUP")):
        for what, args, stdin, out in (
                ("a busy script", ["p.lisp"], b"", b"\nON-SCREEN "),
                ("a waiting console", ["-q"], waiting, None)):
            with tempfile.TemporaryDirectory() as d:
                with open(os.path.join(d, "p.lisp"), "wb") as f:
                    f.write(busy)
                e = dict(os.environ, TZ="UTC", ASAN_OPTIONS="detect_leaks=0")
                p = subprocess.Popen(launch.command(binary, args, env=e),
                                     cwd=d, env=e, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
                # Standard input stays open: the console waits on it.
                p.stdin.write(stdin)
                p.stdin.flush()
                end = time.time() + 60 * launch.slowdown(binary)
                while not os.path.exists(os.path.join(d, "ready")) and \
                        time.time() < end and p.poll() is None:
                    time.sleep(0.05)
                time.sleep(0.2)
                p.send_signal(sig)
                try:
                    got, err = p.communicate(timeout=60 * launch.slowdown(binary))
                except subprocess.TimeoutExpired:
                    p.kill()
                    got, err = p.communicate()
                with open(os.path.join(d, "out.txt"), "rb") as f:
                    kept = f.read()
                label = "%s ends %s" % (name, what)
                ok = (p.returncode == 128 + sig and kept == b"\nIN-FILE " and
                      (out is None or got == out) and not clean_stderr(err))
                if not ok:
                    print("FAIL [%s] %s: status %s, stdout %r, file %r, "
                          "stderr %r" % (config, label, p.returncode, got,
                                         kept, err))
                passed, failed = passed + ok, failed + (not ok)
    return passed, failed


def examples_as_scripts(config, binary):
    """Each example run as FILE prints what it prints when loaded at the
    prompt, without the prompts, the value of LOAD and the CLOSED that
    WITH-OPEN-FILE prints at the console only."""
    passed = failed = 0
    for src in sorted(os.listdir(os.path.join(ROOT, "examples"))):
        if not src.endswith(".lisp"):
            continue
        base = os.path.join(ROOT, "examples", src[:-5])
        want = None
        for cand in (base + ".out." + arch_of(config), base + ".out"):
            if os.path.exists(cand):
                with open(cand, "rb") as f:
                    want = f.read()
                break
        if want is None or not want.startswith(b"[1]") or not want.endswith(b"T\n[2]"):
            print("FAIL [%s] examples/%s: no transcript of the form [1]...T\\n[2]"
                  % (config, src))
            failed += 1
            continue
        before = set(os.listdir(ROOT))
        p = run(binary, ["examples/" + src], b"", ROOT)
        for extra in set(os.listdir(ROOT)) - before:
            os.remove(os.path.join(ROOT, extra))
        want = want[3:-5].replace(b"\nCLOSED \n", b"\n")
        if check(config, "examples/" + src, p, want, 0, b""):
            passed += 1
        else:
            failed += 1
    return passed, failed


def executable_script(binary):
    """A user's script: #!/usr/bin/env tamarisk, made executable, started
    by its own name with tamarisk found on PATH."""
    with tempfile.TemporaryDirectory() as d:
        bindir = os.path.join(d, "bin")
        os.mkdir(bindir)
        os.symlink(binary, os.path.join(bindir, "tamarisk"))
        path = os.path.join(d, "greet")
        with open(path, "wb") as f:
            f.write(b"#!/usr/bin/env tamarisk\n"
                    b"(princ \"hello, \")\n(princ (car *args*))\n(terpri)\n")
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        env = dict(os.environ)
        env["PATH"] = bindir + os.pathsep + env.get("PATH", "")
        p = run(path, ["world"], b"", d, env)
    return check("x86_64", "executable script", p, b"hello, world\n", 0, b"")


def install():
    """make install DESTDIR=... puts the program, the manual page, both
    guides and the examples in place; make uninstall removes them all."""
    ok = True
    with tempfile.TemporaryDirectory() as d:
        args = ["make", "-s", "-C", ROOT, "DESTDIR=" + d, "PREFIX=/opt/tk"]
        p = subprocess.run(args + ["install"], stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT)
        top = os.path.join(d, "opt", "tk")
        files = set()
        for dirpath, _, names in os.walk(d):
            for n in names:
                files.add(os.path.relpath(os.path.join(dirpath, n), top))
        examples = {"share/doc/tamarisk/examples/" + n
                    for n in os.listdir(os.path.join(ROOT, "examples"))
                    if not n.endswith(".out") and ".out." not in n}
        want = {"bin/tamarisk", "share/man/man1/tamarisk.1",
                "share/doc/tamarisk/guide.en.md",
                "share/doc/tamarisk/guide.ja.md"} | examples
        if p.returncode != 0 or files != want:
            print("FAIL make install: status %d, missing %s, extra %s\n%s" % (
                p.returncode, sorted(want - files), sorted(files - want),
                p.stdout.decode("utf-8", "replace")))
            ok = False
        prog = os.path.join(top, "bin", "tamarisk")
        if ok and not os.access(prog, os.X_OK):
            print("FAIL make install: the program is not executable")
            ok = False
        if ok:
            r = run(prog, ["share/doc/tamarisk/examples/hanoi.lisp"], b"", top)
            if r.returncode != 0 or not r.stdout.startswith(b"Three disks"):
                print("FAIL installed hanoi: status %d, %r" % (r.returncode,
                                                               r.stdout[:80]))
                ok = False
        if ok:
            # The word count finds its text beside it, from any folder.
            r = run(prog, [os.path.join(top, "share/doc/tamarisk/examples/wordcount.lisp")],
                    b"", d)
            if r.returncode != 0 or not r.stdout.startswith(b"different words: 46"):
                print("FAIL installed wordcount: status %d, %r" % (
                    r.returncode, r.stdout[:80] + r.stderr[:200]))
                ok = False
        p = subprocess.run(args + ["uninstall"], stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT)
        left = [os.path.join(dp, n) for dp, _, ns in os.walk(d) for n in ns]
        # Nothing is left of what install made but the prefix itself.
        folders = [dp for dp, ds, ns in os.walk(d) if not ds and not ns
                   and dp != top]
        if p.returncode != 0 or left or folders:
            print("FAIL make uninstall: status %d, left %s" % (
                p.returncode, left + folders))
            ok = False
    return ok


def main(argv):
    configs, do_install = [], True
    i = 0
    while i < len(argv):
        if argv[i] == "--config":
            configs.append(argv[i + 1])
            i += 2
            continue
        if argv[i] == "--no-install":
            do_install = False
        i += 1
    if not configs:
        configs = [c for c in CONFIGS
                   if os.path.exists(os.path.join(ROOT, "build", c, "tamarisk"))]
    passed = failed = 0
    for config in configs:
        binary = os.path.join(ROOT, "build", config, "tamarisk")
        p, f = cases_for(config, binary)
        passed, failed = passed + p, failed + f
        p, f = lost_output(config, binary)
        passed, failed = passed + p, failed + f
        p, f = terminated(config, binary)
        passed, failed = passed + p, failed + f
        # Their areas are small on purpose in the checking builds, and a
        # structure nested 9,000,000 deep takes them longer than a case may.
        if "gcstress" not in config and "asan" not in config:
            p, f = long_texts(config, binary)
            passed, failed = passed + p, failed + f
            p, f = deep_printing(config, binary)
            passed, failed = passed + p, failed + f
            p, f = areas_keep_session(config, binary)
            passed, failed = passed + p, failed + f
        # The examples take minutes under the checking builds.
        if "gcstress" not in config and "asan" not in config:
            p, f = examples_as_scripts(config, binary)
            passed, failed = passed + p, failed + f
    x86 = os.path.join(ROOT, "build", "x86_64", "tamarisk")
    if os.path.exists(x86):
        ok = executable_script(x86)
        passed, failed = passed + ok, failed + (not ok)
        if do_install:
            ok = install()
            passed, failed = passed + ok, failed + (not ok)
    print("configurations: " + " ".join(configs))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
