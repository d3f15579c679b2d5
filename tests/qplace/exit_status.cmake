# Runs PROG with ARGS (a ;-list) and checks its exit status against EXPECT
# and, when MATCH is given, its output (standard output and error together)
# against that regular expression.
execute_process(COMMAND ${PROG} ${ARGS} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL EXPECT)
  message(FATAL_ERROR "exit status ${rc}, expected ${EXPECT}\n${out}${err}")
endif()
if(DEFINED MATCH AND NOT "${out}${err}" MATCHES "${MATCH}")
  message(FATAL_ERROR "output does not match '${MATCH}':\n${out}${err}")
endif()
