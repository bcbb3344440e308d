#!/usr/bin/env python3
"""Transcript runner: feeds every tests/<folder>/<name>.in to each built
configuration and compares stdout (banner dropped) and the exit status.

A case is <name>.in with <name>.out (exact stdout after the banner), an
optional <name>.status (exit status when not 0), and <name>.out.i386 or
<name>.out.x86_64 where the width of long shows. Leading lines of the .in
that begin with ';' are notes for the reader and are not fed; a note
'; skip: gcstress asan' skips those configurations, '; only: gcstress'
runs the case there alone, '; heavy' marks a slow case (skipped with
--quick), '; limit-as: BYTES' runs it with that much address space (not
under the i386 emulator, whose reservation of the guest's address space
the limit defeats: such a case is skipped with a line that says so),
'; heap: SIZE' runs it with TAMARISK_HEAP=SIZE (a small memory limit, so
that the case reaches the end of an area or table quickly).
Numbers on 'gc:' lines are replaced by N. Programs start through
tests/launch.py.

Usage: tests/run.py [--config NAME ...] [--quick] [pattern ...]
"""
import concurrent.futures
import glob
import os
import re
import resource
import subprocess
import sys
import time

import launch

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TESTS = os.path.join(ROOT, "tests")
# Both lines of the banner, byte for byte: output that does not begin with
# exactly these is kept whole, so a changed banner fails every case.
BANNER = ("tamariskVelmora for Linux version2.21\n"
          "日本語で話す小さなLisp処理系です。(bye)で終了します。\n").encode()
ARCH = {"x86_64": "x86_64", "i386": "i386", "gcstress": "x86_64",
        "asan": "x86_64", "tsan": "x86_64", "gcstress-i386": "i386"}
TIMEOUT = {"gcstress": 600, "asan": 300, "tsan": 300}


def kind(config):
    """The configuration a build folder stands for: its own name when it is
    one of them, else the first of them its name contains (a private
    folder such as build/me-i386 or build/me-gcstress), else x86_64."""
    if config in ARCH:
        return config
    for k in ("gcstress", "asan", "tsan", "i386"):
        if k in config:
            return k
    return "x86_64"
GC_LINE = re.compile(rb"gc: \xe3\x82\xbb\xe3\x83\xab \d+")


def build_config(folder, build_type, defines):
    """Configures and builds build/<folder> with the TK_ switches given (a
    ';'-separated list), as the scripts that need a private configuration
    do; returns the path of its program."""
    d = os.path.join(ROOT, "build", folder)
    subprocess.run(["cmake", "-S", ROOT, "-B", d,
                    "-DCMAKE_BUILD_TYPE=" + build_type, "-DTK_UNIT_TESTS=OFF",
                    "-DTK_DEFINES=" + defines],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["make", "-s", "-C", d, "-j2"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(d, "tamarisk")


def normalise(out):
    lines = out.split(b"\n")
    res = []
    for ln in lines:
        i = ln.find(b"gc: ")
        if i >= 0:
            head, tail = ln[:i], ln[i:]
            tail = re.sub(rb"\d+", b"N", tail)
            ln = head + tail
        res.append(ln)
    return b"\n".join(res)


def strip_banner(out):
    if out.startswith(BANNER):
        return out[len(BANNER):]
    return out


def load_case(path):
    with open(path, "rb") as f:
        data = f.read()
    notes, body = [], data
    while body.startswith(b";"):
        nl = body.find(b"\n")
        line = body[:nl] if nl >= 0 else body
        notes.append(line.decode("utf-8", "replace"))
        body = body[nl + 1:] if nl >= 0 else b""
    skip, only, heavy, limit = set(), set(), False, None
    for n in notes:
        m = re.match(r";+\s*skip:\s*(.*)", n)
        if m:
            skip.update(m.group(1).split())
        m = re.match(r";+\s*only:\s*(.*)", n)
        if m:
            only.update(m.group(1).split())
        if re.match(r";+\s*heavy\b", n):
            heavy = True
        m = re.match(r";+\s*limit-as:\s*(\d+)", n)
        if m:
            limit = int(m.group(1))
    return body, skip, only, heavy, limit


def expected(base, arch):
    for cand in (base + ".out." + arch, base + ".out"):
        if os.path.exists(cand):
            with open(cand, "rb") as f:
                return f.read()
    return None


SCRATCH = b"/tmp/tamarisk-run%d-" % os.getpid()


def run_case(config, binary, base, body, limit=None):
    """(passed, message, wall seconds, the case's time limit)."""
    timeout = TIMEOUT.get(kind(config), 120) * launch.slowdown(binary)
    start = time.monotonic()
    ok, msg = judge_case(config, binary, base, body, timeout, limit)
    return ok, msg, time.monotonic() - start, timeout


def judge_case(config, binary, base, body, timeout, limit):
    arch = ARCH[kind(config)]
    want = expected(base, arch)
    status = 0
    if os.path.exists(base + ".status"):
        with open(base + ".status") as f:
            status = int(f.read().strip() or 0)
    env = dict(os.environ)
    env.setdefault("TZ", "UTC")
    env["ASAN_OPTIONS"] = "detect_leaks=0"
    env.pop("TAMARISK_HEAP", None)
    with open(base + ".in", "rb") as f:
        for line in f:
            if not line.startswith(b";"):
                break
            m = re.match(rb";+\s*heap:\s*(\S+)", line)
            if m:
                env["TAMARISK_HEAP"] = m.group(1).decode()
    def restrict():
        if limit:
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    # Scratch files under /tmp get names of this run and configuration, so
    # that neither two configurations of one run nor two runs at once on one
    # machine write or remove each other's files.
    body = body.replace(b"/tmp/tamarisk-", SCRATCH + config.encode() + b"-")
    try:
        p = subprocess.run(launch.command(binary, env=env), input=body,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           cwd=os.path.dirname(base), timeout=timeout,
                           env=env, preexec_fn=restrict)
    except subprocess.TimeoutExpired:
        return False, "timeout"
    got = normalise(strip_banner(p.stdout))
    if want is None:
        return False, "no .out file"
    want = normalise(want)
    msgs = []
    if got != want:
        msgs.append("stdout differs:\n--- expected\n%s\n--- got\n%s" % (
            want.decode("utf-8", "replace"), got.decode("utf-8", "replace")))
    if p.returncode != status:
        msgs.append("status %d, expected %d" % (p.returncode, status))
    # AddressSanitizer notes once that it sees the evaluation stack switch.
    err = b"\n".join(l for l in p.stderr.split(b"\n")
                     if l.strip() and b"fully support makecontext" not in l)
    if err:
        msgs.append("stderr:\n" + err.decode("utf-8", "replace")[-3000:])
    return not msgs, "\n".join(msgs)


def main(argv):
    configs, patterns, quick = [], [], False
    i = 0
    while i < len(argv):
        if argv[i] == "--config":
            configs.append(argv[i + 1]); i += 2; continue
        if argv[i] == "--quick":
            quick = True; i += 1; continue
        patterns.append(argv[i]); i += 1
    # The ThreadSanitizer build runs only when named: it is there for the
    # collector's cases (--config tsan memory), each many times slower.
    if not configs:
        configs = [c for c in ARCH if c != "tsan" and os.path.exists(
            os.path.join(ROOT, "build", c, "tamarisk"))]
    cases = []
    for folder in sorted(os.listdir(TESTS)):
        d = os.path.join(TESTS, folder)
        if not os.path.isdir(d) or folder == "unit":
            continue
        for name in sorted(os.listdir(d)):
            if name.endswith(".in"):
                base = os.path.join(d, name[:-3])
                rel = folder + "/" + name[:-3]
                if patterns and not any(p in rel for p in patterns):
                    continue
                cases.append((rel, base))
    passed = failed = skipped = 0
    failures = []
    jobs = []
    unstartable = set()
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as ex:
        for config in configs:
            binary = os.path.join(ROOT, "build", config, "tamarisk")
            try:
                launch.command(binary)
            except launch.CannotStart as e:
                failed += 1
                failures.append("FAIL [%s] %s" % (config, e))
                unstartable.add(config)
                continue
            for rel, base in cases:
                body, skip, only, heavy, limit = load_case(base + ".in")
                k = kind(config)
                if k in skip or (only and k not in only) or (
                        heavy and quick):
                    skipped += 1
                    continue
                if limit and launch.emulated(binary):
                    skipped += 1
                    print(launch.skip_line(
                        "transcripts [%s]" % config, rel, "its address-space "
                        "limit cannot bind a program the emulator runs"))
                    continue
                jobs.append((config, rel, ex.submit(run_case, config, binary,
                                                    base, body, limit)))
        times = {}
        for config, rel, fut in jobs:
            ok, msg, seconds, limit_s = fut.result()
            times.setdefault(config, []).append((seconds, rel, limit_s))
            if ok:
                passed += 1
            else:
                failed += 1
                failures.append("FAIL [%s] %s\n%s" % (config, rel, msg))
    # Scratch files that this run's transcripts wrote under /tmp.
    for path in glob.glob(SCRATCH.decode() + "*"):
        try:
            os.remove(path)
        except OSError:
            pass
    for f in failures:
        print(f)
    # Each configuration's slowest cases, and every case that took more
    # than half its time limit: on a loaded machine such a case is the
    # next to time out, so it should be made cheaper.
    for config, ts in times.items():
        ts.sort(reverse=True)
        print("slowest [%s]: %s" % (config, ", ".join(
            "%s %.1fs" % (rel, t) for t, rel, _ in ts[:3])))
        for t, rel, limit_s in ts:
            if t > limit_s / 2:
                print("slow [%s] %s: %.0fs of its %ds" % (config, rel, t,
                                                         limit_s))
    configs = [c for c in configs if c not in unstartable]
    unit = os.path.join(ROOT, "build", "x86_64", "unit_tests")
    if os.path.exists(unit) and not patterns:
        r = subprocess.run([unit, "--gtest_brief=1"])
        if r.returncode == 0:
            passed += 1
            print("PASS unit tests")
        else:
            failed += 1
            print("FAIL unit tests")
    # The program links the C and C++ runtimes and libm, nothing else.
    allowed = {b"libc.so.6", b"libm.so.6", b"libstdc++.so.6", b"libgcc_s.so.1"}
    for config in ("x86_64", "i386"):
        binary = os.path.join(ROOT, "build", config, "tamarisk")
        if config in configs and os.path.exists(binary) and not patterns:
            dyn = subprocess.run(["readelf", "-d", binary],
                                 stdout=subprocess.PIPE).stdout
            needed = set(re.findall(rb"Shared library: \[([^\]]+)\]", dyn))
            if needed and needed <= allowed:
                passed += 1
            else:
                failed += 1
                print("FAIL [%s] links %s" % (config, b" ".join(
                    sorted(needed - allowed)).decode() or "nothing readable"))
    # Exact arithmetic against Python's fractions, on both word sizes.
    for config, bits in (("x86_64", 64), ("i386", 32)):
        binary = os.path.join(ROOT, "build", config, "tamarisk")
        if config in configs and os.path.exists(binary) and not patterns:
            r = subprocess.run([sys.executable,
                                os.path.join(TESTS, "differential.py"),
                                binary, str(bits)])
            if r.returncode == 0:
                passed += 1
            else:
                failed += 1
                print("FAIL differential arithmetic [%s]" % config)
    print("configurations: " + " ".join(configs))
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
