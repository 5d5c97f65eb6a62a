# The libraries behind the "Sound" module (libsndfile decodes, libsamplerate
# resamples) as one interface target, morven_sound_files, for the module, its
# fuzz target and the benchmark. Sets MORVEN_SOUND_FILES when both are found.
set(MORVEN_SOUND_FILES OFF)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(SNDFILE QUIET IMPORTED_TARGET sndfile)
  pkg_check_modules(SAMPLERATE QUIET IMPORTED_TARGET samplerate)
endif()
if(TARGET PkgConfig::SNDFILE AND TARGET PkgConfig::SAMPLERATE)
  set(MORVEN_SOUND_FILES ON)
  add_library(morven_sound_files INTERFACE)
  target_include_directories(morven_sound_files INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(morven_sound_files INTERFACE PkgConfig::SNDFILE PkgConfig::SAMPLERATE m)
else()
  morven_missing(libsndfile "libsndfile1-dev libsamplerate0-dev pkg-config" "Sound module (sound files), its fuzz target and benchmark")
endif()
