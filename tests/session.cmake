# The frame clock and recording end to end, through a small game with
# timers: one replay headless, under valgrind and in an OpenGL window under
# Xvfb gives the same summary and last frame; a session recorded with real X
# input replays headless to the same.
if(NOT TARGET morven-image)
  message(STATUS "session replays are not tested (needs the STB-Image module for identical PNG files)")
  return()
endif()
add_executable(session_game session/session_game.c)
target_link_libraries(session_game PRIVATE MORVEN)
foreach(module morven-sdl morven-opengl morven-image)
  if(TARGET ${module})
    add_dependencies(session_game ${module})
  endif()
endforeach()
set(MORVEN_SESSION_OUT ${CMAKE_CURRENT_BINARY_DIR}/session-runs)
find_program(MORVEN_VALGRIND valgrind)
set(valgrind_arg)
if(MORVEN_VALGRIND AND NOT MORVEN_ANY_SANITIZER)
  set(valgrind_arg -DVALGRIND=${MORVEN_VALGRIND})
endif()
add_test(NAME session_replays COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:session_game>
  -DREPLAY=${CMAKE_CURRENT_SOURCE_DIR}/session/blink.replay -DOUT=${MORVEN_SESSION_OUT}/replays
  -DDISPLAY_RUNNER=${CMAKE_CURRENT_SOURCE_DIR}/with_display.sh ${valgrind_arg}
  -P ${CMAKE_CURRENT_SOURCE_DIR}/session/check_replays.cmake)
set_tests_properties(session_replays PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0" TIMEOUT 300)
if(TARGET morven-sdl)
  add_test(NAME session_recorded COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/with_display.sh sh ${CMAKE_CURRENT_SOURCE_DIR}/session/record_session.sh
    $<TARGET_FILE:session_game> ${MORVEN_SESSION_OUT}/recorded)
  set_tests_properties(session_recorded PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endif()
