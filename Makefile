# Thin wrapper over CMake. `make run` and `make test` set up everything a fresh
# Debian 12 machine lacks (through scripts/install-deps), then build.
BUILD_DIR     ?= build
ASAN_DIR      ?= build-asan
FUZZ_SECONDS  ?= 120
JOBS          ?= $(shell nproc)
CTEST_ARGS    ?=

.PHONY: all deps configure build run test test-sanitize fuzz package bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/Pictora

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# Engine library and its tests under AddressSanitizer + UndefinedBehaviorSanitizer,
# built with clang and libFuzzer's instrumentation: `make fuzz` reuses this
# build and only links its targets.
SANITIZE_CONFIG = cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug \
	-DPICTORA_ENGINE_ONLY=ON -DPICTORA_FUZZ=ON \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	-DCMAKE_C_FLAGS_DEBUG="-O1 -gline-tables-only" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only"

test-sanitize: deps
	$(SANITIZE_CONFIG)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# libFuzzer over the engine's file readers and the HTTP encoding, with
# ASan + UBSan: FUZZ_SECONDS for each target (see fuzz/CMakeLists.txt).
fuzz: deps
	$(SANITIZE_CONFIG)
	cmake --build $(ASAN_DIR) -j $(JOBS) --target pictora_fuzzers
	scripts/run-fuzzers $(ASAN_DIR) $(FUZZ_SECONDS)

# The Debian package, build/pictora_<version>_<arch>.deb.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

bench: build
	@echo "Benchmarks: see bench/README.md"

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
