# The README's commands. `make test` is what CI runs: it installs what is missing, builds with
# warnings as errors, starts the database servers the db tests need, and runs every test, then
# runs the suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
JOBS ?= $(shell nproc)
BUILD := build/release
ASAN_BUILD := build/asan

.PHONY: all deps build test demo bench clean

all: build

deps:
	bash scripts/setup.sh

build: deps
	cmake --preset release
	cmake --build $(BUILD) -j $(JOBS)

test: build
	bash scripts/run-tests.sh $(BUILD)
	cmake --preset asan
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	bash scripts/run-tests.sh $(ASAN_BUILD)

# The main job: the bundled shop database made into a project and generated into ./demo-site.
demo: build
	$(BUILD)/bin/quorvane demo

bench: deps
	cmake --preset bench
	cmake --build build/bench -j $(JOBS)
	bash scripts/run-bench.sh build/bench

clean:
	rm -rf build
