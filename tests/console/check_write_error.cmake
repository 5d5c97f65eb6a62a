# Runs PROGRAM with a standard output that cannot be written and checks that
# the program says so: exit status 1 and the one line "NAME: write error: ..."
# on standard error, and that it ends (the test's timeout catches a hang).
#   -DPROGRAM=<path>
#   -DNAME=<the program's name in its messages>
#   -DINPUT=<file>|endless   standard input; endless: "p" lines without end
#   -DOUTPUT=full|closed|pipe|readerless-pipe
#                            /dev/full; a closed descriptor; a pipe whose
#                            reader takes one line and leaves; a pipe whose
#                            reader left before the program started (for a
#                            program that writes all at once). SIGPIPE ignored.
#   -DSCRATCH=<prefix>       where to keep <prefix>.err and <prefix>.status
cmake_minimum_required(VERSION 3.25)

if(INPUT STREQUAL "endless")
  set(feed "yes p")
else()
  set(feed "cat \"$1\"")
endif()
set(delay 0)
set(redirect "")
set(reader "")
if(OUTPUT STREQUAL "full")
  set(redirect ">/dev/full")
elseif(OUTPUT STREQUAL "closed")
  set(redirect ">&-")
elseif(OUTPUT STREQUAL "pipe")
  set(reader "| head -n 1 >/dev/null")
elseif(OUTPUT STREQUAL "readerless-pipe")
  set(reader "| true")
  set(delay 1)
else()
  message(FATAL_ERROR "OUTPUT must be full, closed, pipe or readerless-pipe")
endif()

file(REMOVE "${SCRATCH}.err" "${SCRATCH}.status")
set(script "trap '' PIPE; ${feed} 2>/dev/null | { sleep ${delay}; \"$0\" 2>\"$2\" ${redirect}; echo $? >\"$3\"; } ${reader}")
execute_process(COMMAND sh -c "${script}" "${PROGRAM}" "${INPUT}" "${SCRATCH}.err" "${SCRATCH}.status")

file(READ "${SCRATCH}.status" status)
string(STRIP "${status}" status)
file(READ "${SCRATCH}.err" err)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "exit status ${status}, expected 1; standard error:\n${err}")
endif()
if(NOT err MATCHES "^${NAME}: write error: [^\n]+\n$")
  message(FATAL_ERROR "standard error is not one line '${NAME}: write error: <reason>':\n${err}")
endif()
