# The spin field's text <-> number conversions. libFuzzer adds what it finds to
# its first corpus folder, so it gets a copy in the build tree.
file(COPY ${CMAKE_CURRENT_LIST_DIR}/numspin_corpus DESTINATION ${CMAKE_CURRENT_BINARY_DIR})
tarvenik_add_fuzz(numspin_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/numspin_fuzz.cpp
  LIBS widgets
  CORPUS ${CMAKE_CURRENT_BINARY_DIR}/numspin_corpus)
