# The manual: a page or link for every exported function, pages that lint
# clean and keep every word of the header comments, and an installation in
# which man(1) finds them. A check whose tool
# is missing is reported as skipped.
function(morven_skipped_test name reason)
  add_test(NAME ${name} COMMAND sh -c "echo '${reason}; skipped'; exit 77")
endfunction()

if(MORVEN_FUNCTION_PAGES)
  add_test(NAME manual.function_pages
    COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:MORVEN> -DMAN3=${MORVEN_MAN_DIR}/man3
            -DHEADERS=${PROJECT_SOURCE_DIR}/include/morven
            -P ${CMAKE_CURRENT_SOURCE_DIR}/manual/check_function_pages.cmake)
else()
  morven_skipped_test(manual.function_pages "the section-3 pages are not generated (no doxygen)")
endif()

find_program(MORVEN_MANDOC mandoc)
if(MORVEN_MANDOC)
  add_test(NAME manual.lint
    COMMAND ${CMAKE_COMMAND} -DMANDOC=${MORVEN_MANDOC} -DMAN=${MORVEN_MAN_DIR}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/manual/lint_pages.cmake)
else()
  morven_skipped_test(manual.lint "mandoc not installed (Debian package mandoc)")
endif()

if(MORVEN_MANDOC AND MORVEN_FUNCTION_PAGES)
  add_test(NAME manual.header_text
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/manual/header_text.sh
            ${PROJECT_SOURCE_DIR}/include/morven ${MORVEN_MAN_DIR}/man3 ${MORVEN_MANDOC})
else()
  morven_skipped_test(manual.header_text "needs mandoc and the generated section-3 pages")
endif()

add_test(NAME manual.installed
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/manual/installed.sh ${CMAKE_BINARY_DIR}
          ${CMAKE_CURRENT_BINARY_DIR}/manual-install ${CMAKE_INSTALL_MANDIR} ${MORVEN_FUNCTION_PAGES})

set_tests_properties(manual.function_pages manual.lint manual.header_text PROPERTIES LABELS manual SKIP_RETURN_CODE 77)
set_tests_properties(manual.installed PROPERTIES LABELS "manual;install" SKIP_RETURN_CODE 77 TIMEOUT 300)

# The minimal program of morven(3) compiles as C99 and runs headless.
set(MORVEN_OVERVIEW ${PROJECT_SOURCE_DIR}/doc/morven.3)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MORVEN_OVERVIEW})
file(READ ${MORVEN_OVERVIEW} overview)
string(FIND "${overview}" ".Sh EXAMPLES" at)
string(SUBSTRING "${overview}" ${at} -1 overview)
string(FIND "${overview}" ".Bd -literal -offset indent\n" begin)
string(FIND "${overview}" "\n.Ed\n" end)
string(LENGTH ".Bd -literal -offset indent\n" opener)
math(EXPR begin "${begin} + ${opener}")
math(EXPR length "${end} - ${begin} + 1")
string(SUBSTRING "${overview}" ${begin} ${length} program)
string(REPLACE "\\e" "\\" program "${program}")
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/overview_example.c CONTENT "${program}")
add_executable(overview_example ${CMAKE_CURRENT_BINARY_DIR}/generated/overview_example.c)
target_link_libraries(overview_example PRIVATE MORVEN)
set_target_properties(overview_example PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
add_test(NAME manual.overview_example COMMAND overview_example)
set_tests_properties(manual.overview_example PROPERTIES LABELS manual
  ENVIRONMENT "MORVEN_MAX_FRAMES=3;MORVEN_MODULE_PATH=;DISPLAY=")
