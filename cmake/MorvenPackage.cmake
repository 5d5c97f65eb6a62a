# Debian packages made by CPack from the install components (`cpack -G DEB`
# in a build configured with -DCMAKE_INSTALL_PREFIX=/usr; .ci/debian.sh):
#   libmorven0       runtime: the library and its modules
#   libmorven-dev    development: headers, link name, morven.pc, CMake package, section 3
#   morven-examples  the example programs, their data and section-1 pages
# dpkg-shlibdeps works out what each package needs from the libraries its
# files link, so libmorven0 depends on SDL2 and libGL through its modules.

set(MORVEN_DEBIAN_DOC ${PROJECT_BINARY_DIR}/debian-doc)
set(MORVEN_DEBIAN_PACKAGES runtime libmorven0 development libmorven-dev examples morven-examples)
string(TIMESTAMP MORVEN_DEBIAN_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(MORVEN_DEBIAN_MAINTAINER "MORVEN developers <morven-devel@lists.morven.invalid>")
# Every package brings its copyright and changelog; only a component install
# (as CPack makes) puts them in, not a plain `cmake --install`.
while(MORVEN_DEBIAN_PACKAGES)
  list(POP_FRONT MORVEN_DEBIAN_PACKAGES component package)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${MORVEN_DEBIAN_DOC}/${package}/copyright COPYONLY)
  file(WRITE ${MORVEN_DEBIAN_DOC}/${package}/changelog.Debian
    "${package} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Packaged from the MORVEN source tree.\n\n"
    " -- ${MORVEN_DEBIAN_MAINTAINER}  ${MORVEN_DEBIAN_DATE}\n")
  add_custom_command(OUTPUT ${MORVEN_DEBIAN_DOC}/${package}/changelog.Debian.gz
    COMMAND gzip -n -9 -f -k ${MORVEN_DEBIAN_DOC}/${package}/changelog.Debian
    DEPENDS ${MORVEN_DEBIAN_DOC}/${package}/changelog.Debian VERBATIM)
  list(APPEND MORVEN_DEBIAN_CHANGELOGS ${MORVEN_DEBIAN_DOC}/${package}/changelog.Debian.gz)
  install(FILES ${MORVEN_DEBIAN_DOC}/${package}/copyright ${MORVEN_DEBIAN_DOC}/${package}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
endwhile()
add_custom_target(debian-changelogs ALL DEPENDS ${MORVEN_DEBIAN_CHANGELOGS})

set(CPACK_PACKAGE_NAME morven)
set(CPACK_PACKAGE_VENDOR "MORVEN developers")
set(CPACK_PACKAGE_CONTACT "${MORVEN_DEBIAN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small 2-D game and multimedia engine")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_COMPONENTS_ALL runtime development examples)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MORVEN_DEBIAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs link libMORVEN.so.0 of the runtime package being made beside
# them: dpkg-shlibdeps finds it in that package's staging tree.
set(CPACK_PACKAGE_FILE_NAME morven-${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${PROJECT_BINARY_DIR}/_CPack_Packages/${CMAKE_SYSTEM_NAME}/DEB/${CPACK_PACKAGE_FILE_NAME}/runtime${CMAKE_INSTALL_FULL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# Manual pages are compressed in the staging tree (CMake 3.19 or later).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/compress-manuals.cmake)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libmorven0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# ldconfig runs through dpkg's trigger once the library is unpacked.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libmorven-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "pkg-config | pkgconf")
set(CPACK_DEBIAN_EXAMPLES_PACKAGE_NAME morven-examples)
set(CPACK_DEBIAN_EXAMPLES_PACKAGE_SECTION misc)

include(CPack)
cpack_add_component(runtime DISPLAY_NAME "Library"
  DESCRIPTION "MORVEN game engine: shared library and modules\n The shared library libMORVEN.so with its run-time modules: SDL windows,\n OpenGL drawing and image decoding through stb_image.")
cpack_add_component(development DISPLAY_NAME "Development files" DEPENDS runtime
  DESCRIPTION "MORVEN game engine: development files\n C headers, the pkg-config file, the CMake package and the manual pages\n of every function.")
cpack_add_component(examples DISPLAY_NAME "Example programs" DEPENDS runtime
  DESCRIPTION "MORVEN game engine: example programs\n The atlas demo, the chase game, a timer demo, a directory lister and an\n ordered-set exerciser, with their manual pages.")
