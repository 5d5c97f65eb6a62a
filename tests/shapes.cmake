# The shapes example driven by its input replay, headless and twice: exit
# status 0, one summary line, the same on both runs, and the ball (its colour
# 255 64 32) in the middle of the last frame, where the camera keeps it.
if(NOT TARGET shapes OR NOT TARGET png_probe)
  return()
endif()
set(MORVEN_SHAPES_OUT ${CMAKE_CURRENT_BINARY_DIR}/shapes-runs)
add_test(NAME shapes_replay COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:shapes> -DPROBE=$<TARGET_FILE:png_probe>
  -DREPLAY=${PROJECT_SOURCE_DIR}/examples/shapes.replay -DOUT=${MORVEN_SHAPES_OUT}
  -P ${CMAKE_CURRENT_SOURCE_DIR}/shapes/check_shapes.cmake)
