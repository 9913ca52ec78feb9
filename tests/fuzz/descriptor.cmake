# Report descriptor parser and UTF-8 strings of the Linux HID modules.
# libFuzzer adds what it finds to its corpus folder, so it runs on a copy of
# the seeds in the build tree and the source folder stays as committed.
file(COPY ${CMAKE_CURRENT_LIST_DIR}/descriptor_corpus
     DESTINATION ${CMAKE_CURRENT_BINARY_DIR})
tarvenik_add_fuzz(descriptor_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/descriptor_fuzz.cpp
  LIBS hidmodules_core
  CORPUS ${CMAKE_CURRENT_BINARY_DIR}/descriptor_corpus)
