# Thin wrapper over CMake + Ninja. Each target does its own set-up, so `make demo` and
# `make test` work on a fresh machine.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: deps configure build test farm-test demo run screenshots install asan fuzz clean

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	if [ "$$KORVANE_FARM_TEST" = 1 ]; then bash scripts/farm-test.sh $(BUILD_DIR); fi

# `korvane farm` on a one-node Slurm cluster started on 127.0.0.1 for the test (needs root;
# installs slurm-wlm and munge when missing).
farm-test: build
	bash scripts/farm-test.sh $(BUILD_DIR)

demo: build
	bash scripts/demo.sh $(BUILD_DIR)

# The desktop application; ARGS may name scene documents to open.
run: build
	$(BUILD_DIR)/bin/korvane-app $(ARGS)

# Screenshots of the application under Xvfb into docs/screenshots/.
screenshots: build
	bash scripts/screenshots.sh $(BUILD_DIR)

# The programs, their resources, the desktop entry, icons and the document type under PREFIX.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The tests under AddressSanitizer + UndefinedBehaviorSanitizer.
asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# libFuzzer targets, built with clang (see bench/run-fuzz.sh). Undefined behaviour is not recovered
# from: the first sanitizer report ends the run and fails it.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DKORVANE_FUZZ=ON -DKORVANE_TESTS=OFF \
		-DCMAKE_C_FLAGS=-fno-sanitize-recover=all -DCMAKE_CXX_FLAGS=-fno-sanitize-recover=all
	cmake --build $(FUZZ_DIR) -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
