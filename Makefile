# Thin wrapper around CMake. `make test` is all a fresh clone needs.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build test bench clean

deps:
	@bash scripts/install-deps.sh

configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: deps build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: deps build
	@bash scripts/run-bench.sh $(BUILD)

clean:
	@rm -rf $(BUILD)
