# Helpers of check_without_packages.cmake and check_subdirectory.cmake.
cmake_minimum_required(VERSION 3.25)

# Runs a command in WORKDIR; fails the test on a non-zero exit. Its standard output and error,
# together, are left in last_output.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  WORKING_DIRECTORY ${WORKDIR})
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}${err}" PARENT_SCOPE)
endfunction()

# Asks CMake's file API of the build folder (before its configure) for the code model.
function(request_code_model build_dir)
  file(WRITE ${build_dir}/.cmake/api/v1/query/codemodel-v2 "")
endfunction()

# The names of every target the configure of build_dir defined, into the variable out.
function(configured_targets build_dir out)
  set(reply ${build_dir}/.cmake/api/v1/reply)
  file(GLOB index ${reply}/index-*.json)
  file(READ ${index} content)
  string(JSON model_file GET "${content}" reply codemodel-v2 jsonFile)
  file(READ ${reply}/${model_file} model)
  string(JSON count LENGTH "${model}" configurations 0 targets)
  set(names)
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    string(JSON name GET "${model}" configurations 0 targets ${i} name)
    list(APPEND names ${name})
  endforeach()
  list(SORT names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()
