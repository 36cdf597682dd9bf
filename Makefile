# Thin driver over CMake. `make test` and `make run` are all a fresh machine needs.
BUILD        ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR    ?= build-bench
FUZZ_DIR     ?= build-fuzz
VALGRIND_DIR ?= build-valgrind
COMPARE_DIR  ?= build-compare
PACKAGE_DIR  ?= build-package
PORTABLE_DIR ?= build-portable
ARM64_DIR    ?= build-arm64
CLANG_DIR    ?= build-clang
VALGRIND     ?= valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect -q \
                --suppressions=$(CURDIR)/tests/valgrind.supp
FUZZ_SECONDS ?= 60
PREFIX       ?= /usr/local
# Staged installs put everything under DESTDIR, as packagers expect.
DESTDIR      ?=
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
# Installs the packages a target needs when the machine lacks them; silent otherwise.
SHELL        := /bin/bash
DEPS         ?= tools/install-deps

.PHONY: all build calculator test portable arm64 clang sanitize bench progress-check compare fuzz \
        valgrind soak run \
        install install-check package package-check clean

all: build

build:
	@$(DEPS) test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)

# The calculator and its manual page alone: needs no test libraries.
# Says what it does, then shows the build's steps (none when it is up to date).
calculator:
	@$(DEPS) calculator
	@echo "building exactcalc (Release) in $(BUILD); the first build takes a minute"
	@cmake --log-level=WARNING -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_TESTS=OFF >/dev/null
	@set -o pipefail; cmake --build $(BUILD) -j $(JOBS) --target exactcalc documentation | \
	  { grep -E '^\[ *[0-9]+%\] (Building|Linking)' || true; }

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every test with the assembly off: the portable C++ path that other processors run.
portable:
	@$(DEPS) test
	cmake -S . -B $(PORTABLE_DIR) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_ASM=OFF
	cmake --build $(PORTABLE_DIR) -j $(JOBS)
	ctest --test-dir $(PORTABLE_DIR) --output-on-failure -j $(JOBS)

# Every test cross-built for arm64 and run under qemu-user.
arm64:
	@$(DEPS) arm64
	cmake -S . -B $(ARM64_DIR) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/aarch64-linux-gnu.cmake
	cmake --build $(ARM64_DIR) -j $(JOBS)
	ctest --test-dir $(ARM64_DIR) --output-on-failure -j $(JOBS)

# Every test built with clang and its C++ library, libc++, as macOS and the BSDs build it;
# GoogleTest is compiled from Debian's source package for it.
clang:
	@$(DEPS) clang
	cmake -S . -B $(CLANG_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS=-stdlib=libc++ -DCMAKE_EXE_LINKER_FLAGS=-stdlib=libc++ \
	  -DEXACTCALC_GTEST_SOURCE=/usr/src/googletest
	cmake --build $(CLANG_DIR) -j $(JOBS)
	ctest --test-dir $(CLANG_DIR) --output-on-failure -j $(JOBS)

sanitize:
	@$(DEPS) test
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXACTCALC_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

bench:
	@$(DEPS) bench
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_BENCH=ON -DEXACTCALC_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	$(BENCH_DIR)/bench/exactcalc_bench

# Where each long step's share reaches half, and how far the note's time left is from the
# time really left, on this processor; PROGRESS_LINES='"100000 !" ...' sets the lines.
progress-check:
	@$(DEPS) bench
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_BENCH=ON -DEXACTCALC_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS) --target exactcalc_progress_check
	$(BENCH_DIR)/bench/exactcalc_progress_check $(PROGRESS_LINES)

# exactcalc beside gp and calc where they are installed; COMPARE_ARGS=--instructions adds
# callgrind counts.
compare:
	@$(DEPS) compare
	cmake -S . -B $(COMPARE_DIR) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_TESTS=OFF -DEXACTCALC_COMPARE=ON
	cmake --build $(COMPARE_DIR) -j $(JOBS) --target exactcalc exactcalc_corpus
	bench/compare $(COMPARE_DIR) $(COMPARE_ARGS)

fuzz:
	@$(DEPS) fuzz
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DEXACTCALC_FUZZ=ON -DEXACTCALC_TESTS=OFF
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	fuzz/run $(FUZZ_DIR) $(FUZZ_SECONDS)

# The dialogue tests under memcheck; the calculator they start runs under it too.
valgrind:
	@$(DEPS) valgrind
	cmake -S . -B $(VALGRIND_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-gdwarf-4
	cmake --build $(VALGRIND_DIR) -j $(JOBS) --target exactcalc console_tests
	EXACTCALC_LAUNCHER="$(VALGRIND)" $(VALGRIND) $(VALGRIND_DIR)/tests/console_tests

# Longer runs: many more oracle lines, and each fuzz target for ten minutes.
soak: build
	EXACTCALC_ORACLE_LINES=1000000 $(BUILD)/tests/oracle_tests
	$(MAKE) fuzz FUZZ_SECONDS=600

run: calculator
	@$(BUILD)/exactcalc

install: calculator
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# A staged `make install` from a clean clone of this repository's committed state.
install-check:
	@$(DEPS) calculator
	tests/install_check.sh

# A Release .deb in $(PACKAGE_DIR); install it with `sudo apt install ./<file>.deb`.
package:
	@$(DEPS) package
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_TESTS=OFF
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	cd $(PACKAGE_DIR) && cpack

# The package's files, fields and lintian, the unpacked calculator, a staged install.
package-check: package
	tests/package_check.sh $(PACKAGE_DIR)

clean:
	rm -rf $(BUILD) $(SANITIZE_DIR) $(BENCH_DIR) $(FUZZ_DIR) $(VALGRIND_DIR) $(COMPARE_DIR) \
	  $(PACKAGE_DIR) $(PORTABLE_DIR) $(ARM64_DIR) $(CLANG_DIR)
