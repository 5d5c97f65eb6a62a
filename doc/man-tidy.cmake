# Turns doxygen's man3 output into the installed section-3 pages: one page per
# public header, named morven_<header>.3, tidied by man-tidy.awk, and one
# symbolic link per function, type and constant pointing at its header's page.
# Doxygen's pages for struct members, anonymous enums and directories go.
# -DDOXYGEN_MAN=<doxygen man3 dir> -DMAN3=<man3 dir> -DAWK=<awk> -DTIDY=<man-tidy.awk>
# -DVERSION=<project version> [-DHTML=<doxygen html dir>, whose quotes it also restores]
cmake_minimum_required(VERSION 3.25)
foreach(var DOXYGEN_MAN MAN3 AWK TIDY VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "man-tidy.cmake needs -D${var}=...")
  endif()
endforeach()

string(TIMESTAMP date "%Y-%m-%d" UTC)  # honours SOURCE_DATE_EPOCH
set(keep_regex "^_?(mv|MV)[A-Za-z0-9_]*$")

# Earlier output of this script goes; hand-written pages stay.
file(GLOB old_pages ${MAN3}/morven_*.h.3)
file(GLOB candidates ${MAN3}/*.3)
foreach(candidate ${candidates})
  if(IS_SYMLINK ${candidate})
    list(APPEND old_pages ${candidate})
  endif()
endforeach()
if(old_pages)
  file(REMOVE ${old_pages})
endif()
file(MAKE_DIRECTORY ${MAN3})

file(GLOB pages RELATIVE ${DOXYGEN_MAN} ${DOXYGEN_MAN}/*.3)
set(headers "")
set(links "")
foreach(page ${pages})
  string(REGEX REPLACE "\\.3$" "" name "${page}")
  file(STRINGS ${DOXYGEN_MAN}/${page} first LIMIT_COUNT 1)
  if(first MATCHES "^\\.so man3/(.+)\\.3$")
    set(target "${CMAKE_MATCH_1}")
    if(name MATCHES "${keep_regex}")
      set("target_${name}" "${target}")
      list(APPEND links ${name})
    endif()
  elseif(name MATCHES "^[a-z0-9_]+\\.h$")
    list(APPEND headers ${name})
  endif()
endforeach()

# Every kept name leads, possibly through its struct's page, to a header page.
foreach(name ${links})
  set(target "${target_${name}}")
  foreach(step RANGE 3)
    if(target IN_LIST headers OR NOT target MATCHES "${keep_regex}" OR NOT DEFINED "target_${target}")
      break()
    endif()
    set(target "${target_${target}}")
  endforeach()
  if(NOT target IN_LIST headers)
    message(WARNING "${name}: no header page (doxygen links it to ${target_${name}})")
    continue()
  endif()
  set("header_${name}" "${target}")
  if(name MATCHES "^_?mv")
    string(APPEND "functions_${target}" ", ${name}")
  endif()
endforeach()

foreach(header ${headers})
  execute_process(
    COMMAND ${AWK} -v title=morven_${header} -v date=${date} -v version=${VERSION}
            -v header=morven/${header} -v "names=morven_${header}${functions_${header}}"
            -f ${TIDY} ${DOXYGEN_MAN}/${header}.3
    OUTPUT_FILE ${MAN3}/morven_${header}.3
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${AWK} failed on ${DOXYGEN_MAN}/${header}.3")
  endif()
endforeach()
foreach(name ${links})
  if(DEFINED "header_${name}" AND NOT EXISTS ${MAN3}/${name}.3)
    file(CREATE_LINK morven_${header_${name}}.3 ${MAN3}/${name}.3 SYMBOLIC)
  endif()
endforeach()
list(LENGTH headers header_count)
list(LENGTH links link_count)
message(STATUS "Manual: ${header_count} header pages, ${link_count} links in ${MAN3}")

# The HTML rendering of the same run gets its double quotes back too.
if(DEFINED HTML AND IS_DIRECTORY ${HTML})
  file(GLOB html_pages ${HTML}/*.html)
  foreach(page ${html_pages})
    file(READ ${page} text)
    if(text MATCHES "zzDQzz")
      string(REPLACE "zzDQzz" "&quot;" text "${text}")
      file(WRITE ${page} "${text}")
    endif()
  endforeach()
endif()
