# The chase example driven by its input replays, end to end: headless, and in
# a real window (SDL + OpenGL) under Xvfb.
find_path(MORVEN_TEST_STB_DIR stb/stb_image.h)
if(NOT TARGET chase OR NOT TARGET morven-image OR NOT MORVEN_TEST_STB_DIR)
  message(STATUS "chase runs are not tested (needs the chase example, the Image module and stb_image.h)")
  return()
endif()

add_executable(png_probe chase/png_probe.cpp)
target_include_directories(png_probe SYSTEM PRIVATE ${MORVEN_TEST_STB_DIR})
add_dependencies(chase morven-image)

set(MORVEN_CHASE_OUT ${CMAKE_CURRENT_BINARY_DIR}/chase-runs)
set(MORVEN_CHASE_SOUND "")
if(TARGET morven-sound)
  add_executable(wav_onsets chase/wav_onsets.cpp)
  add_dependencies(chase morven-sound)
  set(MORVEN_CHASE_SOUND -DONSETS=$<TARGET_FILE:wav_onsets>)
endif()
foreach(side right left)
  set(args -DPROGRAM=$<TARGET_FILE:chase> -DPROBE=$<TARGET_FILE:png_probe>
    -DREPLAY=${PROJECT_SOURCE_DIR}/examples/chase_${side}.replay -DSIDE=${side} ${MORVEN_CHASE_SOUND})
  add_test(NAME chase_${side}_headless COMMAND ${CMAKE_COMMAND} ${args}
    -DOUT=${MORVEN_CHASE_OUT}/${side}_headless -DMODE=headless -P ${CMAKE_CURRENT_SOURCE_DIR}/chase/check_chase.cmake)
  if(TARGET morven-sdl AND TARGET morven-opengl)
    add_test(NAME chase_${side}_window COMMAND sh -c
      "command -v xvfb-run >/dev/null 2>&1 || { echo 'xvfb-run not installed'; exit 77; }
       exec xvfb-run -a -s '-screen 0 1024x768x24' \"$0\" \"$@\""
      ${CMAKE_COMMAND} ${args} -DOUT=${MORVEN_CHASE_OUT}/${side}_window -DMODE=window
      -P ${CMAKE_CURRENT_SOURCE_DIR}/chase/check_chase.cmake)
    set_tests_properties(chase_${side}_window PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
  endif()
endforeach()

# valgrind memcheck of a short headless chase: bank, image, atlas, trail and
# gradients all released.
find_program(MORVEN_VALGRIND valgrind)
if(MORVEN_VALGRIND)
  add_test(NAME chase_valgrind COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
    MORVEN_MAX_FRAMES=5 MORVEN_INPUT_SCRIPT=${PROJECT_SOURCE_DIR}/examples/chase_right.replay
    MORVEN_SCREENSHOT=${MORVEN_CHASE_OUT}/valgrind.png
    ${MORVEN_VALGRIND} --error-exitcode=1 --leak-check=full
    $<TARGET_FILE:chase>)
  set_tests_properties(chase_valgrind PROPERTIES LABELS valgrind)
endif()
