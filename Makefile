# The README's commands. `make test` is what CI runs: it installs what is missing, builds with
# warnings as errors, starts the database servers the db tests need, and runs every test, then
# runs the suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
JOBS ?= $(shell nproc)
BUILD ?= build/release
ASAN_BUILD ?= build/asan

.PHONY: all deps build test bench demo clean

all: build

deps:
	bash scripts/setup.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/run-tests.sh $(BUILD)
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	bash scripts/run-tests.sh $(ASAN_BUILD)

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	bash scripts/run-bench.sh build/bench

demo: build
	$(BUILD)/tools/quorvane/quorvane demo

clean:
	rm -rf build
