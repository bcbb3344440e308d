#!/usr/bin/env python3
"""Randomised differential test of exact arithmetic.

Builds random expressions over integers and fractions with + - * / 1+ 1-,
computes each expected value with fractions.Fraction, skips expressions
whose intermediate results leave the signed range of the build's long (or
that divide by zero), and compares the interpreter's printed results.

A second set is built around the ends of the range: operands at and next
to the largest and smallest long, half-words and fractions of them, under
+ - * / (one argument too), 1+ 1-, ABS, the rounding divisions FLOOR,
CEILING, TRUNCATE and ROUND with a divisor (both values), MOD, REM and the
comparisons. Each answer is the exact value, or the overflow message
exactly when a step's exact value (an operation's result, either value of
a rounding division) has a reduced numerator or denominator outside long.

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


OVERFLOW = "エラー: 整数値がオーバーフローしました"


def round_even(q):
    f = q.numerator // q.denominator
    rest = q - f
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and f % 2):
        f += 1
    return f


ROUNDINGS = {
    "floor": lambda q: q.numerator // q.denominator,
    "ceiling": lambda q: -((-q.numerator) // q.denominator),
    "truncate": lambda q: (q.numerator // q.denominator if q >= 0
                           else -((-q.numerator) // q.denominator)),
    "round": round_even,
}


class Overflow(Exception):
    pass


class Edge:
    """Expressions whose operands sit at the ends of the range."""

    def __init__(self, rng, bits):
        self.rng, self.bits = rng, bits
        top = (1 << (bits - 1)) - 1
        half = 1 << (bits // 2)
        ints = [top, top - 1, -top, -top - 1, -top + 1, top // 2,
                (top + 1) // 2, -(top + 1) // 2, half, half - 1, -half,
                half + 1, 1, -1, 2, -2, 3, 0]
        self.ints = ints
        dens = [top, top - 1, top // 2, half, half + 1, 2, 3]
        self.fracs = [Fraction(n, d) for n in (1, -1, 2, top, -top - 1,
                                               half, top - 1)
                      for d in dens if fits(Fraction(n, d), bits)]

    def check(self, v):
        if not fits(v, self.bits):
            raise Overflow
        return v

    def atom(self):
        r = self.rng
        return r.choice(self.ints) if r.random() < 0.6 else r.choice(
            self.fracs)

    def operand(self, depth):
        """(text, value thunk): the value is computed when asked for, so
        that a step outside the range raises Overflow in evaluation order."""
        if depth == 0 or self.rng.random() < 0.6:
            v = Fraction(self.atom())
            return literal(v), lambda: v
        return self.arith(depth - 1)

    def arith(self, depth):
        r = self.rng
        op = r.choice(["+", "-", "*", "/", "1+", "1-", "abs", "-", "/"])
        if op in ("1+", "1-", "abs"):
            t, f = self.operand(depth)

            def one():
                v = f()
                return self.check(v + 1 if op == "1+" else
                                  v - 1 if op == "1-" else abs(v))
            return "(%s %s)" % (op, t), one
        args = [self.operand(depth) for _ in range(r.randint(1, 3))]
        text = "(%s %s)" % (op, " ".join(a[0] for a in args))

        def many():
            vals = [args[0][1]()]
            if len(args) == 1:
                v = vals[0]
                if op == "/" and v == 0:
                    raise ZeroDivisionError
                return self.check({"+": v, "-": -v, "*": v,
                                   "/": 1 / v if v else v}[op])
            acc = vals[0]
            for _, f in args[1:]:
                v = f()
                if op == "+":
                    acc = acc + v
                elif op == "-":
                    acc = acc - v
                elif op == "*":
                    acc = acc * v
                else:
                    acc = acc / v
                self.check(acc)
            return acc
        return text, many

    def case(self):
        """(text, expected printed answer), or None to skip."""
        r = self.rng
        kind = r.random()
        if kind < 0.5:
            text, f = self.arith(2)
            show = literal
        elif kind < 0.85:
            name = r.choice(list(ROUNDINGS) + ["mod", "rem"])
            (ta, fa), (tb, fb) = self.operand(1), self.operand(1)
            if name in ("mod", "rem"):
                text = "(%s %s %s)" % (name, ta, tb)
            else:
                text = "(multiple-value-list (%s %s %s))" % (name, ta, tb)

            def f():
                a, b = fa(), fb()
                if b == 0:
                    raise ZeroDivisionError
                q = ROUNDINGS["floor" if name == "mod" else "truncate"
                              if name == "rem" else name](a / b)
                rest = a - q * b
                self.check(rest)
                if name in ("mod", "rem"):
                    return literal(rest)
                self.check(Fraction(q))
                return "(%d %s)" % (q, literal(rest))
            show = str
        else:
            name = r.choice(["<", ">", "<=", ">=", "=", "/="])
            ops = [Fraction(self.atom()) for _ in range(r.randint(1, 3))]
            text = "(%s %s)" % (name, " ".join(literal(v) for v in ops))

            def f():
                pairs = list(zip(ops, ops[1:]))
                if name == "/=":
                    ok = all(x != y for i, x in enumerate(ops)
                             for y in ops[i + 1:])
                else:
                    test = {"<": lambda x, y: x < y, ">": lambda x, y: x > y,
                            "<=": lambda x, y: x <= y,
                            ">=": lambda x, y: x >= y,
                            "=": lambda x, y: x == y}[name]
                    ok = all(test(x, y) for x, y in pairs)
                return "T" if ok else "NIL"
            show = str
        try:
            return text, show(f())
        except ZeroDivisionError:
            return None
        except Overflow:
            return text, OVERFLOW


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
    edge = Edge(random.Random(seed + 1), bits)
    while len(cases) < 2 * count:
        c = edge.case()
        if c:
            cases.append(c)
    # After the overflow message the debug loop is left with ABORT, whose
    # prompt gives one empty answer more.
    stdin = "".join(t + ("\nabort\n" if w == OVERFLOW else "\n")
                    for t, w in cases).encode()
    p = subprocess.run(launch.command(binary), input=stdin,
                       stdout=subprocess.PIPE,
                       timeout=600 * launch.slowdown(binary))
    out = p.stdout.decode("utf-8", "replace")
    chunks = re.split(r"\[\d+\]", out)[1:]
    results = []
    for text, want in cases:
        if not chunks:
            break
        got = chunks.pop(0)
        if got.startswith(OVERFLOW):
            # The message, the debug loop's two lines and its prompt's star.
            got = OVERFLOW if "デバッグモード" in got else got
            if chunks:
                chunks.pop(0)
        results.append(got)
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
