#!/usr/bin/env python3
"""Randomised differential test of exact arithmetic.

Builds random expressions over integers and fractions with + - * / 1+ 1-,
computes each expected value with fractions.Fraction, skips expressions
whose intermediate results leave the signed range of the build's long (or
that divide by zero), and compares the interpreter's printed results.

Usage: tests/differential.py BINARY BITS [COUNT] [SEED]
"""
import random
import re
import subprocess
import sys
from fractions import Fraction

import launch


def fits(v, bits):
    lo, hi = -(1 << (bits - 1)), (1 << (bits - 1)) - 1
    return lo <= v.numerator <= hi and lo <= v.denominator <= hi


def literal(v):
    return str(v.numerator) if v.denominator == 1 else "%d/%d" % (
        v.numerator, v.denominator)


class Gen:
    def __init__(self, rng, bits):
        self.rng, self.bits = rng, bits

    def atom(self):
        r = self.rng
        scale = r.choice([10, 1000, 1 << (self.bits // 2), 1 << (self.bits - 2)])
        n = r.randint(-scale, scale)
        if r.random() < 0.5:
            return Fraction(n)
        d = r.randint(1, r.choice([10, 1000, 1 << (self.bits // 2)]))
        return Fraction(n, d)

    def expr(self, depth):
        """Returns (text, value); value None means: skip this expression."""
        r = self.rng
        if depth == 0 or r.random() < 0.3:
            v = self.atom()
            return literal(v), v
        op = r.choice(["+", "-", "*", "/", "+", "*", "1+", "1-"])
        if op in ("1+", "1-"):
            t, v = self.expr(depth - 1)
            if v is None:
                return t, None
            v = v + 1 if op == "1+" else v - 1
            return "(%s %s)" % (op, t), (v if fits(v, self.bits) else None)
        args = [self.expr(depth - 1) for _ in range(r.randint(2, 3))]
        text = "(%s %s)" % (op, " ".join(a[0] for a in args))
        if any(a[1] is None for a in args):
            return text, None
        acc = args[0][1]
        for _, v in args[1:]:
            if op == "+":
                acc = acc + v
            elif op == "-":
                acc = acc - v
            elif op == "*":
                acc = acc * v
            else:
                if v == 0:
                    return text, None
                acc = acc / v
            if not fits(acc, self.bits):
                return text, None
        return text, acc


def main(argv):
    binary, bits = argv[1], int(argv[2])
    count = int(argv[3]) if len(argv) > 3 else 3000
    seed = int(argv[4]) if len(argv) > 4 else 20261208
    gen = Gen(random.Random(seed), bits)
    cases = []
    while len(cases) < count:
        text, value = gen.expr(3)
        if value is not None and text.startswith("("):
            cases.append((text, literal(value)))
    stdin = "".join(t + "\n" for t, _ in cases).encode()
    p = subprocess.run(launch.command(binary), input=stdin,
                       stdout=subprocess.PIPE,
                       timeout=600 * launch.slowdown(binary))
    out = p.stdout.decode("utf-8", "replace")
    results = re.split(r"\[\d+\]", out)[1:len(cases) + 1]
    failed = 0
    for (text, want), got in zip(cases, results):
        if got.strip() != want:
            failed += 1
            if failed <= 10:
                print("differential: %s gave %r, expected %s" % (
                    text, got.strip()[:200], want))
    if len(results) < len(cases):
        print("differential: output ended after %d of %d" % (
            len(results), len(cases)))
        failed += len(cases) - len(results)
    print("differential (%d-bit long): %d expressions, %d wrong" % (
        bits, len(cases), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
