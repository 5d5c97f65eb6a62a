# Interrupts the timer demo with SIGINT after 2.5 seconds while it writes to a
# file: the labels of 1.5 and 2.0 seconds must already be there.
#   -DPROGRAM=<path>  -DTIMEOUT=<timeout(1)>  -DOUTPUT=<file>
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND "${TIMEOUT}" -s INT 2.5 "${PROGRAM}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 124)
  message(FATAL_ERROR "exit status ${status}, expected 124 (ended by the interrupt)")
endif()
file(READ "${OUTPUT}" out)
if(NOT out STREQUAL "1.5 second timer\n2.0 second timer\n")
  message(FATAL_ERROR "the interrupted run left:\n'${out}'")
endif()
