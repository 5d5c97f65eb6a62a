# The engine's window, loop and modules, and the atlas demo: the demo run
# headless, in a real window under Xvfb, and under valgrind.

# In-process engine tests find the modules in the build tree.
target_compile_definitions(morven_tests PRIVATE MORVEN_TEST_MODULE_DIR="${CMAKE_BINARY_DIR}")
# Tests that decode PNG files use stb_image from where the build found it.
if(stb_FOUND)
  target_link_libraries(morven_tests PRIVATE morven::stb)
endif()
set(MORVEN_ATLAS_OUT ${CMAKE_CURRENT_BINARY_DIR}/atlas-runs)
file(MAKE_DIRECTORY ${MORVEN_ATLAS_OUT})
# Runs a command under a virtual X display (exit 77, skipped, without one).
set(MORVEN_WITH_DISPLAY sh ${CMAKE_CURRENT_SOURCE_DIR}/with_display.sh)
foreach(module morven-sdl morven-opengl morven-image morven-font)
  if(TARGET ${module})
    add_dependencies(morven_tests ${module})
  endif()
endforeach()
# With SDL's headers the window tests can feed events to the SDL module.
find_package(SDL2 CONFIG QUIET)
if(TARGET morven-sdl AND TARGET SDL2::SDL2)
  target_compile_definitions(morven_tests PRIVATE MORVEN_TEST_SDL)
  target_include_directories(morven_tests SYSTEM PRIVATE
    $<TARGET_PROPERTY:SDL2::SDL2,INTERFACE_INCLUDE_DIRECTORIES>)
endif()

# The unit tests that need a display, run again under Xvfb.
if(TARGET morven-sdl AND TARGET morven-opengl)
  add_test(NAME engine_window COMMAND ${MORVEN_WITH_DISPLAY}
    $<TARGET_FILE:morven_tests> --gtest_filter=EngineWindow.*:DisplayInput.*)
  set_tests_properties(engine_window PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
  add_test(NAME drawing_window COMMAND ${MORVEN_WITH_DISPLAY}
    $<TARGET_FILE:morven_tests> --gtest_filter=DrawingWindow.*)
  set_tests_properties(drawing_window PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endif()

# valgrind memcheck of a headless run of the demo.
find_program(MORVEN_VALGRIND valgrind)
if(MORVEN_VALGRIND AND TARGET atlas)
  add_test(NAME atlas_valgrind COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
    MORVEN_MAX_FRAMES=2 MORVEN_SCREENSHOT=${MORVEN_ATLAS_OUT}/valgrind.png
    ${MORVEN_VALGRIND} --error-exitcode=1 --leak-check=full $<TARGET_FILE:atlas>)
  set_tests_properties(atlas_valgrind PROPERTIES LABELS valgrind)
endif()

if(NOT stb_FOUND)
  morven_missing(stb libstb-dev "atlas demo picture tests")
endif()
if(NOT TARGET atlas OR NOT stb_FOUND)
  return()
endif()

# Runs the demo with a given environment and checks its output and picture.
add_executable(atlas_run atlas_run.cpp)
target_link_libraries(atlas_run PRIVATE morven_objects morven::stb)
foreach(module morven-sdl morven-opengl morven-image)
  if(TARGET ${module})
    add_dependencies(atlas_run ${module})
  endif()
endforeach()

add_test(NAME atlas_headless COMMAND atlas_run headless $<TARGET_FILE:atlas> ${MORVEN_ATLAS_OUT}/headless)
add_test(NAME atlas_zero_frames COMMAND atlas_run zero $<TARGET_FILE:atlas> ${MORVEN_ATLAS_OUT}/zero)

# A real window needs the SDL and OpenGL modules and an X server; Xvfb with
# Mesa's software OpenGL stands in for a display.
if(TARGET morven-sdl AND TARGET morven-opengl)
  add_test(NAME atlas_window COMMAND ${MORVEN_WITH_DISPLAY}
    $<TARGET_FILE:atlas_run> window $<TARGET_FILE:atlas> ${MORVEN_ATLAS_OUT}/window)
  set_tests_properties(atlas_window PROPERTIES SKIP_RETURN_CODE 77
    # Leak checking covers MORVEN's code in the other runs, not the X and GL stacks.
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endif()
