# Project-wide settings and helpers.

# Where things land in the build tree:
#   bin/      the program with the real Linux HID modules beside it
#   virtual/  the virtual-unit modules, and the tests that run against them
#   demo/     the program again, with the virtual-unit modules beside it
set(TARVENIK_BIN_DIR ${CMAKE_BINARY_DIR}/bin)
set(TARVENIK_VIRTUAL_DIR ${CMAKE_BINARY_DIR}/virtual)
set(TARVENIK_DEMO_DIR ${CMAKE_BINARY_DIR}/demo)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${TARVENIK_BIN_DIR})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
# The installed tree mirrors bin/ and demo/: see TarvenikInstall.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/TarvenikInstall.cmake)

# Warnings are errors in the project's own builds: the Makefile and CI configure with
# -DCMAKE_COMPILE_WARNING_AS_ERROR=ON. Someone building the sources their own way, with another
# compiler release, gets the warnings without a failed build.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # g++ 12 gives false alarms for these at -O2 (in Qt headers too).
  add_compile_options(-Wno-array-bounds -Wno-maybe-uninitialized)
endif()

if(TARVENIK_SANITIZE AND TARVENIK_SANITIZE_THREAD)
  message(FATAL_ERROR "ThreadSanitizer can't be combined with AddressSanitizer: use two builds")
endif()
if(TARVENIK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TARVENIK_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# tarvenik_expose(<target> <path>...)
# The include folder a library gives its users: each path (a folder or a file of the source
# tree) is reached through a link under include/<target>/ in the build tree, so
# `#include "hid/Hid.h"` compiles only in a target that links hid, directly or through a library
# that uses it publicly. An include that breaks the folders' dependency rules fails to compile.
function(tarvenik_expose target)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(path ${ARGN})
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# The environment of every test. Leaks are detected; the leaks and the thread
# orderings of the system's libraries that are not ours are suppressed by the
# files in tests/sanitizers (see its README).
set(TARVENIK_SANITIZER_FILES ${CMAKE_SOURCE_DIR}/tests/sanitizers)
set(TARVENIK_TEST_ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen"
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
  "LSAN_OPTIONS=suppressions=${TARVENIK_SANITIZER_FILES}/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1"
  "TSAN_OPTIONS=suppressions=${TARVENIK_SANITIZER_FILES}/tsan.supp:second_deadlock_stack=1:print_suppressions=0")

# tarvenik_add_test(<name> SOURCES ... [LIBS ...] [VIRTUAL_UNIT] [REAL_MODULES])
# One GoogleTest executable, registered with CTest. Widget tests need no
# display: QT_QPA_PLATFORM is offscreen for every test.
# VIRTUAL_UNIT puts the executable beside the virtual-unit modules, so the HID
# code finds them in the folder of the program file; REAL_MODULES beside the
# real Linux modules.
function(tarvenik_add_test name)
  cmake_parse_arguments(T "VIRTUAL_UNIT;REAL_MODULES" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  if(T_VIRTUAL_UNIT)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TARVENIK_VIRTUAL_DIR})
    add_dependencies(${name} virtual_modules)
  elseif(T_REAL_MODULES)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TARVENIK_BIN_DIR})
    add_dependencies(${name} real_modules)
  else()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${TARVENIK_TEST_ENVIRONMENT}"
    TIMEOUT 120)
endfunction()

# tarvenik_add_fuzz(<name> SOURCES ... [LIBS ...] [CORPUS dir])
# A libFuzzer target; CTest runs it briefly over its corpus and fresh inputs.
function(tarvenik_add_fuzz name)
  if(NOT TARVENIK_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set(args -runs=20000 -seed=1)
  if(F_CORPUS)
    list(APPEND args ${F_CORPUS})
  endif()
  add_test(NAME ${name} COMMAND ${name} ${args})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${TARVENIK_TEST_ENVIRONMENT}"
    TIMEOUT 300)
endfunction()

# tarvenik_add_bench(<name> SOURCES ... [LIBS ...])
function(tarvenik_add_bench name)
  cmake_parse_arguments(B "VIRTUAL_UNIT" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  if(B_VIRTUAL_UNIT)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TARVENIK_VIRTUAL_DIR})
    add_dependencies(${name} virtual_modules)
  else()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  endif()
endfunction()
