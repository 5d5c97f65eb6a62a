# Runs PROGRAM with INPUT as standard input and compares what it writes.
#   -DPROGRAM=<path>        program to run
#   -DINPUT=<file>          standard input
#   -DEXPECTED=<file>       standard output, byte for byte
#   -DEXPECTED_ERR=<file>   optional: standard error, byte for byte
#   -DACTUAL=<prefix>       where to keep the output (<prefix>.out, <prefix>.err)
#   -DWRAPPER=<a|b|c>       optional command put in front of PROGRAM ("|" separates arguments)
#   -DSORTED=ON             optional: the output is a prompt followed by lines in
#                           no fixed order; EXPECTED holds the prompt on its
#                           first line, then those lines sorted
#   -DSAMPLE_DIR=<dir>      optional: (re)create the directory-listing sample tree there
cmake_minimum_required(VERSION 3.25)

if(DEFINED SAMPLE_DIR)
  # The directory itself stays: it is the program's working directory.
  file(REMOVE_RECURSE "${SAMPLE_DIR}/sample dir" "${SAMPLE_DIR}/ padded ")
  file(MAKE_DIRECTORY "${SAMPLE_DIR}/sample dir/sub dir" "${SAMPLE_DIR}/ padded ")
  foreach(name "alpha" "with blank" " leading blank" "trailing blank ")
    file(WRITE "${SAMPLE_DIR}/sample dir/${name}" "")
  endforeach()
  file(WRITE "${SAMPLE_DIR}/ padded /only" "")
endif()

set(command "${PROGRAM}")
if(WRAPPER)
  string(REPLACE "|" ";" wrapper "${WRAPPER}")
  set(command ${wrapper} "${PROGRAM}")
endif()

execute_process(COMMAND ${command}
  INPUT_FILE "${INPUT}"
  OUTPUT_FILE "${ACTUAL}.out"
  ERROR_FILE "${ACTUAL}.err"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(READ "${ACTUAL}.err" err)
  message(FATAL_ERROR "exit status ${status}, expected 0\n${err}")
endif()

# Fails with a unified diff and `what` unless the two files are equal.
function(expect_same_file expected actual what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${expected}" "${actual}" RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    find_program(DIFF diff)
    if(DIFF)
      execute_process(COMMAND ${DIFF} -u "${expected}" "${actual}" OUTPUT_VARIABLE d)
      message("${d}")
    endif()
    message(FATAL_ERROR "${what} differs from ${expected}")
  endif()
endfunction()

if(SORTED)
  file(READ "${ACTUAL}.out" out)
  file(READ "${EXPECTED}" expected)
  string(FIND "${expected}" "\n" n)
  string(SUBSTRING "${expected}" 0 ${n} prompt)
  string(SUBSTRING "${out}" 0 ${n} head)
  if(NOT head STREQUAL prompt)
    message(FATAL_ERROR "output does not start with '${prompt}':\n${out}")
  endif()
  string(SUBSTRING "${out}" ${n} -1 rest)
  if(NOT rest MATCHES "\n$")
    message(FATAL_ERROR "output does not end with a line end:\n${out}")
  endif()
  string(REGEX REPLACE "\n$" "" rest "${rest}")
  string(REPLACE "\n" ";" lines "${rest}")
  list(SORT lines)
  string(REPLACE ";" "\n" sorted "${lines}")
  file(WRITE "${ACTUAL}.sorted" "${prompt}\n${sorted}\n")
  expect_same_file("${EXPECTED}" "${ACTUAL}.sorted" "listed names")
else()
  expect_same_file("${EXPECTED}" "${ACTUAL}.out" "standard output")
endif()

if(DEFINED EXPECTED_ERR)
  expect_same_file("${EXPECTED_ERR}" "${ACTUAL}.err" "standard error")
endif()
