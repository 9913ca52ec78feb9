# The JPEG encoder over pictures of any size, layout, content and settings:
# every one must compress without a fault and read back at its size.
tarvenik_add_fuzz(jpeg_encode_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/jpeg_encode_fuzz.cpp
          ${CMAKE_SOURCE_DIR}/tests/imaging/JpegDecoder.cpp
  LIBS imaging JPEG::JPEG)
if(TARVENIK_FUZZ)
  target_include_directories(jpeg_encode_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/tests/imaging)
endif()
