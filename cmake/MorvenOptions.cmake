# The switches a packager or a developer sets, each with the default a plain
# `cmake -S . -B build` gets.

# Tests: CTest's own switch. The project's former name still works.
if(DEFINED MORVEN_BUILD_TESTS AND NOT DEFINED BUILD_TESTING)
  set(BUILD_TESTING "${MORVEN_BUILD_TESTS}" CACHE BOOL "Build the tests")
endif()
option(BUILD_TESTING "Build the tests" ON)

option(MORVEN_BUILD_EXAMPLES "Build the example programs" ON)
include(CMakeDependentOption)
cmake_dependent_option(MORVEN_INSTALL_EXAMPLES "Install the example programs, their data and section-1 pages"
  ON MORVEN_BUILD_EXAMPLES OFF)

# Benchmarks probe for their peers (GLib, libbsd, Google Benchmark): only a
# developer asks for them, and only when MORVEN is not built inside another project.
option(MORVEN_BUILD_BENCH "Build the benchmarks (only when MORVEN is the top-level project)" OFF)
if(MORVEN_BUILD_BENCH AND NOT CMAKE_SOURCE_DIR STREQUAL PROJECT_SOURCE_DIR)
  message(STATUS "MORVEN_BUILD_BENCH ignored: MORVEN is not the top-level project")
  set(MORVEN_BUILD_BENCH OFF)
endif()

# Run path to the library in the installed programs and in morven.pc's link
# line, so that an install in any prefix runs as it is. Distributions install
# to the system's library directory and want none.
option(MORVEN_RPATH "Installed programs and morven.pc carry a run path to the library" ON)

# The engine-thread checks abort on an engine call from a second thread.
# Debug builds want them; a release or distribution build must not abort.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(morven_thread_checks_default ON)
else()
  set(morven_thread_checks_default OFF)
endif()
option(MORVEN_THREAD_CHECKS "Abort on an engine call from a thread that is not the engine's"
  ${morven_thread_checks_default})

# Compiled-in file names (assert messages, debug information) name the
# source and build directories; they are mapped to fixed names so that no
# installed file carries the directory the engine was built in.
include(CheckCCompilerFlag)
check_c_compiler_flag("-ffile-prefix-map=/a=b" MORVEN_HAVE_FILE_PREFIX_MAP)
if(MORVEN_HAVE_FILE_PREFIX_MAP)
  add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=" "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
endif()
