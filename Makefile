# The two commands of the README: `make run` and `make test`; `make demo`
# starts the panel with a virtual unit.
NORMAL := build/normal
SANITIZE := build/sanitize
JOBS ?= $(shell nproc)

.PHONY: run demo test build build-sanitize check-normal check-sanitize check-kernel clean

run: build
	$(NORMAL)/bin/tarvenik

demo: build
	$(NORMAL)/demo/tarvenik

test:
	@scripts/deps.sh test
	$(MAKE) check-normal
	$(MAKE) check-sanitize
	$(MAKE) check-tsan
	$(MAKE) check-kernel

build:
	@scripts/deps.sh build
	cmake -S . -B $(NORMAL) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(NORMAL) -j $(JOBS)

build-sanitize:
	cmake -S . -B $(SANITIZE) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DTARVENIK_SANITIZE=ON -DTARVENIK_FUZZ=ON
	cmake --build $(SANITIZE) -j $(JOBS)

check-normal: build
	ctest --test-dir $(NORMAL) --output-on-failure -j $(JOBS)

check-sanitize: build-sanitize
	ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

# Real-kernel tests of the Linux HID modules and the panel, in a virtual
# machine: the normal build's programs, then, when a sanitizer build has been
# configured, its programs too (brought up to date first).
check-kernel: build
	@if [ ! -x tests/kernel/run ]; then echo "no kernel tests yet"; exit 0; fi; \
	tests/kernel/run $(NORMAL) || exit 1; \
	if [ -f $(SANITIZE)/CMakeCache.txt ]; then \
	  cmake --build $(SANITIZE) --target kernel_tests -j $(JOBS) && \
	  tests/kernel/run $(SANITIZE); \
	fi

# ThreadSanitizer build: only the tests whose code runs threads (the HID read
# thread, its delivery mailbox and its stop; the overlapped reads and their
# cancellation across threads).
TSAN := build/tsan
TSAN_TESTS := hid_platform_tests hid_virtual_tests hid_stub_tests
TSAN_EMPTY :=
TSAN_SPACE := $(TSAN_EMPTY) $(TSAN_EMPTY)

.PHONY: build-tsan check-tsan

build-tsan:
	cmake -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DTARVENIK_SANITIZE_THREAD=ON -DTARVENIK_BENCH=OFF
	cmake --build $(TSAN) -j $(JOBS) --target $(TSAN_TESTS)

check-tsan: build-tsan
	ctest --test-dir $(TSAN) --output-on-failure --no-tests=error -j $(JOBS) \
	  -R '^($(subst $(TSAN_SPACE),|,$(TSAN_TESTS)))$$'

clean:
	rm -rf build
