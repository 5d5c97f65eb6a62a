# The README's pictures, drawn by the examples themselves (headless, on the
# software renderer). `cmake --build build --target pictures` rewrites
# doc/atlas.png and doc/chase.png; the test `readme.pictures` draws them again
# into the build tree and compares the pixels with the committed files.

# morven_picture_commands(<out-dir> <variable>): the commands that draw both
# pictures into <out-dir>, as a list of COMMAND arguments.
function(morven_picture_commands out variable)
  set(draw ${PROJECT_SOURCE_DIR}/doc/draw_picture.cmake)
  set(${variable}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:atlas> -DFRAMES=2 -DOUT=${out}/atlas.png -P ${draw}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:chase> -DFRAMES=265
            -DREPLAY=${PROJECT_SOURCE_DIR}/examples/chase_right.replay -DOUT=${out}/chase.png -P ${draw}
    PARENT_SCOPE)
endfunction()

if(TARGET atlas AND TARGET chase)
  morven_picture_commands(${PROJECT_SOURCE_DIR}/doc commands)
  add_custom_target(pictures ${commands}
    COMMENT "Drawing doc/atlas.png and doc/chase.png with the examples"
    VERBATIM)
  foreach(target atlas chase morven-image)
    if(TARGET ${target})
      add_dependencies(pictures ${target})
    endif()
  endforeach()
endif()
