# Runs one demonstration program under valgrind memcheck in a scratch folder with its data
# files: any invalid access, use of uninitialised memory or definite/indirect leak fails.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
file(GLOB data_files ${DATA_DIR}/*.lrg)
if(data_files)
  file(COPY ${data_files} DESTINATION ${WORKDIR})
endif()
execute_process(
  COMMAND ${VALGRIND} --tool=memcheck --error-exitcode=99 --leak-check=full
          --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect
          --track-origins=yes --quiet ${PROGRAM}
  WORKING_DIRECTORY ${WORKDIR} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(status EQUAL 99 OR errors MATCHES "==[0-9]+== ")
  message(FATAL_ERROR "memcheck found errors in ${PROGRAM}:\n${errors}")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} ended with status ${status}:\n${errors}")
endif()
