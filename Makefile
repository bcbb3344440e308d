# Thin wrapper over CMake. Every configuration builds into build/<name>/.
#   make          the two programs: build/x86_64/tamarisk, build/i386/tamarisk
#   make run      build the program alone, then start the console
#                 (ARGS="..." passes arguments, e.g. ARGS=examples/hanoi.lisp)
#   make test     build every configuration (clang++ too) and run every test
#   make tsan     the debugging build under ThreadSanitizer (build/tsan);
#                 python3 tests/run.py --config tsan memory/ runs the
#                 collector's cases on it (make test does, about 2 minutes)
#   make install  the program, its manual page, the user guides and the
#                 examples under PREFIX (/usr/local); make uninstall
#                 removes them
#   make fuzz     the long fuzzing run (FUZZ_TIME seconds, default 3600)
#   make bench    the benchmarks, with CLISP and ECL when installed
JOBS ?= $(shell nproc)
WERROR ?= OFF
CMAKE_COMMON = -DTK_WERROR=$(WERROR)

CONFIGS = x86_64 i386 gcstress asan tsan clang

.PHONY: all run test $(CONFIGS) unit multilib bench clean install uninstall fuzz

all: x86_64 i386

build/%/Makefile:
	@mkdir -p build/$*
	cmake -S . -B build/$* $(CMAKE_COMMON) $(CMAKE_ARGS_$*) >/dev/null

CMAKE_ARGS_x86_64 = -DCMAKE_BUILD_TYPE=Release
CMAKE_ARGS_i386 = -DCMAKE_BUILD_TYPE=Release -DTK_M32=ON -DTK_UNIT_TESTS=OFF
# The collector-stress build collects at every evaluation step and checks
# every root after each collection (TK_DEBUG's assertions). It is optimised:
# the checks do not depend on it, and unoptimised it runs some seven times
# slower, which put its longer transcripts near their time limit.
CMAKE_ARGS_gcstress = -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O2" \
	-DTK_UNIT_TESTS=OFF \
	"-DTK_DEFINES=TK_GCSTRESS=1;TK_DEBUG=1;TK_CELLS=60000L;TK_NUMSLOTS=20000L"
CMAKE_ARGS_asan = -DCMAKE_BUILD_TYPE=Debug -DTK_UNIT_TESTS=OFF "-DTK_DEFINES=TK_DEBUG=1" \
	"-DTK_SANITIZE=-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer"
# ThreadSanitizer over the debugging build, whose collector hands the
# marking of any root past 2,000 cells to its helper thread: a data race
# between the two markers is reported on stderr, which fails the case. Only
# the collector's cases run on it: ThreadSanitizer cannot keep the stack of
# a recursion tens of thousands of calls deep, which some other cases reach.
CMAKE_ARGS_tsan = -DCMAKE_BUILD_TYPE=Debug -DTK_UNIT_TESTS=OFF "-DTK_DEFINES=TK_DEBUG=1" \
	"-DTK_SANITIZE=-fsanitize=thread -fno-omit-frame-pointer"

# The program once more with clang++, for both architectures: build only, so
# that it keeps building without warnings under a second compiler.
CLANGXX ?= clang++
CMAKE_ARGS_clang = -DCMAKE_BUILD_TYPE=Release -DTK_UNIT_TESTS=OFF \
	-DCMAKE_CXX_COMPILER=$(CLANGXX)
CMAKE_ARGS_clang-i386 = $(CMAKE_ARGS_clang) -DTK_M32=ON

x86_64 gcstress asan tsan: %: build/%/Makefile
	$(MAKE) -s -C build/$@ -j$(JOBS)

i386: multilib build/i386/Makefile
	$(MAKE) -s -C build/i386 -j$(JOBS)

# As root a missing clang++ is installed here; otherwise the build is skipped.
clang: multilib
	@if ! command -v $(CLANGXX) >/dev/null 2>&1; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing clang for the clang build"; \
	    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang) >/dev/null; \
	  else \
	    echo "clang++ is not installed: the clang build is skipped"; exit 0; \
	  fi; \
	fi; \
	$(MAKE) --no-print-directory build/clang/Makefile build/clang-i386/Makefile && \
	$(MAKE) -s -C build/clang -j$(JOBS) && $(MAKE) -s -C build/clang-i386 -j$(JOBS)

# The i386 build needs the 32-bit C++ runtime; as root it is installed here.
# Where the kernel does not run i386 programs (or TK_I386_EMULATE=1), they
# run under qemu-i386; tests/launch.py decides, and as root the emulator is
# installed here too.
multilib:
	@if ! echo 'int main(){}' | g++ -m32 -x c++ - -o /dev/null 2>/dev/null; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing g++-multilib for the i386 build"; \
	    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq g++-multilib) >/dev/null; \
	  else \
	    echo "the i386 build needs g++-multilib: sudo apt-get install g++-multilib"; exit 1; \
	  fi; \
	fi
	@if [ "$$(python3 tests/launch.py mode)" = missing ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing qemu-user: i386 programs run under qemu-i386 here"; \
	    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq qemu-user) >/dev/null; \
	  else \
	    echo "i386 programs run under qemu-i386 here: sudo apt-get install qemu-user"; \
	  fi; \
	fi

# Only the program is built (no unit tests), so the first prompt comes
# early. On a terminal the program runs as a job of its own (set -m): Ctrl-C
# reaches it and not make (the shell must not exec the program in its own
# place, which would leave it in make's group). The program edits its own
# lines on a terminal.
# Its exit status is make's, so a program run with ARGS=... that fails
# makes `make run` fail.
run: SHELL := /bin/bash
run: build/x86_64/Makefile
	@$(MAKE) -s -C build/x86_64 -j$(JOBS) tamarisk
	@if [ -t 0 ]; then set -m; fi; \
	build/x86_64/tamarisk $(ARGS); status=$$?; exit $$status

# Every check, one section each (tests/all.py NAME runs one of them). The
# Ctrl-C checks drive the program in a terminal under tmux; as root a
# missing tmux is installed here, otherwise they are skipped with a line.
test: $(CONFIGS)
	@if ! command -v tmux >/dev/null 2>&1 && [ "$$(id -u)" = 0 ]; then \
	  echo "installing tmux for the Ctrl-C checks"; \
	  (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq tmux) >/dev/null; \
	fi
	python3 tests/all.py

# The long fuzzing run: every harness on both builds for FUZZ_TIME seconds
# in all (FUZZ_JOBS=2 runs two at once); grows and minimises fuzz/corpus/.
FUZZ_TIME ?= 3600
fuzz:
	FUZZ_TIME=$(FUZZ_TIME) fuzz/campaign

bench: x86_64
	python3 bench/run

# make install [PREFIX=/usr/local] [DESTDIR=staging dir]
PREFIX ?= /usr/local
BINDIR = $(PREFIX)/bin
MANDIR = $(PREFIX)/share/man/man1
DOCDIR = $(PREFIX)/share/doc/tamarisk
GUIDES = docs/guide.en.md docs/guide.ja.md
# The example programs and their data; the .out transcripts are tests.
EXAMPLES = $(filter-out %.out %.i386 %.x86_64,$(wildcard examples/*))

install: build/x86_64/Makefile
	@$(MAKE) -s -C build/x86_64 -j$(JOBS) tamarisk
	install -d $(DESTDIR)$(BINDIR) $(DESTDIR)$(MANDIR) \
	  $(DESTDIR)$(DOCDIR)/examples
	install -m 755 build/x86_64/tamarisk $(DESTDIR)$(BINDIR)/tamarisk
	install -m 644 docs/tamarisk.1 $(DESTDIR)$(MANDIR)/tamarisk.1
	install -m 644 $(GUIDES) $(DESTDIR)$(DOCDIR)
	install -m 644 $(EXAMPLES) $(DESTDIR)$(DOCDIR)/examples

uninstall:
	rm -f $(DESTDIR)$(BINDIR)/tamarisk $(DESTDIR)$(MANDIR)/tamarisk.1
	rm -f $(addprefix $(DESTDIR)$(DOCDIR)/,$(notdir $(GUIDES)))
	rm -f $(addprefix $(DESTDIR)$(DOCDIR)/examples/,$(notdir $(EXAMPLES)))
	rmdir $(DESTDIR)$(DOCDIR)/examples $(DESTDIR)$(DOCDIR) 2>/dev/null || true
	@# The folders install made, each only when nothing else is left in it.
	@for d in $(MANDIR) $(PREFIX)/share/man $(PREFIX)/share/doc \
	  $(PREFIX)/share $(BINDIR); do \
	  rmdir $(DESTDIR)$$d 2>/dev/null || true; done

clean:
	rm -rf build
