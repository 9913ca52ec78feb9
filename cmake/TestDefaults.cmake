# The tests and the benchmarks are on by default only where the libraries they need are
# installed, so that a build of the program alone needs nothing more; turned on by name, they
# stop the configuration at whatever is missing.

# Debian's GoogleTest is built for Linux; the Windows build compiles it from the sources
# libgtest-dev ships (tests/CMakeLists.txt).
if(WIN32)
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    set(GTest_FOUND TRUE)
  endif()
else()
  find_package(GTest QUIET)
endif()
find_package(Qt6 QUIET COMPONENTS Test)
find_package(benchmark QUIET)
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(tarvenik_xcb QUIET xcb)
endif()

set(tarvenik_tests_default OFF)
if(GTest_FOUND AND Qt6Test_FOUND)
  set(tarvenik_tests_default ON)
endif()
set(tarvenik_bench_default OFF)
if(benchmark_FOUND AND tarvenik_xcb_FOUND)
  set(tarvenik_bench_default ON)
endif()
option(TARVENIK_TESTS "Build the tests" ${tarvenik_tests_default})
option(TARVENIK_BENCH "Build the benchmarks" ${tarvenik_bench_default})

if(NOT TARVENIK_TESTS AND NOT tarvenik_tests_default)
  message(STATUS "Tests are off: GoogleTest or Qt Test is missing "
                 "(Debian: libgtest-dev libgmock-dev qt6-base-dev, or `scripts/deps.sh build`)")
endif()
if(NOT TARVENIK_BENCH AND NOT tarvenik_bench_default)
  message(STATUS "Benchmarks are off: Google Benchmark or libxcb is missing "
                 "(Debian: libbenchmark-dev libxcb1-dev, or `scripts/deps.sh build`)")
endif()
