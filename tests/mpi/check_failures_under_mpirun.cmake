# A subcommand that runs on all ranks (PROGRAM, mpi_command_check.cpp) started by MPIRUN (a list:
# mpirun and its options): its output printed once by rank 0; a failure on some ranks agreed on,
# printed once with the lowest failing rank and its line, every rank ending with status 2; a
# failure of one rank alone ending the whole run with status 2 instead of leaving the others
# waiting; on one process the message as without MPI, with no rank.
cmake_minimum_required(VERSION 3.25)

function(run processes)
  execute_process(COMMAND ${MPIRUN} -np ${processes} ${PROGRAM} probe data.csv ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 60)
  set(status "${status}" PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

# Fails unless the run ended with the status and the text appears exactly once in the stream.
function(expect what expected_status stream text)
  string(LENGTH "${${stream}}" whole)
  string(REPLACE "${text}" "" rest "${${stream}}")
  string(LENGTH "${rest}" left)
  string(LENGTH "${text}" one)
  math(EXPR times "(${whole} - ${left}) / ${one}")
  if(NOT status STREQUAL expected_status OR NOT times EQUAL 1)
    message(FATAL_ERROR "${what}: status '${status}', '${text}' ${times} times in:\n"
                        "${output}\n${errors}")
  endif()
endfunction()

run(3)
expect("no failure on 3 processes" 0 output "sum of ranks 3\n")
run(4 --fail-on last)
expect("the last of 4 failing" 2 errors "kelmath: rank 3: data.csv: line 13: not a number\n")
run(3 --fail-on all)
expect("every rank of 3 failing" 2 errors "kelmath: rank 0: data.csv: line 10: not a number\n")
if(NOT output STREQUAL "")
  message(FATAL_ERROR "a failed run printed its output:\n${output}")
endif()
run(3 --fail-on alone)
expect("the last of 3 failing alone" 2 errors "kelmath: rank 2: data.csv: failed alone\n")
run(1 --fail-on last)
expect("one process failing" 2 errors "kelmath: data.csv: line 10: not a number\n")
