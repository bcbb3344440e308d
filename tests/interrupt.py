#!/usr/bin/env python3
"""Ctrl-C in a real terminal: drives the interpreter in a tmux session and
sends C-c during evaluation, at the prompt with text half typed, in a
multi-line expression, and in blocking READ and READ-LINE; then Ctrl-D in
a debug loop and at the top level. On a terminal the console edits its
lines (libedit): editing, completion of a user's name, a line of Japanese
text, multi-line input, and history kept from one session to the next.

Usage: tests/interrupt.py [BINARY]   (default build/x86_64/tamarisk)
Exits 1 when a check failed; 0 with a note when tmux is missing.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BREAK = "中断しました。\nCONTINUEと入力すれば続行します。\nABORTと入力すれば抜けられます。\n"
SESSION = "tamarisk-interrupt-%d" % os.getpid()


def tmux(*args):
    return subprocess.run(["tmux"] + list(args), check=True,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL
                          ).stdout.decode("utf-8", "replace")


def screen():
    try:
        return tmux("capture-pane", "-p", "-J", "-S", "-2000", "-t", SESSION)
    except subprocess.CalledProcessError:
        return "(the terminal has closed: everything in it has ended)"


def wait_for(text, after, timeout=20.0):
    """Waits until `text` shows in the pane after position `after`."""
    end = time.time() + timeout
    while time.time() < end:
        s = screen()
        if text in s[after:]:
            return True
        time.sleep(0.1)
    return False


def main(argv):
    global SESSION
    binary = argv[0] if argv else os.path.join(ROOT, "build", "x86_64",
                                               "tamarisk")
    if not shutil.which("tmux"):
        print("interrupt: SKIPPED (tmux is not installed; make test installs "
              "it as root)")
        return 0
    failures = []
    checks = [0]
    history = os.path.join(tempfile.mkdtemp(), "history")
    env = "env TZ=UTC LANG=C.UTF-8 TAMARISK_HISTORY=" + history + " "
    tmux("new-session", "-d", "-s", SESSION, "-x", "200", "-y", "50",
         env + binary + "; echo STATUS=$?; sleep 30")
    try:
        def send(keys, enter=True):
            tmux("send-keys", "-t", SESSION, "-l", keys)
            if enter:
                tmux("send-keys", "-t", SESSION, "Enter")

        def ctrl_c():
            tmux("send-keys", "-t", SESSION, "C-c")

        def step(label, expect, action):
            checks[0] += 1
            mark = len(screen().rstrip())
            action()
            if not wait_for(expect, max(0, mark - 10)):
                failures.append("%s: %r not seen; screen:\n%s" % (
                    label, expect, screen()[-1500:]))

        wait_for("[1]", 0)
        # During evaluation: the break loop opens, the local state is there
        # to look at, CONTINUE resumes where it stopped, ABORT abandons.
        send("(defvar x 0)")
        send("(progn (dotimes (i 200000000) (setq x i)) 'finished)")
        time.sleep(1.0)
        step("C-c during evaluation", "中断しました。", ctrl_c)
        s = screen()
        if BREAK.replace("\n", "") not in s.replace("\n", ""):
            failures.append("break loop lines missing:\n" + s[-800:])
        step("looking at a variable in the break loop", "*[2]",
             lambda: send("(< 0 x)"))
        if "*[1](< 0 x)\nT\n" not in screen():
            failures.append("(< 0 x) in the break loop did not answer T")
        # The backtrace of the place Ctrl-C stopped: its form first.
        step("bt in the break loop", "*[2]bt\n0: (", lambda: send("bt"))
        send("continue")
        time.sleep(0.5)
        step("C-c again", "中断しました。", ctrl_c)
        step("ABORT", "[3]", lambda: send("abort"))
        step("after ABORT", "(+ 1 2)\n3\n", lambda: send("(+ 1 2)"))
        # CONTINUE to the end: the computation finishes with its value.
        send("(progn (dotimes (i 20000000) (setq x i)) 'finished)")
        time.sleep(0.3)
        step("C-c, then CONTINUE", "中断しました。", ctrl_c)
        step("finished after CONTINUE", "FINISHED", lambda: send("continue"))
        # At the prompt, text half typed is dropped.
        send("(list 1 2", enter=False)
        time.sleep(0.3)
        step("C-c at the prompt", "[5]", ctrl_c)
        step("after C-c at the prompt", "[5](+ 3 4)\n7\n",
             lambda: send("(+ 3 4)"))
        # In the middle of a multi-line expression.
        send("(list 1")
        time.sleep(0.3)
        ctrl_c()
        time.sleep(0.3)
        step("after C-c in a multi-line expression", "[6](+ 4 5)\n9\n",
             lambda: send("(+ 4 5)"))
        # A blocking READ: the break loop; ABORT returns to the prompt.
        send("(read)")
        send("(a b")
        time.sleep(0.3)
        step("C-c in READ", "中断しました。", ctrl_c)
        step("ABORT from READ", "abort\n[8]", lambda: send("abort"))
        # A blocking READ-LINE: CONTINUE reads again.
        send("(read-line)")
        time.sleep(0.3)
        step("C-c in READ-LINE", "中断しました。", ctrl_c)
        send("continue")
        step("READ-LINE after CONTINUE", '"hello"', lambda: send("hello"))
        step("the session is alive", "(+ 5 6)\n11\n",
             lambda: send("(+ 5 6)"))
        # Ctrl-D in a debug loop leaves that loop only; the definitions
        # stay, and at the top level Ctrl-D ends the session.
        send("(defun kept () 'still-here)")
        step("an error opens the debug loop", "*[1]",
             lambda: send("(car 1)"))
        step("C-d in the debug loop", "デバッグループを抜けました。",
             lambda: tmux("send-keys", "-t", SESSION, "C-d"))
        step("the definition survived C-d", "STILL-HERE",
             lambda: send("(kept)"))
        step("C-d at the top level", "STATUS=0",
             lambda: tmux("send-keys", "-t", SESSION, "C-d"))

        def keys(*names):
            tmux("send-keys", "-t", SESSION, *names)

        def new_session(suffix):
            global SESSION
            subprocess.run(["tmux", "kill-session", "-t", SESSION],
                           stderr=subprocess.DEVNULL)
            SESSION += suffix
            tmux("new-session", "-d", "-s", SESSION, "-x", "200", "-y", "50",
                 env + binary + "; echo STATUS=$?; sleep 30")
            wait_for("[1]", 0)

        if b"libedit" in subprocess.run([binary, "--version"],
                                        stdout=subprocess.PIPE).stdout:
            # The line editor: a fresh session with the same history file.
            new_session("-edit")
            send("(defun square-it (x) (* x x))")
            send("(squ", enter=False)
            step("completion of a user's function", "(square-it ",
                 lambda: keys("Tab"))
            step("the completed call", "\n36\n", lambda: send("6)"))
            send("(list 1 3)", enter=False)
            keys("Left", "Left", "BSpace")
            step("editing inside the line", "\n(123)\n", lambda: send("2"))
            send('(princ "日本")', enter=False)
            keys("Left", "Left", "BSpace")
            step("editing Japanese text", '日語"日語"', lambda: send("語"))
            send("(+ 1")
            step("an expression over two lines", "\n3\n",
                 lambda: send("2)"))
            step("(bye) after editing", "STATUS=0", lambda: send("(bye)"))
            new_session("-again")
            keys("Up", "Up", "Up", "Up")
            step("history from the last session", '日語"日語"',
                 lambda: keys("Enter"))
            step("(bye) in the second session", "STATUS=0",
                 lambda: send("(bye)"))
        else:
            print("interrupt: line editor checks SKIPPED (no libedit)")

        # Under make run (without rlwrap, which may not be installed): make
        # must neither die of the Ctrl-C nor report an error afterwards.
        subprocess.run(["tmux", "kill-session", "-t", SESSION],
                       stderr=subprocess.DEVNULL)
        SESSION += "-make"
        tmux("new-session", "-d", "-s", SESSION, "-x", "200", "-y", "50",
             "cd " + ROOT + " && env TZ=UTC LANG=C.UTF-8 TAMARISK_HISTORY=" +
             history + " make -s run; "
             "echo MAKE_STATUS=$?; sleep 30")
        wait_for("[1]", 0, timeout=120)
        send("(progn (dotimes (i 200000000) (setq x i)) 'finished)")
        time.sleep(1.0)
        step("C-c under make run", "中断しました。", ctrl_c)
        step("ABORT under make run", "abort\n[2]", lambda: send("abort"))
        step("make run after (bye)", "MAKE_STATUS=0", lambda: send("(bye)"))
        if "make: ***" in screen():
            failures.append("make run reported an error:\n" + screen()[-800:])
    finally:
        subprocess.run(["tmux", "kill-session", "-t", SESSION],
                       stderr=subprocess.DEVNULL)
    for f in failures:
        print("FAIL " + f)
    print("interrupt checks: %d run, %d failed" % (checks[0], len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
