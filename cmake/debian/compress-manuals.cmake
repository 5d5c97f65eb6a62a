# Run by CPack on the staging tree before it makes the packages: Debian
# ships manual pages gzip-compressed, and a link page points at the
# compressed file under the compressed name.
file(GLOB_RECURSE pages LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*.[0-9]")
list(FILTER pages INCLUDE REGEX "/share/man/man[0-9]/[^/]+$")
foreach(page IN LISTS pages)
  if(IS_SYMLINK "${page}")
    file(READ_SYMLINK "${page}" target)
    file(REMOVE "${page}")
    file(CREATE_LINK "${target}.gz" "${page}.gz" SYMBOLIC)
  else()
    execute_process(COMMAND gzip -n -9 -f "${page}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip failed on ${page}")
    endif()
  endif()
endforeach()
