# The kelmath command started by mpirun (MPIRUN, a list: mpirun and its options; PROGRAM, the
# command; EXAMPLES, the guide's examples folder), in a fresh scratch folder WORKDIR:
#  - on one process it prints the summary the guide shows (examples/kelmath_regress.out, R's
#    numbers) and writes its files, exactly as without mpirun;
#  - on two processes a subcommand that runs as one process (robust) fails on every rank with
#    status 2, the message printed once and no file written; regress streams the file, drawing
#    the same plots to the byte, and refuses an option that needs the whole file in memory in
#    the same way;
#  - a usage error and --help are printed once, by rank 0.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
configure_file(${EXAMPLES}/mtcars.csv ${WORKDIR}/mtcars.csv COPYONLY)
set(arguments regress mtcars.csv --response mpg --columns wt,hp,qsec,am --json result.json
              --plots plots)

function(run_kelmath processes)
  execute_process(COMMAND ${MPIRUN} -np ${processes} ${PROGRAM} ${ARGN}
    WORKING_DIRECTORY ${WORKDIR} RESULT_VARIABLE status OUTPUT_VARIABLE output
    ERROR_VARIABLE errors TIMEOUT 60)
  set(status "${status}" PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

# How many times the text appears in the string.
function(count_of text string result)
  string(LENGTH "${string}" whole)
  string(REPLACE "${text}" "" rest "${string}")
  string(LENGTH "${rest}" left)
  string(LENGTH "${text}" one)
  math(EXPR times "(${whole} - ${left}) / ${one}")
  set(${result} ${times} PARENT_SCOPE)
endfunction()

run_kelmath(1 ${arguments})
file(READ ${EXAMPLES}/kelmath_regress.out expected)
if(NOT status EQUAL 0 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "on one process (status ${status}) the summary differs from the guide's:\n"
                      "${output}\n${errors}")
endif()
if(NOT EXISTS ${WORKDIR}/result.json OR NOT EXISTS ${WORKDIR}/plots/qq.svg)
  message(FATAL_ERROR "on one process the result files are missing")
endif()

file(RENAME ${WORKDIR}/plots ${WORKDIR}/plots_of_one)
file(REMOVE_RECURSE ${WORKDIR}/result.json)
run_kelmath(2 robust mtcars.csv --response mpg --columns wt,hp --json result.json)
count_of("kelmath: robust runs as one process; mpirun started it on 2 processes\n" "${errors}"
         times)
if(NOT status EQUAL 2 OR NOT times EQUAL 1 OR NOT output STREQUAL "")
  message(FATAL_ERROR "robust on two processes: status ${status}, the message ${times} times, "
                      "output '${output}':\n${errors}")
endif()
if(EXISTS ${WORKDIR}/result.json)
  message(FATAL_ERROR "robust on two processes wrote a result file")
endif()

# regress runs on every rank, streaming the file, and draws the plots of the one process.
run_kelmath(2 ${arguments})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "regress on two processes: status ${status}:\n${errors}")
endif()
foreach(plot residuals_fitted qq scale_location residuals_leverage)
  file(READ ${WORKDIR}/plots/${plot}.svg two)
  file(READ ${WORKDIR}/plots_of_one/${plot}.svg one)
  if(NOT two STREQUAL one)
    message(FATAL_ERROR "regress on two processes: plots/${plot}.svg differs from one process's")
  endif()
endforeach()

# What needs the whole file in memory is refused once, before anything is read or written.
file(REMOVE_RECURSE ${WORKDIR}/result.json ${WORKDIR}/plots)
run_kelmath(2 ${arguments} --html page.html)
count_of("--html needs the whole file in memory: it is not available with --stream or under mpirun\n"
         "${errors}" times)
if(NOT status EQUAL 2 OR NOT times EQUAL 1 OR NOT output STREQUAL "")
  message(FATAL_ERROR "regress --html on two processes: status ${status}, the message ${times} "
                      "times, output '${output}':\n${errors}")
endif()
if(EXISTS ${WORKDIR}/result.json OR EXISTS ${WORKDIR}/plots OR EXISTS ${WORKDIR}/page.html)
  message(FATAL_ERROR "regress --html on two processes wrote a result file")
endif()

run_kelmath(3 regress mtcars.csv --no-such-option)
count_of("kelmath: " "${errors}" times)
if(NOT status EQUAL 2 OR NOT times EQUAL 1)
  message(FATAL_ERROR "a usage error on three processes: status ${status}, ${times} messages:\n"
                      "${errors}")
endif()

run_kelmath(3 regress --help)
count_of("Usage: regress" "${output}" times)
if(NOT status EQUAL 0 OR NOT times EQUAL 1)
  message(FATAL_ERROR "--help on three processes: status ${status}, printed ${times} times:\n"
                      "${output}")
endif()
