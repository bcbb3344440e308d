#!/usr/bin/env python3
"""The user guides against the interpreter, in two checks.

Entries: every entry of docs/guide.ja.md and docs/guide.en.md starts with a
heading line "### NAME" (or "### NAME1, NAME2" for names sharing an entry).
The names must be exactly the built-in operators plus the functions and
macros the prelude defines, in both guides, each name headed once, each
entry with a call shape (a line beginning with "`(") and a console
example; the two guides list the same names in the same order. The
defined names come from build/x86_64/vocabulary, which asks the
interpreter itself.

Examples: a console example is a fenced block whose first line starts with
the prompt "[1]". The lines typed after each prompt are fed to a fresh
session (cwd an empty scratch folder, TZ=UTC); the screen is rebuilt by
putting each typed line back after the prompt it answered, and must equal
the block byte for byte.

Usage: tests/guide.py [--config x86_64] [entries] [examples]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

import launch

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GUIDES = ["docs/guide.ja.md", "docs/guide.en.md"]
PROMPT = re.compile(r"\**\[\d+\]")
# The sizes of the defined vocabulary, so that a vocabulary that lost its
# way (an empty symbol table, a prelude read wrongly) cannot pass: the
# names table has 122 entries, 20 of them markers or repeated NIL and T,
# so 102 operators; the prelude defines 107 functions and 14 macros.
OPERATORS, PRELUDE = 102, 121


def read_lines(guide):
    with open(os.path.join(ROOT, guide), encoding="utf-8") as f:
        return f.read().split("\n")


# ---------------------------------------------------------------------------
# Entries
# ---------------------------------------------------------------------------

class Entry:
    def __init__(self, names):
        self.names = names
        self.call_shape = False
        self.example = False


def entries(lines):
    """The entries of a guide in order. A chapter or section heading ends
    the entry before it; code blocks are passed over, and one whose first
    line is a prompt is the entry's example."""
    out, cur, in_code, code_start = [], None, False, False
    for line in lines:
        if line.startswith("```"):
            in_code = not in_code
            code_start = in_code
            continue
        if in_code:
            if code_start and cur and line.startswith("[1]"):
                cur.example = True
            code_start = False
            continue
        if line.startswith("# ") or line.startswith("## "):
            cur = None
            continue
        if line.startswith("### "):
            cur = Entry([n.rstrip(" ") for n in line[4:].split(", ")])
            out.append(cur)
            continue
        if cur and line.startswith("`("):
            cur.call_shape = True
    return out


def vocabulary():
    """(operators, prelude definitions) as the interpreter reports them; the
    same on both architectures, and built with the x86-64 unit tests."""
    tool = os.path.join(ROOT, "build", "x86_64", "vocabulary")
    p = subprocess.run(launch.command(tool), stdout=subprocess.PIPE,
                       check=True)
    ops, prelude, library = set(), set(), set()
    for line in p.stdout.decode("utf-8").splitlines():
        kind, name = line.split(" ", 1)
        {"operator": ops, "prelude": prelude, "library": library}[kind].add(
            name)
    return ops, prelude, library


def check_entries():
    """Prints each fault; returns how many."""
    faults = []
    ops, prelude, library = vocabulary()
    # Primitives with a "$" in their names are private to the library and
    # have no entries.
    ops = {n for n in ops if "$" not in n}
    if (len(ops), len(prelude)) != (OPERATORS, PRELUDE):
        faults.append("the interpreter reports %d operators and %d prelude "
                      "definitions, expected %d and %d" % (
                          len(ops), len(prelude), OPERATORS, PRELUDE))
    defined = ops | prelude | library
    names_of = {}
    for guide in GUIDES:
        found = entries(read_lines(guide))
        names = [n for e in found for n in e.names]
        names_of[guide] = names
        headed = set(names)
        twice = sorted({n for n in names if names.count(n) > 1})
        if defined - headed:
            faults.append("%s lacks an entry for: %s" % (
                guide, " ".join(sorted(defined - headed))))
        if headed - defined:
            faults.append("%s has entries for names the interpreter does "
                          "not define: %s" % (guide, " ".join(
                              sorted(headed - defined))))
        if twice:
            faults.append("%s heads these names more than once: %s" % (
                guide, " ".join(twice)))
        for e in found:
            label = e.names[0] if e.names else "?"
            if not e.call_shape:
                faults.append("%s: entry %s shows no call shape" % (guide,
                                                                    label))
            if not e.example:
                faults.append("%s: entry %s has no console example" % (
                    guide, label))
    a, b = (names_of[g] for g in GUIDES)
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            faults.append("entry %d differs between the guides: %s and %s"
                          % (i, x, y))
            break
    if len(a) != len(b):
        faults.append("the guides head %d and %d names" % (len(a), len(b)))
    for f in faults:
        print("FAIL " + f)
    print("guide entries: %d names in each guide, %d faults" % (
        len(a), len(faults)))
    return len(faults)


# ---------------------------------------------------------------------------
# Console examples
# ---------------------------------------------------------------------------

def blocks(lines):
    out, i = [], 0
    while i < len(lines):
        if lines[i].startswith("```"):
            j, body = i + 1, []
            while j < len(lines) and not lines[j].startswith("```"):
                body.append(lines[j])
                j += 1
            if body and body[0].startswith("[1]"):
                out.append((i + 2, body))
            i = j + 1
        else:
            i += 1
    return out


def screen(binary, block):
    inputs = []
    for line in block:
        m = PROMPT.match(line)
        if m and line[m.end():]:
            inputs.append(line[m.end():])
    scratch = tempfile.mkdtemp(prefix="tamarisk-guide-")
    try:
        p = subprocess.run(launch.command(binary),
                           input=("\n".join(inputs) + "\n").encode(),
                           stdout=subprocess.PIPE, cwd=scratch,
                           timeout=60 * launch.slowdown(binary),
                           env={"TZ": "UTC", "PATH": "/usr/bin:/bin"})
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    out = p.stdout.decode("utf-8", "replace").split("\n", 2)[2]
    res, pos = "", 0
    for typed in inputs:
        m = PROMPT.search(out, pos)
        if not m:
            break
        res += out[pos:m.end()] + typed + "\n"
        pos = m.end()
    rest = out[pos:]
    m = PROMPT.search(rest)
    if m and m.end() == len(rest):
        rest = rest[:m.start()]
    return res + rest


def check_examples(config):
    binary = os.path.join(ROOT, "build", config, "tamarisk")
    total = bad = 0
    for guide in GUIDES:
        for line, block in blocks(read_lines(guide)):
            total += 1
            want = "\n".join(block) + "\n"
            got = screen(binary, block)
            if got != want:
                bad += 1
                print(f"FAIL {guide}:{line}\n--- want\n{want}--- got\n{got}")
    print(f"guide examples: {total} run, {bad} differ")
    return 1 if bad or total == 0 else 0


def main(argv):
    config = "x86_64"
    if argv[:1] == ["--config"]:
        config, argv = argv[1], argv[2:]
    parts = argv or ["entries", "examples"]
    failed = 0
    if "entries" in parts:
        failed += check_entries()
    if "examples" in parts:
        failed += check_examples(config)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
