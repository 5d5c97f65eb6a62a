# Sound: the file tests decode files that libsndfile writes (test-only use of
# it), with the Sound module from the build tree; the SDL audio device runs
# under Xvfb with SDL's disk driver, whose file must hold what was captured.
if(TARGET morven-sound)
  add_dependencies(morven_tests morven-sound)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(MORVEN_TEST_SNDFILE_PC QUIET IMPORTED_TARGET sndfile)
  endif()
  if(TARGET PkgConfig::MORVEN_TEST_SNDFILE_PC)
    target_link_libraries(morven_tests PRIVATE PkgConfig::MORVEN_TEST_SNDFILE_PC)
    target_compile_definitions(morven_tests PRIVATE MORVEN_TEST_SNDFILE=1)
    # The sanitizer's runtime finds the test's leak suppressions by name.
    if(MORVEN_ANY_SANITIZER)
      target_link_options(morven_tests PRIVATE -Wl,--export-dynamic-symbol=__lsan_default_suppressions)
    endif()
  endif()
endif()

if(TARGET morven-sdl)
  add_executable(sound_device_run sound/device_run.cpp)
  target_link_libraries(sound_device_run PRIVATE MORVEN m)
  add_dependencies(sound_device_run morven-sdl)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/sound-device)
  file(MAKE_DIRECTORY ${out})
  add_test(NAME sound_sdl_disk_device COMMAND ${CMAKE_COMMAND} -E env --unset=MORVEN_INPUT_SCRIPT
    --unset=MORVEN_MAX_FRAMES SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=${out}/played.raw
    MORVEN_AUDIO_CAPTURE=${out}/captured.wav MORVEN_MODULE_PATH=${CMAKE_BINARY_DIR}
    sh ${CMAKE_CURRENT_SOURCE_DIR}/with_display.sh $<TARGET_FILE:sound_device_run> ${out}/played.raw ${out}/captured.wav)
  set_tests_properties(sound_sdl_disk_device PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endif()
