# The history's log reader: CSV of both layouts and JSON lines, whole or appended to.
file(COPY ${CMAKE_CURRENT_LIST_DIR}/history_log_corpus DESTINATION ${CMAKE_CURRENT_BINARY_DIR})
tarvenik_add_fuzz(history_log_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/history_log_fuzz.cpp
  LIBS history_lib
  CORPUS ${CMAKE_CURRENT_BINARY_DIR}/history_log_corpus)
