# Draws one of the README's pictures with the program itself, headless:
#   cmake -DPROGRAM=<program> -DFRAMES=<n> [-DREPLAY=<input script>] -DOUT=<file.png> -P draw_picture.cmake
# The same runs make doc/*.png (target `pictures`) and the pictures the test
# compares with them.
cmake_minimum_required(VERSION 3.18)
set(env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=MORVEN_MODULE_PATH --unset=MORVEN_THREADS
    MORVEN_MAX_FRAMES=${FRAMES})
if(REPLAY)
  list(APPEND env MORVEN_INPUT_SCRIPT=${REPLAY})
else()
  list(APPEND env --unset=MORVEN_INPUT_SCRIPT)
endif()
get_filename_component(dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${dir}")
file(REMOVE "${OUT}.new")
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${env} MORVEN_SCREENSHOT=${OUT}.new ${PROGRAM}
  OUTPUT_QUIET ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS "${OUT}.new")
  message(FATAL_ERROR "${PROGRAM} did not draw ${OUT} (exit status ${status}):\n${err}")
endif()
if(err MATCHES "no dart image")
  message(FATAL_ERROR "${PROGRAM} drew without its image:\n${err}")
endif()
file(RENAME "${OUT}.new" "${OUT}")
