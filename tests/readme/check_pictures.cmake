# Draws the README's pictures with the current programs, as the target
# `pictures` does, and fails when a committed picture differs from them.
#   -DATLAS=<program> -DCHASE=<program> -DCOMPARE=<picture_compare>
#   -DSOURCE=<source tree> -DOUT=<dir>
cmake_minimum_required(VERSION 3.18)
set(draw ${SOURCE}/doc/draw_picture.cmake)
execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=${ATLAS} -DFRAMES=2 -DOUT=${OUT}/atlas.png -P ${draw}
  RESULT_VARIABLE status)
if(status EQUAL 0)
  execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=${CHASE} -DFRAMES=265
    -DREPLAY=${SOURCE}/examples/chase_right.replay -DOUT=${OUT}/chase.png -P ${draw} RESULT_VARIABLE status)
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the pictures could not be drawn")
endif()
set(stale "")
foreach(name atlas chase)
  execute_process(COMMAND ${COMPARE} ${SOURCE}/doc/${name}.png ${OUT}/${name}.png
    OUTPUT_VARIABLE said RESULT_VARIABLE status)
  string(STRIP "${said}" said)
  message(STATUS "doc/${name}.png: ${said}")
  if(NOT status EQUAL 0)
    list(APPEND stale doc/${name}.png)
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "${stale} no longer show what the programs draw; "
    "`cmake --build build --target pictures` draws them again")
endif()
