# The Windows build's run-time side, on Linux: the test programs run under wine through
# CMAKE_CROSSCOMPILING_EMULATOR (cmake/wine-run.in), with Qt's DLLs and MinGW-w64's runtime found
# where they were built and installed.
if(NOT WIN32 OR NOT CMAKE_CROSSCOMPILING)
  return()
endif()

# windows.h leaves std::min and std::max alone.
add_compile_definitions(NOMINMAX)

get_filename_component(TARVENIK_QT_BIN "${Qt6_DIR}/../../../bin" ABSOLUTE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE stdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                OUTPUT_VARIABLE winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(TARVENIK_MINGW_RUNTIME "${stdcxx}" DIRECTORY)
get_filename_component(TARVENIK_MINGW_THREADS "${winpthread}" DIRECTORY)
foreach(file "${stdcxx}" "${winpthread}")
  if(NOT IS_ABSOLUTE "${file}" OR NOT EXISTS "${file}")
    message(FATAL_ERROR "MinGW-w64's runtime DLL ${file} was not found")
  endif()
endforeach()

find_program(TARVENIK_WINE NAMES wine)
if(NOT TARVENIK_WINE)
  message(STATUS "wine not found: the Windows tests can be built, not run")
  return()
endif()
set(TARVENIK_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${TARVENIK_WINE_RUN} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVENIK_WINE_RUN})
