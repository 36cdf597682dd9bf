# Thin driver over CMake. `make test` and `make run` are all a fresh machine needs.
BUILD        ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR    ?= build-bench
PREFIX       ?= /usr/local
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build test sanitize bench run install clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

sanitize:
	cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXACTCALC_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DEXACTCALC_BENCH=ON -DEXACTCALC_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	$(BENCH_DIR)/bench/exactcalc_bench

run: build
	@$(BUILD)/exactcalc

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SANITIZE_DIR) $(BENCH_DIR)
