# Runs CMD with ARGS (a ;-list) and checks its exit status and that its output
# holds REGEX.
execute_process(COMMAND ${CMD} ${ARGS} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT status EQUAL STATUS)
    message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n${out}${err}")
endif()
string(FIND "${out}${err}" "${REGEX}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "output lacks \"${REGEX}\":\n${out}${err}")
endif()
