# GLib through pkg-config (Debian: libglib2.0-dev, pkg-config). Sets GLib_FOUND
# and makes the target PkgConfig::GLIB.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(GLIB QUIET IMPORTED_TARGET glib-2.0)
endif()
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(GLib REQUIRED_VARS GLIB_FOUND)
