#!/usr/bin/env python3
"""How a program of this build is started: the one place that decides.

An x86-64 program is started directly. An i386 program is started directly
where the kernel runs 32-bit programs, else through the user-mode emulator
qemu-i386 (Debian package qemu-user). TK_I386_EMULATE=1 forces the
emulator, so that the emulated path can be tried on any machine.

Every test runner and script that starts a program goes through command()
(Python) or this file's command line (shell, Makefile):

  tests/launch.py mode            prints how i386 programs start here:
                                  native, emulated, or missing (the
                                  emulator is needed and not installed)
  tests/launch.py PROGRAM ARGS    runs PROGRAM as command() would

Checks that cannot work under the emulator (a process limit on address
space, which the emulator's own reservation of the 4 GiB guest space
defeats; sanitizer and libFuzzer programs) ask emulated(PROGRAM) and skip
with skip_line(), which names what and why.
"""
import functools
import os
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = "qemu-user"
EMULATORS = ("qemu-i386", "qemu-i386-static")


def is_i386(path):
    """True when PATH is a 32-bit x86 ELF program (class 1, machine 3)."""
    try:
        with open(path, "rb") as f:
            head = f.read(20)
    except OSError:
        return False
    return (len(head) == 20 and head[:4] == b"\x7fELF" and head[4] == 1 and
            struct.unpack_from("<H", head, 18)[0] == 3)


def _probe_program():
    """The smallest i386 program: one loadable segment whose code is
    exit(0) through int 0x80. Needs no compiler and no 32-bit libraries."""
    code = bytes.fromhex("b801000000" "31db" "cd80")  # mov eax,1; xor ebx,ebx; int 0x80
    base, hsize = 0x08048000, 52 + 32
    size = hsize + len(code)
    ehdr = struct.pack("<16sHHIIIIIHHHHHH",
                       b"\x7fELF\x01\x01\x01" + b"\0" * 9,
                       2, 3, 1, base + hsize, 52, 0, 0, 52, 32, 1, 0, 0, 0)
    phdr = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
    return ehdr + phdr + code


def _binfmt_emulates():
    """True when binfmt_misc hands i386 programs to an emulator: the kernel
    then starts them, but they run emulated all the same."""
    d = "/proc/sys/fs/binfmt_misc"
    try:
        names = os.listdir(d)
    except OSError:
        return False
    for name in names:
        if "i386" not in name and "i486" not in name and "i686" not in name:
            continue
        try:
            with open(os.path.join(d, name)) as f:
                if f.readline().strip() == "enabled":
                    return True
        except OSError:
            pass
    return False


@functools.lru_cache(maxsize=None)
def kernel_runs_i386():
    """Starts the probe program once: True when it exits 0 by itself."""
    if _binfmt_emulates():
        return False
    # build/ first: /tmp may be mounted without the right to execute.
    try:
        folder = os.path.join(ROOT, "build")
        os.makedirs(folder, exist_ok=True)
        fd, path = tempfile.mkstemp(prefix=".i386-probe-", dir=folder)
    except OSError:
        fd, path = tempfile.mkstemp(prefix="tamarisk-i386-probe-")
    try:
        os.write(fd, _probe_program())
        os.close(fd)
        os.chmod(path, 0o755)
        try:
            return subprocess.run([path]).returncode == 0
        except OSError:         # ENOEXEC: no 32-bit support in the kernel
            return False
    finally:
        os.remove(path)


@functools.lru_cache(maxsize=None)
def emulator():
    """The emulator's path, or None when none is installed."""
    for name in EMULATORS:
        path = shutil.which(name)
        if path:
            return path
    return None


def forced():
    return os.environ.get("TK_I386_EMULATE", "") not in ("", "0")


@functools.lru_cache(maxsize=None)
def mode():
    """native, emulated or missing: how i386 programs start here."""
    if not forced() and kernel_runs_i386():
        return "native"
    return "emulated" if emulator() else "missing"


def emulated(program):
    """True when PROGRAM runs under the emulator."""
    return is_i386(program) and mode() != "native"


# How many times slower the interpreter runs under the emulator, at most
# (measured: 3 to 8 times). Time limits and bounds on measured seconds are
# stretched by this factor for an emulated program.
EMULATED_SLOWDOWN = 10


def slowdown(program):
    return EMULATED_SLOWDOWN if emulated(program) else 1


class CannotStart(Exception):
    pass


def missing_line(program):
    return ("%s is an i386 program and this kernel does not run those: "
            "install %s (qemu-i386)" % (os.path.relpath(program, ROOT),
                                        PACKAGE))


def command(program, args=(), env=None):
    """The argument list that starts PROGRAM with ARGS. When the emulator
    is used and ENV (a dict, changed in place) preloads a library, the
    library is handed to the guest and not to the emulator itself, which
    is a 64-bit program. Raises CannotStart when the emulator is needed
    and missing."""
    program = os.path.abspath(program)
    if not is_i386(program) or mode() == "native":
        return [program] + list(args)
    if mode() == "missing":
        raise CannotStart(missing_line(program))
    prefix = [emulator()]
    if env is not None and env.get("LD_PRELOAD"):
        prefix += ["-E", "LD_PRELOAD=" + env.pop("LD_PRELOAD")]
    return prefix + [program] + list(args)


def skip_line(who, what, why):
    """The one line a check prints when it skips something."""
    return "%s: SKIPPED %s: %s" % (who, what, why)


def main(argv):
    if argv[:1] == ["mode"]:
        print(mode())
        return 0
    if not argv or argv[0].startswith("-"):
        print(__doc__)
        return 2
    env = dict(os.environ)
    try:
        argv = command(argv[0], argv[1:], env)
    except CannotStart as e:
        print(e, file=sys.stderr)
        return 127
    os.execve(argv[0], argv, env)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
