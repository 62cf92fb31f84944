# The README's commands. `make test` is what CI runs: it installs what is missing, checks the
# formatting, builds with warnings as errors, runs clang-tidy, starts the database servers the db
# tests need and runs every test and each benchmark once at a small size, runs the suite once
# more under AddressSanitizer and UndefinedBehaviorSanitizer, and gives each fuzz target a short
# run over its seeds.
JOBS ?= $(shell nproc)
BUILD := build/release
ASAN_BUILD := build/asan
FUZZ_BUILD := build/fuzz

.PHONY: all deps program-deps build format tidy test fuzz fuzz-smoke demo bench clean

all: build

# Everything the build and the tests need.
deps:
	bash scripts/setup.sh all

# What the program alone needs.
program-deps:
	bash scripts/setup.sh program

# The benchmarks are built too: the tests run each of them once at a small size.
build: deps
	cmake --preset release -DQV_REQUIRE_TESTS=ON -DQV_BUILD_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)

format: deps
	bash scripts/check-format.sh

tidy: build
	JOBS=$(JOBS) bash scripts/check-tidy.sh $(BUILD)

test: format build tidy
	bash scripts/run-tests.sh $(BUILD)
	cmake --preset asan
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	bash scripts/run-tests.sh $(ASAN_BUILD)
	$(MAKE) fuzz-smoke

# The fuzz targets, built with clang and libFuzzer under the sanitizers.
fuzz: deps
	cmake --preset fuzz
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

# A few seconds of each fuzz target over its seeds, so that a target that no longer builds or
# crashes on a seed fails CI.
fuzz-smoke: fuzz
	bash scripts/fuzz-smoke.sh $(FUZZ_BUILD)

# The main job: the bundled shop database made into a project and generated into ./demo-site.
# It installs and builds only the program and its shared files; the tests stay with `make test`.
demo: program-deps
	cmake --preset release
	cmake --build $(BUILD) -j $(JOBS) --target quorvane qv_share
	$(BUILD)/bin/quorvane demo

bench: deps
	cmake --preset bench
	cmake --build build/bench -j $(JOBS)
	bash scripts/run-bench.sh build/bench

clean:
	rm -rf build
