#!/usr/bin/env python3
"""Makes the table of reference texts DOCUMENTATION answers from the
entries of the two guides, so that the text shown at the prompt and the
guide's entry are one text and cannot drift apart.

An entry is a heading line "### NAME" (or "### NAME1, NAME2" for names that
share it) outside code blocks; its text is the line after the heading (the
call shape and the description), without the backquotes that mark code.

Usage: gendoc.py guide.ja.md guide.en.md output.cpp
"""
import sys


def entries(path):
    """{name: text} of a guide, and the names in the order of the guide."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    texts, order, in_code = {}, [], False
    for i, line in enumerate(lines):
        if line.startswith("```"):
            in_code = not in_code
            continue
        if in_code or not line.startswith("### "):
            continue
        text = lines[i + 1].replace("`", "") if i + 1 < len(lines) else ""
        for name in line[4:].split(", "):
            name = name.strip()
            if name and name not in texts:
                texts[name] = text
                order.append(name)
    return texts, order


def literal(text):
    if text is None:
        return "nullptr"
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    ja, order = entries(argv[1])
    en, _ = entries(argv[2])
    out = ["// Made by library/gendoc.py from the guides' entries: do not edit.",
           '#include "library/lisptext.h"',
           "",
           "const DocText kDocTexts[] = {"]
    for name in order:
        out.append("    {%s, %s, %s}," % (literal(name), literal(ja[name]),
                                          literal(en.get(name))))
    out += ["    {nullptr, nullptr, nullptr},", "};", ""]
    text = "\n".join(out)
    # Written only when it changes, so that nothing is compiled again for
    # an edit of the guides outside their entries.
    try:
        with open(argv[3], encoding="utf-8") as f:
            if f.read() == text:
                return 0
    except OSError:
        pass
    with open(argv[3], "w", encoding="utf-8") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
