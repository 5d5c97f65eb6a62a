# Runs the timer demo and checks its labels, their order and the run time.
#   -DPROGRAM=<path>
cmake_minimum_required(VERSION 3.25)

string(TIMESTAMP started "%s" UTC)
execute_process(COMMAND "${PROGRAM}" OUTPUT_VARIABLE out RESULT_VARIABLE status)
string(TIMESTAMP finished "%s" UTC)
math(EXPR seconds "${finished} - ${started}")

if(NOT status EQUAL 0)
  message(FATAL_ERROR "exit status ${status}, expected 0")
endif()
if(seconds LESS 10 OR seconds GREATER 13)
  message(FATAL_ERROR "ran for ${seconds} s, expected just over 10 s")
endif()

# Due times: 1.5 s timer at 1.5, 3, 4.5, 6, 7.5, 9; 2.0 s timer at 2, 4, 6, 8
# and maybe 10 (the window's very end); the single shot at 5. The 1.5 s timer
# was started first, so at 6 s it comes first.
set(a "1.5 second timer\n")
set(b "2.0 second timer\n")
set(c "5.0 second timer\n")
set(expected "${a}${b}${a}${b}${a}${c}${a}${b}${a}${b}${a}")
if(NOT (out STREQUAL expected OR out STREQUAL "${expected}${b}"))
  message(FATAL_ERROR "unexpected output:\n${out}")
endif()
