# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads variant, which
# std::thread and Qt need). Used for the project and for the Qt and libjpeg-turbo it is built
# with (scripts/windows-deps).
#
# TARVENIK_WINDOWS_PREFIXES: the install folders of those libraries, searched as if they were
# part of the MinGW-w64 sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVENIK_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARVENIK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVENIK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVENIK_MINGW}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVENIK_MINGW} ${TARVENIK_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVENIK_WINDOWS_PREFIXES)
