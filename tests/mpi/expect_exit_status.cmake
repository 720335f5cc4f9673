# Runs COMMAND (a list) and fails unless it ends, within a minute, with exit status STATUS.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE output
  ERROR_VARIABLE errors TIMEOUT 60)
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "ended with '${status}' instead of status ${STATUS}:\n${output}\n${errors}")
endif()
