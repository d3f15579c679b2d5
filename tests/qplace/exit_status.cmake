# Runs PROG with ARGS (a ;-list) and checks its exit status against EXPECT
# and, when MATCH is given, one of its streams against that regular
# expression: standard error when STREAM is "err", standard output when it
# is "out". Errors and warnings belong on standard error: standard output
# must never hold a "qplace: error" or "qplace: warning" line, nor a usage
# error. ABSENT, when given, is a path that must not exist after the run
# (it is removed before it).
cmake_policy(SET CMP0054 NEW)  # "out" and "err" below are words, not variables
if(DEFINED ABSENT)
  file(REMOVE_RECURSE "${ABSENT}")
endif()
execute_process(COMMAND ${PROG} ${ARGS} RESULT_VARIABLE rc OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
set(both "--- standard output:\n${stdout}--- standard error:\n${stderr}")
if(NOT rc EQUAL EXPECT)
  message(FATAL_ERROR "exit status ${rc}, expected ${EXPECT}\n${both}")
endif()
if(STREAM STREQUAL "err")
  set(checked "${stderr}")
elseif(STREAM STREQUAL "out")
  set(checked "${stdout}")
else()
  message(FATAL_ERROR "STREAM must be out or err, not '${STREAM}'")
endif()
if(DEFINED MATCH AND NOT "${checked}" MATCHES "${MATCH}")
  message(FATAL_ERROR "standard ${STREAM} does not match '${MATCH}':\n${both}")
endif()
if("${stdout}" MATCHES "qplace: (error|warning)|see qplace --help")
  message(FATAL_ERROR "an error or warning on standard output:\n${both}")
endif()
if(DEFINED ABSENT AND EXISTS "${ABSENT}")
  message(FATAL_ERROR "${ABSENT} is left after the run\n${both}")
endif()
