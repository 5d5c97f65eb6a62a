# The shared library's surface: exported symbols, dependencies, C99 headers, installation.

add_test(NAME library.exported_symbols
  COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:MORVEN> -DSANITIZE=${MORVEN_ANY_SANITIZER}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/library/check_symbols.cmake)

# Every public header compiled as strict C99 and linked against the library.
file(GLOB MORVEN_PUBLIC_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/morven/*.h)
set(MORVEN_ALL_HEADERS "")
foreach(header ${MORVEN_PUBLIC_HEADERS})
  get_filename_component(name ${header} NAME)
  string(APPEND MORVEN_ALL_HEADERS "#include <morven/${name}>\n")
endforeach()
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/morven_all.h CONTENT "${MORVEN_ALL_HEADERS}")
add_executable(c99_headers library/c99_headers.c)
target_include_directories(c99_headers PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_link_libraries(c99_headers PRIVATE MORVEN)
set_target_properties(c99_headers PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_compile_options(c99_headers PRIVATE -std=c99 -Wall -Wextra -pedantic -Werror)
add_test(NAME library.c99_headers COMMAND c99_headers)

# Install into a scratch prefix, move it elsewhere, and build consumers there
# with find_package and with pkg-config; the moved library still finds its modules.
add_test(NAME library.install_and_consume
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/install/run.sh ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/install-check
          ${CMAKE_CURRENT_SOURCE_DIR}/install ${CMAKE_C_COMPILER} ${PROJECT_SOURCE_DIR})
set_tests_properties(library.install_and_consume PROPERTIES LABELS install TIMEOUT 300)

# The whole unit-test binary under memcheck: no error, no leak.
find_program(VALGRIND valgrind)
if(NOT VALGRIND)
  morven_missing(valgrind valgrind "memory-check tests")
endif()
if(VALGRIND AND NOT MORVEN_ANY_SANITIZER)
  add_test(NAME library.unit_tests_memcheck
    COMMAND ${VALGRIND} --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect,possible
            --suppressions=${CMAKE_CURRENT_SOURCE_DIR}/libraries.supp
            --show-leak-kinds=definite,indirect,possible $<TARGET_FILE:morven_tests> --gtest_brief=1)
  set_tests_properties(library.unit_tests_memcheck PROPERTIES LABELS valgrind TIMEOUT 900)
endif()

# Each room of the source tree includes only the rooms its table allows.
add_test(NAME library.include_edges
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-includes.sh ${PROJECT_SOURCE_DIR})
