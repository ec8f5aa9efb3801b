# Thin wrapper over CMake. `make run` and `make test` set up everything a fresh
# Debian 12 machine lacks (through scripts/install-deps), then build.
BUILD_DIR     ?= build
ASAN_DIR      ?= build-asan
JOBS          ?= $(shell nproc)
CTEST_ARGS    ?=

.PHONY: all deps configure build run test test-sanitize package bench clean

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

# Engine library and its tests under AddressSanitizer + UndefinedBehaviorSanitizer.
test-sanitize: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DPICTORA_ENGINE_ONLY=ON -DPICTORA_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# The Debian package, build/pictora_<version>_<arch>.deb.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

bench: build
	@echo "Benchmarks: see bench/README.md"

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
