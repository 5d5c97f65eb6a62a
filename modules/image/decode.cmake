# The image decoding code (PNG through libspng, JPEG through libjpeg-turbo) as
# a static library, for the "Image" module, its fuzz target, the tests and
# the benchmark. Sets MORVEN_IMAGE_DECODE when both libraries are found.
set(MORVEN_IMAGE_DECODE OFF)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(SPNG QUIET IMPORTED_TARGET spng)
endif()
find_package(JPEG QUIET)
if(NOT SPNG_FOUND)
  morven_missing(libspng libspng-dev "Image module (PNG and JPEG decoding), its tests and fuzz target")
endif()
if(NOT JPEG_FOUND)
  morven_missing(libjpeg libjpeg62-turbo-dev "Image module (PNG and JPEG decoding), its tests and fuzz target")
endif()
if(SPNG_FOUND AND JPEG_FOUND)
  set(MORVEN_IMAGE_DECODE ON)
  add_library(morven_image_decode STATIC
    ${CMAKE_CURRENT_LIST_DIR}/decode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/png_decode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jpeg_decode.cpp)
  target_include_directories(morven_image_decode PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(morven_image_decode PUBLIC PkgConfig::SPNG JPEG::JPEG)
  set_target_properties(morven_image_decode PROPERTIES POSITION_INDEPENDENT_CODE ON)
endif()
