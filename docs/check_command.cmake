# Runs an example of the `kelmath` command from the guide in a fresh scratch folder: its standard
# output must equal examples/${EXPECTED} (the text the guide shows), and the files it asks for
# must be there. SUBCOMMAND is the subcommand (default regress), DATA the example's CSV file in
# examples/, INPUTS other files of examples/ it reads, ARGUMENTS the command's arguments after
# the data (a CMake list), FILES the result files to find. The numbers of those outputs are R's
# (the command's tests compare the same models on the same files with lm, car::vif and lmtest).
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
if(NOT DEFINED SUBCOMMAND)
  set(SUBCOMMAND regress)
endif()
foreach(input IN LISTS DATA INPUTS)
  configure_file(${EXAMPLES}/${input} ${WORKDIR}/${input} COPYONLY)
endforeach()
execute_process(
  COMMAND ${PROGRAM} ${SUBCOMMAND} ${DATA} ${ARGUMENTS}
  WORKING_DIRECTORY ${WORKDIR} RESULT_VARIABLE status OUTPUT_VARIABLE output
  ERROR_VARIABLE errors TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelmath ended with status ${status}: ${errors}")
endif()
file(READ ${EXAMPLES}/${EXPECTED} expected)
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "the summary differs from examples/${EXPECTED}:\n${output}")
endif()
foreach(file IN LISTS FILES)
  if(NOT EXISTS ${WORKDIR}/${file})
    message(FATAL_ERROR "kelmath did not write ${file}")
  endif()
endforeach()
