# The two commands of the README: `make demo` and `make check`.
BUILD ?= build
CHECK_BUILD ?= build-check
BENCH_BUILD ?= build-bench
JOBS ?= $(shell nproc)
DIR ?=
# FULL=1 runs the benchmarks at their full sizes (about an hour) instead of the default ones.
FULL ?=

.PHONY: demo check build bench clean deps deps-build

deps-build:
	@scripts/install-deps build

deps:
	@scripts/install-deps all

build: deps-build
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREPOS_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@$(BUILD)/examples/repos-demo $(DIR)

check: deps
	@cmake -S . -B $(CHECK_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DREPOS_SANITIZE=ON -DREPOS_BUILD_TESTS=ON >/dev/null
	@cmake --build $(CHECK_BUILD) -j $(JOBS)
	@JOBS=$(JOBS) scripts/run-tests $(CHECK_BUILD)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DREPOS_BUILD_TESTS=OFF -DREPOS_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@$(if $(FULL),REPOS_BENCH_FULL=$(FULL) )scripts/run-bench $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(CHECK_BUILD) $(BENCH_BUILD)
