#!/usr/bin/env python3
"""Replays every console example of the user guides and compares the screen.

An example is a fenced block whose first line starts with the prompt "[1]".
The lines typed after each prompt are fed to a fresh session (cwd an empty
scratch folder, TZ=UTC); the screen is rebuilt by putting each typed line
back after the prompt it answered, and must equal the block byte for byte.

Usage: tests/guide_examples.py [--config x86_64]
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


def blocks(path):
    lines = open(path, encoding="utf-8").read().split("\n")
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


def main():
    config = "x86_64"
    if len(sys.argv) > 2 and sys.argv[1] == "--config":
        config = sys.argv[2]
    binary = os.path.join(ROOT, "build", config, "tamarisk")
    total = bad = 0
    for guide in GUIDES:
        for line, block in blocks(os.path.join(ROOT, guide)):
            total += 1
            want = "\n".join(block) + "\n"
            got = screen(binary, block)
            if got != want:
                bad += 1
                print(f"FAIL {guide}:{line}\n--- want\n{want}--- got\n{got}")
    print(f"guide examples: {total} run, {bad} differ")
    return 1 if bad or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
