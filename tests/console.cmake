# Console programs: transcript tests of set and directory, memory checks under
# valgrind, and the ten-second timer demo (label slow).

set(MORVEN_TRANSCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/console/transcripts)
set(MORVEN_TRANSCRIPT_RUNNER ${CMAKE_CURRENT_SOURCE_DIR}/console/run_transcript.cmake)
set(MORVEN_TRANSCRIPT_OUT ${CMAKE_CURRENT_BINARY_DIR}/transcripts)
file(MAKE_DIRECTORY ${MORVEN_TRANSCRIPT_OUT})

# morven_add_transcript(<test> <program> <case> [LABELS ...] [WRAPPER ...] [ARGS ...])
function(morven_add_transcript test program case)
  cmake_parse_arguments(T "" "" "LABELS;WRAPPER;ARGS" ${ARGN})
  set(args
    -DPROGRAM=$<TARGET_FILE:${program}>
    -DINPUT=${MORVEN_TRANSCRIPTS}/${case}.in
    -DEXPECTED=${MORVEN_TRANSCRIPTS}/${case}.out
    -DACTUAL=${MORVEN_TRANSCRIPT_OUT}/${test})
  if(EXISTS ${MORVEN_TRANSCRIPTS}/${case}.err)
    list(APPEND args -DEXPECTED_ERR=${MORVEN_TRANSCRIPTS}/${case}.err)
  endif()
  if(T_WRAPPER)
    string(REPLACE ";" "|" wrapper "${T_WRAPPER}")
    list(APPEND args "-DWRAPPER=${wrapper}")
  endif()
  add_test(NAME ${test} COMMAND ${CMAKE_COMMAND} ${args} ${T_ARGS} -P ${MORVEN_TRANSCRIPT_RUNNER})
  if(T_LABELS)
    set_tests_properties(${test} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

set(MORVEN_SET_CASES set_basic set_input set_long set_shapes set_empty_input set_line_any_length)
foreach(case ${MORVEN_SET_CASES})
  morven_add_transcript(transcript.${case} set ${case} LABELS transcript)
endforeach()

# The directory cases run inside a sample tree that the runner (re)creates;
# each test gets its own so they may run in parallel.
set(MORVEN_SORTED_CASES directory_list directory_padded directory_long)
set(MORVEN_DIRECTORY_CASES ${MORVEN_SORTED_CASES}
  directory_missing directory_trailing_blank directory_empty_line directory_no_input)
function(morven_add_directory_transcript test case)
  set(sample ${MORVEN_TRANSCRIPT_OUT}/${test}.tree)
  set(args -DSAMPLE_DIR=${sample})
  if(case IN_LIST MORVEN_SORTED_CASES)
    list(APPEND args -DSORTED=ON)
  endif()
  morven_add_transcript(${test} directory ${case} ${ARGN} ARGS ${args})
  # The runner creates the tree before the program starts in it.
  file(MAKE_DIRECTORY ${sample})
  set_tests_properties(${test} PROPERTIES WORKING_DIRECTORY ${sample})
endfunction()
foreach(case ${MORVEN_DIRECTORY_CASES})
  morven_add_directory_transcript(transcript.${case} ${case} LABELS transcript)
endforeach()

find_program(MORVEN_VALGRIND valgrind)
if(MORVEN_VALGRIND)
  set(memcheck ${MORVEN_VALGRIND} -q --error-exitcode=1 --leak-check=full
    --errors-for-leak-kinds=definite,indirect,possible)
  foreach(case set_basic set_input set_long set_shapes)
    morven_add_transcript(valgrind.${case} set ${case} LABELS valgrind WRAPPER ${memcheck})
  endforeach()
  foreach(case directory_list directory_missing directory_no_input)
    morven_add_directory_transcript(valgrind.${case} ${case} LABELS valgrind WRAPPER ${memcheck})
  endforeach()
endif()

add_test(NAME timer.demo
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:timer> -P ${CMAKE_CURRENT_SOURCE_DIR}/console/check_timer.cmake)
set_tests_properties(timer.demo PROPERTIES LABELS slow TIMEOUT 60)

# The unit tests run the set program to compare its tree views with the core's tree.
add_dependencies(morven_tests set)
target_compile_definitions(morven_tests PRIVATE MORVEN_SET_PROGRAM="$<TARGET_FILE:set>")

# Output that cannot be written is an error, not a success: /dev/full, a
# closed standard output, and a pipe whose reader leaves early.
set(MORVEN_WRITE_ERROR_CHECK ${CMAKE_CURRENT_SOURCE_DIR}/console/check_write_error.cmake)
file(WRITE ${MORVEN_TRANSCRIPT_OUT}/current_directory.in ".\n")
function(morven_add_write_error program name input output)
  set(test write_error.${program}_${output})
  set(args -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${name} -DINPUT=${input} -DOUTPUT=${output}
    -DSCRATCH=${MORVEN_TRANSCRIPT_OUT}/${test})
  add_test(NAME ${test} COMMAND ${CMAKE_COMMAND} ${args} -P ${MORVEN_WRITE_ERROR_CHECK})
  set_tests_properties(${test} PROPERTIES LABELS console TIMEOUT 30)
endfunction()
foreach(output full closed)
  morven_add_write_error(set morven-set ${MORVEN_TRANSCRIPTS}/set_basic.in ${output})
  morven_add_write_error(directory morven-directory ${MORVEN_TRANSCRIPT_OUT}/current_directory.in ${output})
  morven_add_write_error(timer morven-timer /dev/null ${output})
endforeach()
# set keeps reading commands only while its answers can go somewhere.
morven_add_write_error(set morven-set endless pipe)
# The listing leaves in one write at the end.
morven_add_write_error(directory morven-directory ${MORVEN_TRANSCRIPT_OUT}/current_directory.in readerless-pipe)
# The second label (at 2 s) finds the reader gone after the first.
morven_add_write_error(timer morven-timer /dev/null pipe)

find_program(MORVEN_TIMEOUT timeout)
if(MORVEN_TIMEOUT)
  add_test(NAME timer.interrupted_run_keeps_its_labels
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:timer> -DTIMEOUT=${MORVEN_TIMEOUT}
            -DOUTPUT=${MORVEN_TRANSCRIPT_OUT}/timer_interrupted.out -P ${CMAKE_CURRENT_SOURCE_DIR}/console/check_timer_interrupt.cmake)
  set_tests_properties(timer.interrupted_run_keeps_its_labels PROPERTIES LABELS console TIMEOUT 30)
endif()
