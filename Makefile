# Convenience front end over CMake. `make run ARGS='help'`, `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build run test test-asan test-tsan bench demo fuzz clean

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# run and demo build only the programs they start; the test suites take minutes.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target quil
	@$(BUILD)/quil $(ARGS)

test: build
	@ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure

test-asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan CMAKE_FLAGS='-DCMAKE_BUILD_TYPE=Debug -DQUIL_SANITIZE=address,undefined'

test-tsan:
	@$(MAKE) --no-print-directory configure BUILD=build-tsan CMAKE_FLAGS='-DCMAKE_BUILD_TYPE=Debug -DQUIL_SANITIZE=thread'
	@cmake --build build-tsan -j $(JOBS) --target zorvik_tests
	@ctest --test-dir build-tsan -j $(JOBS) -L zorvik --output-on-failure

demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target quil fake_platform
	@scripts/demo.sh $(BUILD)

bench:
	@$(MAKE) --no-print-directory build BUILD=build-bench CMAKE_FLAGS='-DCMAKE_BUILD_TYPE=Release -DQUIL_BUILD_BENCH=ON -DQUIL_BUILD_TESTS=OFF'
	@for b in build-bench/bench/*_bench; do $$b; done

# The fuzz targets run side by side for FUZZ_SECONDS each; see scripts/run-fuzzers.sh.
FUZZ_TARGETS := ResponseParserFuzz UrlParserFuzz RedirectFuzz RequestWriterFuzz
FUZZ_SECONDS ?= 45

fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUIL_BUILD_FUZZ=ON -DQUIL_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@scripts/run-fuzzers.sh $(FUZZ_SECONDS) $(FUZZ_TARGETS)

clean:
	rm -rf build build-asan build-tsan build-bench build-fuzz
