# Module search: a library found through a relative path that then changes
# directory, relative MORVEN_MODULE_PATH entries, a FIFO in a module's place.
if(MORVEN_ANY_SANITIZER)
  return()  # the probe loads the library with dlopen, without the sanitizer runtime first
endif()
add_library(morven_hostile_module MODULE ${CMAKE_CURRENT_SOURCE_DIR}/modules/hostile_module.c)
add_executable(module_relative_probe ${CMAKE_CURRENT_SOURCE_DIR}/modules/relative_probe.c)
target_link_libraries(module_relative_probe PRIVATE ${CMAKE_DL_LIBS})
add_test(NAME modules.only_absolute_directories
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/modules/run.sh $<TARGET_FILE:MORVEN>
          $<TARGET_FILE:morven_hostile_module> $<TARGET_FILE:module_relative_probe>
          ${CMAKE_CURRENT_BINARY_DIR}/modules-check)
