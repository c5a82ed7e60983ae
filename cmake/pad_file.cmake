# cmake -DINPUT=a -DOUTPUT=b -DSIZE=n [-DAPPEND=c] -P pad_file.cmake
# Copies INPUT to OUTPUT padded with zero bytes to exactly SIZE bytes, then appends APPEND.
# Fails loudly when INPUT is larger than SIZE: raise the constant, never truncate.
file(SIZE "${INPUT}" _size)
if(_size GREATER SIZE)
    message(FATAL_ERROR "${INPUT} is ${_size} bytes, more than its constant ${SIZE}; raise the constant in archive/format.h")
endif()
math(EXPR _pad "${SIZE} - ${_size}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy "${INPUT}" "${OUTPUT}.tmp" COMMAND_ERROR_IS_FATAL ANY)
if(_pad GREATER 0)
    execute_process(COMMAND truncate -s ${SIZE} "${OUTPUT}.tmp" COMMAND_ERROR_IS_FATAL ANY)
endif()
if(APPEND)
    execute_process(COMMAND sh -c "cat \"$1\" >> \"$2\"" sh "${APPEND}" "${OUTPUT}.tmp" COMMAND_ERROR_IS_FATAL ANY)
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
message(STATUS "${OUTPUT}: program ${_size} bytes, padded to ${SIZE}")
