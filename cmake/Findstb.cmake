# stb's single-file libraries (Debian: libstb-dev; FreeBSD: devel/stb).
# Sets stb_FOUND and stb_INCLUDE_DIR (the directory holding stb/), and makes
# the target morven::stb. Point stb_INCLUDE_DIR or CMAKE_PREFIX_PATH at a copy
# off the compiler's default path.
find_path(stb_INCLUDE_DIR stb/stb_image.h PATH_SUFFIXES include)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(stb REQUIRED_VARS stb_INCLUDE_DIR)
if(stb_FOUND AND NOT TARGET morven::stb)
  add_library(morven::stb INTERFACE IMPORTED)
  set_target_properties(morven::stb PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${stb_INCLUDE_DIR}")
  # System headers: their own warnings are not ours.
  set_target_properties(morven::stb PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${stb_INCLUDE_DIR}")
endif()
