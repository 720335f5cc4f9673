# Runs the `kelmath` command of the guide's example in a fresh scratch folder: its standard
# output must equal examples/kelmath_regress.out (the text the guide shows), and the result
# file and the four plots it asks for must be there. The numbers of that output are R's (the
# command's tests compare the same model on the same file with lm, car::vif and lmtest).
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
configure_file(${EXAMPLES}/mtcars.csv ${WORKDIR}/mtcars.csv COPYONLY)
execute_process(
  COMMAND ${PROGRAM} regress mtcars.csv --response mpg --columns wt,hp,qsec,am
          --json result.json --plots plots
  WORKING_DIRECTORY ${WORKDIR} RESULT_VARIABLE status OUTPUT_VARIABLE output
  ERROR_VARIABLE errors TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelmath ended with status ${status}: ${errors}")
endif()
file(READ ${EXAMPLES}/kelmath_regress.out expected)
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "the summary differs from examples/kelmath_regress.out:\n${output}")
endif()
foreach(file result.json plots/residuals_fitted.svg plots/qq.svg plots/scale_location.svg
             plots/residuals_leverage.svg)
  if(NOT EXISTS ${WORKDIR}/${file})
    message(FATAL_ERROR "kelmath did not write ${file}")
  endif()
endforeach()
