# Runs the chase example under an input replay, twice, and checks it end to
# end: exit status 0, the one summary line, the same line on both runs, and
# the dart (its amber body colour, 255 196 0) on the expected half of the
# last frame.
#   -DPROGRAM=<chase> -DPROBE=<png_probe> -DREPLAY=<script> -DSIDE=left|right
#   -DOUT=<dir> -DMODE=headless|window [-DONSETS=<wav_onsets>]
# With ONSETS (the Sound module is built) each run also captures its sound,
# which must start a catch sound exactly at the frames the summary names
# (800 frames of sound per frame at 60 frames a second), the same bytes on
# every run.
# In window mode the runs must open a real window (no headless notice); a
# headless run is made as well and must end with the same summary line.
cmake_minimum_required(VERSION 3.25)

file(MAKE_DIRECTORY "${OUT}")
set(headless_env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=SDL_VIDEODRIVER)

# run(<name> <headless?>): sets ${name}_out and checks the exit status.
function(run name headless)
  set(env MORVEN_INPUT_SCRIPT=${REPLAY} MORVEN_SCREENSHOT=${OUT}/${name}.png --unset=MORVEN_MAX_FRAMES
      --unset=MORVEN_MODULE_PATH MORVEN_AUDIO_CAPTURE=${OUT}/${name}.wav)
  if(headless)
    list(APPEND env ${headless_env})
  endif()
  file(REMOVE "${OUT}/${name}.png" "${OUT}/${name}.wav")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} ${PROGRAM}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name}: exit status ${status}\n${err}")
  endif()
  if(NOT out MATCHES "^Chased for [0-9]+ frames, caught the pointer [0-9]+ times(, in frames [0-9 ]+)?\n$")
    message(FATAL_ERROR "${name}: unexpected output:\n${out}")
  endif()
  if(NOT headless AND err MATCHES "headless")
    message(FATAL_ERROR "${name}: no window opened:\n${err}")
  endif()
  if(ONSETS AND err MATCHES "no catch sound")
    message(FATAL_ERROR "${name}: the catch sound was not loaded:\n${err}")
  endif()
  if(err MATCHES "no dart image")
    message(FATAL_ERROR "${name}: the dart's image was not loaded:\n${err}")
  endif()
  set(${name}_out "${out}" PARENT_SCOPE)
endfunction()

# Where the dart is in a screenshot: its body pixels and their mean x.
function(check_dart name)
  execute_process(COMMAND ${PROBE} ${OUT}/${name}.png 255 196 0 OUTPUT_VARIABLE probe RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${name}: no screenshot")
  endif()
  string(REGEX MATCH "^([0-9]+) ([-0-9.]+) ([-0-9.]+)" _ "${probe}")
  set(count ${CMAKE_MATCH_1})
  string(REGEX REPLACE "\\..*" "" x "${CMAKE_MATCH_2}")
  if(count LESS 100)
    message(FATAL_ERROR "${name}: only ${count} dart pixels in the last frame")
  endif()
  if((SIDE STREQUAL "right" AND x LESS 320) OR (SIDE STREQUAL "left" AND NOT x LESS 320))
    message(FATAL_ERROR "${name}: the dart is at x = ${x}, not on the ${SIDE} half")
  endif()
  message(STATUS "${name}: ${count} dart pixels around x = ${x}; ${${name}_out}")
endfunction()

if(MODE STREQUAL "window")
  run(first OFF)
  run(second OFF)
  run(headless ON)
  if(NOT first_out STREQUAL headless_out)
    message(FATAL_ERROR "window and headless runs differ:\n${first_out}${headless_out}")
  endif()
else()
  run(first ON)
  run(second ON)
endif()
if(NOT first_out STREQUAL second_out)
  message(FATAL_ERROR "two runs of one replay differ:\n${first_out}${second_out}")
endif()
check_dart(first)
check_dart(second)

# The catch sounds in the capture start where the summary says.
if(ONSETS)
  string(REGEX MATCH "in frames ([0-9 ]+)" _ "${first_out}")
  string(REPLACE " " ";" catches "${CMAKE_MATCH_1}")
  set(expected "")
  foreach(frame ${catches})
    math(EXPR at "${frame} * 800")
    list(APPEND expected ${at})
  endforeach()
  execute_process(COMMAND ${ONSETS} ${OUT}/first.wav OUTPUT_VARIABLE probe RESULT_VARIABLE status)
  string(REGEX MATCH "onsets([0-9 ]*)" _ "${probe}")
  string(STRIP "${CMAKE_MATCH_1}" heard)
  string(REPLACE " " ";" heard "${heard}")
  if(NOT status EQUAL 0 OR NOT catches OR NOT heard STREQUAL expected)
    message(FATAL_ERROR "catch sounds start at frames ${heard}, the summary's catches at ${expected}")
  endif()
  file(SHA256 ${OUT}/first.wav first_sum)
  file(SHA256 ${OUT}/second.wav second_sum)
  if(NOT first_sum STREQUAL second_sum)
    message(FATAL_ERROR "two runs of one replay captured different sound")
  endif()
  message(STATUS "catch sounds at ${heard}, as the summary says; both captures ${first_sum}")
endif()
