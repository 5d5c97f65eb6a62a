# Gradient, angle functions and trail as a C program sees them through
# libMORVEN.so, and the floating-point flags their bit-exact results rely on.

add_executable(numeric_c_api numeric/c_api.c)
target_link_libraries(numeric_c_api PRIVATE MORVEN m)
set_target_properties(numeric_c_api PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_compile_options(numeric_c_api PRIVATE -std=c99 -Wall -Wextra -pedantic -Werror)
add_test(NAME numeric.c_api COMMAND numeric_c_api)

get_target_property(MORVEN_OBJECT_OPTIONS morven_objects COMPILE_OPTIONS)
add_test(NAME numeric.fp_flags
  COMMAND ${CMAKE_COMMAND} "-DOPTIONS=${MORVEN_OBJECT_OPTIONS}"
          "-DFLAGS=${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${CMAKE_BUILD_TYPE}}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/numeric/check_fp_flags.cmake)
