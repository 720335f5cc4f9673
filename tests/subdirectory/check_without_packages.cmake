# The repository configured as its own project on a machine without GoogleTest, Google
# Benchmark, CLI11 and nlohmann-json (their find_package disabled): the configure succeeds, says
# in one line each what it skips, defines no target that needs them, and the library builds.
# Only the library target is built (unoptimised, Debug): the rest of the tree is the normal
# build's business.
include(${CMAKE_CURRENT_LIST_DIR}/embedding_support.cmake)
set(build ${WORKDIR}/build)
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
request_code_model(${build})

run(${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
    -DCMAKE_BUILD_TYPE=Debug
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_CLI11=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON)
set(configure_output "${last_output}")
foreach(line "KelMath: GoogleTest not found: tests skipped"
             "KelMath: Google Benchmark not found: benchmarks skipped"
             "KelMath: CLI11 and nlohmann_json not found: the kelmath command skipped")
  string(REGEX MATCHALL "-- ${line}\n" found "${configure_output}")
  list(LENGTH found count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected once, found ${count} times: '${line}'\n${configure_output}")
  endif()
endforeach()
string(REGEX MATCHALL "KelMath: [^\n]*" skips "${configure_output}")
list(LENGTH skips count)
if(NOT count EQUAL 3)
  message(FATAL_ERROR "expected three skip lines, got: ${skips}")
endif()

configured_targets(${build} targets)
foreach(target ${targets})
  # (statistics_tests is a demonstration program; the test programs come with their support.)
  if(target MATCHES "^kelmath_test_support$|_unit_tests$|^guide_|_benchmark$|^kelmath_c")
    message(FATAL_ERROR "target ${target} defined although its package is missing: ${targets}")
  endif()
endforeach()
foreach(expected kelmath kel_plot_sparse lms_exact_minimum)
  if(NOT expected IN_LIST targets)
    message(FATAL_ERROR "target ${expected} missing: ${targets}")
  endif()
endforeach()

run(${CMAKE_COMMAND} --build ${build} --target kelmath -j2)
file(GLOB_RECURSE library ${build}/lib/*kelmath.a ${build}/lib/*kelmath.lib)
if(NOT library)
  message(FATAL_ERROR "the library was not built in ${build}/lib")
endif()
