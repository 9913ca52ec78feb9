# The commands of the README: `make run`, `make demo`, `make test`, `make deb`, `make install`.
NORMAL := build/normal
SANITIZE := build/sanitize
RELEASE := build/release
DEB := build/deb
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

# Warnings are errors in every build made here (and so in CI); a build configured by hand does
# not turn them into errors.
CONFIGURE := cmake -G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

# Every compiler run of every build made here (the Debian package's and the Windows build's
# included) goes through ccache when it is installed, with its cache in the user's cache folder:
# CMake takes the launchers from the environment. Paths below this folder are hashed relative to
# it, so another checkout of the same sources finds the same objects.
ifneq (,$(shell command -v ccache))
export CMAKE_C_COMPILER_LAUNCHER := ccache
export CMAKE_CXX_COMPILER_LAUNCHER := ccache
export CCACHE_DIR ?= $(or $(XDG_CACHE_HOME),$(HOME)/.cache)/ccache
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
export CCACHE_MAXSIZE ?= 10G
endif
# `make run`, `make demo` and `make install` need no tests: a tree they configure first is
# configured without them, so GoogleTest and Google Benchmark need not be installed.
# `make build` turns them on.
CONFIGURE_NORMAL = $(CONFIGURE) -S . -B $(NORMAL) \
  $(if $(wildcard $(NORMAL)/CMakeCache.txt),,-DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVENIK_TESTS=OFF -DTARVENIK_BENCH=OFF)

.PHONY: run demo test build build-release build-sanitize deb install \
  check-normal check-release check-default-generator check-sanitize check-kernel check-package \
  check-prometheus check-kernel-wine check-trixie clean

# Only what is started: the program and its module pair.
run:
	@scripts/deps.sh run
	$(CONFIGURE_NORMAL)
	cmake --build $(NORMAL) -j $(JOBS) --target tarvenik
	$(NORMAL)/bin/tarvenik

demo:
	@scripts/deps.sh run
	$(CONFIGURE_NORMAL)
	cmake --build $(NORMAL) -j $(JOBS) --target tarvenik_demo
	$(NORMAL)/demo/tarvenik

# Each stage in turn; the time each took is printed at the end, and up to a failed one.
TEST_STAGES := check-normal check-prometheus check-release check-default-generator check-package \
  check-trixie check-sanitize check-tsan check-kernel check-windows check-kernel-wine

test:
	@scripts/deps.sh test
	@times=; status=0; all=$$(date +%s); \
	for stage in $(TEST_STAGES); do \
	  start=$$(date +%s); \
	  $(MAKE) --no-print-directory $$stage || status=$$?; \
	  times="$$times$$(printf '\n  %-24s %5d s' $$stage $$(($$(date +%s) - start)))"; \
	  [ $$status = 0 ] || { times="$$times (failed)"; break; }; \
	done; \
	echo "make test: stage times:$$times"; \
	echo "make test: $$(($$(date +%s) - all)) s in all, $$([ $$status = 0 ] && echo passed || echo failed)"; \
	exit $$status

build:
	@scripts/deps.sh build
	$(CONFIGURE) -S . -B $(NORMAL) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARVENIK_TESTS=ON -DTARVENIK_BENCH=ON
	cmake --build $(NORMAL) -j $(JOBS)

# The optimised build of what is shipped, with g++, for the warnings that only -O3 brings. The
# tests are built and run in the other builds.
build-release:
	@scripts/deps.sh install
	$(CONFIGURE) -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DTARVENIK_TESTS=OFF -DTARVENIK_BENCH=OFF
	cmake --build $(RELEASE) -j $(JOBS)

build-sanitize:
	$(CONFIGURE) -S . -B $(SANITIZE) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DTARVENIK_SANITIZE=ON -DTARVENIK_FUZZ=ON
	cmake --build $(SANITIZE) -j $(JOBS)

# The Debian package, built from a copy of the sources under build/; the .deb lands in
# build/deb. Its tests are left to `make test`, which runs them once, in the normal build.
deb:
	@scripts/deps.sh deb
	TARVENIK_WERROR=ON JOBS=$(JOBS) scripts/make-deb $(DEB)

# Installs what `make run` and `make demo` start, with the rest of the installed tree, under
# PREFIX (and DESTDIR), through sudo when the folder is not the user's to write.
install:
	@scripts/deps.sh install
	$(CONFIGURE_NORMAL)
	cmake --build $(NORMAL) -j $(JOBS) --target programs icons
	@dir="$(DESTDIR)$(PREFIX)"; while [ ! -d "$$dir" ]; do dir=$$(dirname "$$dir"); done; \
	run=; [ -w "$$dir" ] || run=sudo; \
	echo "$$run cmake --install $(NORMAL) --prefix $(PREFIX)"; \
	$$run env DESTDIR="$(DESTDIR)" cmake --install $(NORMAL) --prefix "$(PREFIX)"
	@[ "$(PREFIX)" = /usr ] || echo "udev reads no rules under $(PREFIX); to open the unit to" \
	  "users: sudo install -m 644 packaging/70-tarvenik.rules /etc/udev/rules.d/ (packaging/README.md)"

check-normal: build
	ctest --test-dir $(NORMAL) --output-on-failure -j $(JOBS)

check-release: build-release

# The install of the README, configured by hand with CMake's default generator (Unix Makefiles),
# which, unlike Ninja, makes no folder for a command's output. The generated translations folder
# goes first, so a tree built before still meets the build as a fresh clone does.
DEFAULT := build/default
check-default-generator:
	@scripts/deps.sh install
	cmake -S . -B $(DEFAULT) -DCMAKE_BUILD_TYPE=Release -DTARVENIK_TESTS=OFF \
	  -DTARVENIK_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
	rm -rf $(DEFAULT)/app/i18n $(DEFAULT)-install
	cmake --build $(DEFAULT) -j $(JOBS)
	cmake --install $(DEFAULT) --prefix $(DEFAULT)-install
	test -x $(DEFAULT)-install/bin/tarvenik
	test -s $(DEFAULT)-install/share/tarvenik/translations/tarvenik_en.qm

# The Prometheus output served by Debian's node_exporter (its textfile collector), scraped over
# HTTP on a loopback port while the demo tool writes it (tests/prometheus).
check-prometheus: build
	tests/prometheus/check-prometheus $(NORMAL)/demo

check-sanitize: build-sanitize
	ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

# The package at work: built, unpacked into a temporary folder, checked by lintian and the
# desktop and AppStream validators, and both programs started from it (tests/package).
check-package: build deb
	tests/package/check-package $(NORMAL)/tests/libpackage_probe.so $(DEB)

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
# cancellation across threads; the virtual unit's stall; the window's exchange
# thread).
TSAN := build/tsan
TSAN_TESTS := hid_platform_tests hid_virtual_tests hid_stub_tests platform_virtual_tests \
  unit_exchange_tests app_panel_tests history_tests
TSAN_EMPTY :=
TSAN_SPACE := $(TSAN_EMPTY) $(TSAN_EMPTY)

.PHONY: build-tsan check-tsan

build-tsan:
	$(CONFIGURE) -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DTARVENIK_SANITIZE_THREAD=ON -DTARVENIK_BENCH=OFF
	cmake --build $(TSAN) -j $(JOBS) --target $(TSAN_TESTS)

check-tsan: build-tsan
	ctest --test-dir $(TSAN) --output-on-failure --no-tests=error -j $(JOBS) \
	  -R '^($(subst $(TSAN_SPACE),|,$(TSAN_TESTS)))$$'

# The Windows program, cross-built with MinGW-w64 against Qt and libjpeg-turbo built from Debian's
# sources (scripts/windows-deps, cached in the user's cache folder), and its tests run under wine.
# `make windows` also makes the setup program and a .zip of the same tree in build/windows/dist.
WINDOWS := build/windows
MULTIARCH = $(shell dpkg-architecture -qDEB_HOST_MULTIARCH)

.PHONY: windows check-windows

windows:
	@scripts/deps.sh windows
	@prefixes=$$(JOBS=$(JOBS) scripts/windows-deps | tail -n 1) && [ -n "$$prefixes" ] && \
	set -x && $(CONFIGURE) -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DTARVENIK_WINDOWS_PREFIXES="$$prefixes" -DCMAKE_PREFIX_PATH="$$prefixes" \
	  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/$(MULTIARCH)/cmake \
	  -DTARVENIK_TESTS=ON -DTARVENIK_BENCH=OFF
	cmake --build $(WINDOWS) -j $(JOBS)
	cmake --build $(WINDOWS) --target windows_packages

# The tests under wine, then the setup program installed, used and uninstalled under wine.
check-windows: windows
	ctest --test-dir $(WINDOWS) --output-on-failure -j $(JOBS)
	tests/installer/check-installer $(WINDOWS)/dist/tarvenik-*-setup.exe \
	  $(WINDOWS)/tests/tarvenikprobe.dll

# The Windows programs under wine's own HID stack, on the kernel VM, against USB units: wine 10
# runs in the Debian 13 root of tests/trixie (its disk image made by tests/kernel/make-wine-root,
# cached in the user's cache folder) with the folder `make windows` deploys; the tool and the
# panel (driven by the package probe) take the gadget for the unit (tests/kernel/README.md).
check-kernel-wine: windows build
	@deployed=$$(ls -d $(WINDOWS)/package/tarvenik-*/ | head -n 1) && [ -n "$$deployed" ] && \
	cmake --build $(NORMAL) --target kernel_wine_tests -j $(JOBS) && \
	TARVENIK_KERNEL_WINE=$$deployed TARVENIK_KERNEL_WINE_PROBES=$(WINDOWS)/probes \
	  TARVENIK_KERNEL_WINE_PLUGIN=$(WINDOWS)/tests/tarvenikprobe.dll \
	  tests/kernel/run $(NORMAL)

# Debian 13 in the cached root of tests/trixie: the tree built and tested there with warnings as
# errors, and the Debian 12 package (`make deb`, made first when missing) installed and used there.
# Every package scripts/deps.sh names can be installed here (Debian 12) and there.
check-trixie: $(if $(wildcard $(DEB)/tarvenik_*.deb),,deb)
	scripts/deps.sh candidates
	JOBS=$(JOBS) tests/trixie/check $(DEB)

clean:
	rm -rf build
