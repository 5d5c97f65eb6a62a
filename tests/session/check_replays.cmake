# Replays one script into the session game headless, under valgrind and in
# a real window drawn by OpenGL under Xvfb: the three summaries and last
# frames must be identical, and the timers must have fired on the frames the
# frame clock gives (180 frames of 1/60 s: 12 blinks of 250 ms, 75 ticks of
# 40 ms, the 700 ms lamp on frame 41).
#   -DPROGRAM=<session_game> -DREPLAY=<script> -DOUT=<dir> -DDISPLAY_RUNNER=<with_display.sh>
#   [-DVALGRIND=<valgrind>]
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY "${OUT}")
set(expected "^frames 180 blinks 12 ticks 75 lamp 41 clock 3000 ms wheel 2.5 typed 4 \"hi!\" keys 2\n$")

function(run name)
  file(REMOVE "${OUT}/${name}.png")
  set(env MORVEN_INPUT_SCRIPT=${REPLAY} MORVEN_SCREENSHOT=${OUT}/${name}.png --unset=MORVEN_MAX_FRAMES
      --unset=MORVEN_INPUT_RECORD)
  if(name STREQUAL "window")
    set(command sh ${DISPLAY_RUNNER} ${CMAKE_COMMAND} -E env ${env} ${PROGRAM})
  else()
    set(command ${CMAKE_COMMAND} -E env ${env} --unset=DISPLAY --unset=WAYLAND_DISPLAY ${ARGN} ${PROGRAM})
  endif()
  execute_process(COMMAND ${command} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(name STREQUAL "window" AND status EQUAL 77)
    message(STATUS "no virtual display; window run skipped")
    set(${name}_out "" PARENT_SCOPE)
    return()
  endif()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name}: exit status ${status}\n${out}\n${err}")
  endif()
  if(name STREQUAL "window" AND err MATCHES "headless")
    message(FATAL_ERROR "window: no window opened:\n${err}")
  endif()
  if(NOT out MATCHES "${expected}")
    message(FATAL_ERROR "${name}: unexpected summary:\n${out}")
  endif()
  message(STATUS "${name}: ${out}")
  set(${name}_out "${out}" PARENT_SCOPE)
endfunction()

run(headless)
if(VALGRIND)
  run(valgrind ${VALGRIND} --error-exitcode=1 --leak-check=full)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/headless.png ${OUT}/valgrind.png RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "the last frames of the headless and valgrind runs differ")
  endif()
endif()
run(window)
if(window_out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/headless.png ${OUT}/window.png RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "the last frames of the headless and OpenGL runs differ")
  endif()
endif()
