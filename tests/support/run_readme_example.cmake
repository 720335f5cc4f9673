# Runs the README's example program and checks the report it leaves in KelFile.txt.
file(REMOVE ${WORKDIR}/KelFile.txt)
execute_process(COMMAND ${PROGRAM} WORKING_DIRECTORY ${WORKDIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the README example ended with status ${status}")
endif()
file(READ ${WORKDIR}/KelFile.txt report)
# A x for A = [1 2 3; 4 5 6] and x = (1, 0, -1) is (-2, -2), of norm 2.82843.
string(FIND "${report}" "    1      -2.00000000000000e+00\n    2      -2.00000000000000e+00\n" rows)
string(FIND "${report}" "norm 2.82843" norm)
if(rows EQUAL -1 OR norm EQUAL -1)
  message(FATAL_ERROR "unexpected report:\n${report}")
endif()
