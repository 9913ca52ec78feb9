# The JPEG encoder over pictures of any size, layout, content and settings:
# every one must compress without a fault and read back at its size.
if(TARGET imaging)
  tarvenik_add_fuzz(jpeg_encode_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/jpeg_encode_fuzz.cpp
            ${CMAKE_SOURCE_DIR}/tests/imaging/JpegDecoder.cpp
    LIBS imaging JPEG::JPEG)
  if(TARGET jpeg_encode_fuzz)
    target_include_directories(jpeg_encode_fuzz PRIVATE ${CMAKE_SOURCE_DIR}
                               ${CMAKE_SOURCE_DIR}/tests/imaging)
  endif()
endif()
