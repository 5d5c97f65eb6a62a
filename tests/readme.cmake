# The README and the manual stay true: the pictures show what the programs
# draw, every replay event is in morven(3), and the README's commands work
# in a fresh clone (label quickstart: a whole build, run on its own with
# `ctest --test-dir build -L quickstart`).

add_test(NAME readme.replay_events
  COMMAND ${CMAKE_COMMAND} -DHEADER=${PROJECT_SOURCE_DIR}/include/morven/input.h
          -DMANUAL=${PROJECT_SOURCE_DIR}/doc/morven.3 -P ${CMAKE_CURRENT_SOURCE_DIR}/readme/replay_events.cmake)

if(TARGET atlas AND TARGET chase AND TARGET morven-image AND stb_FOUND)
  add_executable(picture_compare readme/picture_compare.cpp)
  target_link_libraries(picture_compare PRIVATE morven::stb)
  add_test(NAME readme.pictures
    COMMAND ${CMAKE_COMMAND} -DATLAS=$<TARGET_FILE:atlas> -DCHASE=$<TARGET_FILE:chase>
            -DCOMPARE=$<TARGET_FILE:picture_compare> -DSOURCE=${PROJECT_SOURCE_DIR}
            -DOUT=${CMAKE_CURRENT_BINARY_DIR}/readme-pictures
            -P ${CMAKE_CURRENT_SOURCE_DIR}/readme/check_pictures.cmake)
else()
  message(STATUS "readme.pictures is not run (needs the atlas and chase examples, the Image module and stb)")
endif()

add_test(NAME readme.quick_start
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/readme/quick_start.sh ${PROJECT_SOURCE_DIR}
          ${CMAKE_CURRENT_BINARY_DIR}/quick-start)
set_tests_properties(readme.quick_start PROPERTIES LABELS quickstart SKIP_RETURN_CODE 77 TIMEOUT 1200)
