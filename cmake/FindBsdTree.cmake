# The BSD red-black tree macros: <sys/tree.h> in the BSD base systems,
# <bsd/sys/tree.h> from libbsd elsewhere (Debian: libbsd-dev). Header only.
# Sets BsdTree_FOUND, and BsdTree_LIBBSD when it is libbsd's copy.
include(CheckIncludeFileCXX)
check_include_file_cxx(sys/tree.h MORVEN_HAVE_SYS_TREE_H)
if(MORVEN_HAVE_SYS_TREE_H)
  set(BsdTree_LIBBSD FALSE)
else()
  check_include_file_cxx(bsd/sys/tree.h MORVEN_HAVE_BSD_SYS_TREE_H)
  set(BsdTree_LIBBSD ${MORVEN_HAVE_BSD_SYS_TREE_H})
endif()
set(BsdTree_HEADER_FOUND FALSE)
if(MORVEN_HAVE_SYS_TREE_H OR MORVEN_HAVE_BSD_SYS_TREE_H)
  set(BsdTree_HEADER_FOUND TRUE)
endif()
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(BsdTree REQUIRED_VARS BsdTree_HEADER_FOUND)
