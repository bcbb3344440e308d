# Thin wrapper over CMake. Every configuration builds into build/<name>/.
#   make          the two programs: build/x86_64/tamarisk, build/i386/tamarisk
#   make run      build, then start the interpreter
#   make test     build every configuration and run every test
#   make install  the program and its manual page under PREFIX (/usr/local)
#   make fuzz     the long fuzzing run (FUZZ_TIME seconds, default 3600)
#   make bench    the benchmarks, with CLISP and ECL when installed
JOBS ?= $(shell nproc)
WERROR ?= OFF
CMAKE_COMMON = -DTK_WERROR=$(WERROR)

CONFIGS = x86_64 i386 gcstress asan

.PHONY: all run test $(CONFIGS) unit multilib bench clean install uninstall fuzz

all: x86_64 i386

build/%/Makefile:
	@mkdir -p build/$*
	cmake -S . -B build/$* $(CMAKE_COMMON) $(CMAKE_ARGS_$*) >/dev/null

CMAKE_ARGS_x86_64 = -DCMAKE_BUILD_TYPE=Release
CMAKE_ARGS_i386 = -DCMAKE_BUILD_TYPE=Release -DTK_M32=ON -DTK_UNIT_TESTS=OFF
CMAKE_ARGS_gcstress = -DCMAKE_BUILD_TYPE=Debug -DTK_UNIT_TESTS=OFF \
	"-DTK_DEFINES=TK_GCSTRESS=1;TK_DEBUG=1;TK_CELLS=60000L;TK_NUMSLOTS=20000L"
CMAKE_ARGS_asan = -DCMAKE_BUILD_TYPE=Debug -DTK_UNIT_TESTS=OFF "-DTK_DEFINES=TK_DEBUG=1" \
	"-DTK_SANITIZE=-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer"

x86_64 gcstress asan: %: build/%/Makefile
	$(MAKE) -s -C build/$@ -j$(JOBS)

i386: multilib build/i386/Makefile
	$(MAKE) -s -C build/i386 -j$(JOBS)

# The i386 build needs the 32-bit C++ runtime; as root it is installed here.
multilib:
	@if ! echo 'int main(){}' | g++ -m32 -x c++ - -o /dev/null 2>/dev/null; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "installing g++-multilib for the i386 build"; \
	    (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq g++-multilib) >/dev/null; \
	  else \
	    echo "the i386 build needs g++-multilib: sudo apt-get install g++-multilib"; exit 1; \
	  fi; \
	fi

# Line editing and history through rlwrap when it is installed and the
# input is a terminal.
run: x86_64
	@if [ -t 0 ] && command -v rlwrap >/dev/null 2>&1; then \
	  rlwrap build/x86_64/tamarisk; \
	else \
	  build/x86_64/tamarisk; \
	fi

test: $(CONFIGS)
	python3 tests/run.py
	python3 tests/examples.py
	python3 tests/guide_examples.py
	python3 tests/resources.py
	python3 tests/valgrind.py
	fuzz/replay
	fuzz/short

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

install: x86_64
	install -d $(DESTDIR)$(BINDIR) $(DESTDIR)$(MANDIR)
	install -m 755 build/x86_64/tamarisk $(DESTDIR)$(BINDIR)/tamarisk
	install -m 644 docs/tamarisk.1 $(DESTDIR)$(MANDIR)/tamarisk.1

uninstall:
	rm -f $(DESTDIR)$(BINDIR)/tamarisk $(DESTDIR)$(MANDIR)/tamarisk.1

clean:
	rm -rf build
