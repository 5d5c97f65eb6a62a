# Image decoding and the PNG writer: the unit tests make their files with
# libjpeg and check the writer's output with libspng; the corpus runs again
# under valgrind; screenshots that cannot be written are tried on the demo.
if(MORVEN_IMAGE_DECODE)
  target_link_libraries(morven_tests PRIVATE PkgConfig::SPNG JPEG::JPEG)
  target_compile_definitions(morven_tests PRIVATE MORVEN_TEST_IMAGE)
endif()

find_program(MORVEN_VALGRIND valgrind)
if(MORVEN_VALGRIND AND TARGET morven-image)
  add_test(NAME image_corpus_valgrind COMMAND ${CMAKE_COMMAND} -E env MORVEN_TEST_UNBOUNDED=1
    ${MORVEN_VALGRIND} --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite
    $<TARGET_FILE:morven_tests> --gtest_filter=ImageCorpus.*)
  set_tests_properties(image_corpus_valgrind PROPERTIES LABELS valgrind)
endif()

if(TARGET atlas)
  add_test(NAME screenshot_failures COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/screenshot_failures.sh
    $<TARGET_FILE:atlas> ${CMAKE_CURRENT_BINARY_DIR}/screenshot-failures)
endif()
