# Installs the built library into a scratch prefix, then builds an outside program against it
# twice: through find_package(KelMath) and through pkg-config. Both must run and fit y = 1 + 2x.
# The `kelmath` command must be installed into bin/ and run.
set(prefix ${WORKDIR}/prefix)
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR}/consumer)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  WORKING_DIRECTORY ${WORKDIR})
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_fit output)
  if(NOT output MATCHES "^${VERSION} 1\\.000000 2\\.000000")
    message(FATAL_ERROR "unexpected output: ${output}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(required include/kelmath/kelmath.h include/kelmath/kelmath_version.h
                 include/kelmath/containers/kel_matrix.h
                 include/kelmath/linear_regression/kel_linear_regression.h bin/kel_plot_sparse)
  if(NOT EXISTS ${prefix}/${required})
    message(FATAL_ERROR "missing ${required}")
  endif()
endforeach()
# Internal headers stay in the source tree, and no header is installed outside its folder.
foreach(internal containers/kel_storage.h containers/kel_dense_kernel.h linear_regression/kel_sweep.h
                 factorizations/kel_triangular_condition.h statistics/kel_student_t_table.h
                 nonlinear/kel_nonlinear_tails.h kel_matrix.h)
  if(EXISTS ${prefix}/include/kelmath/${internal})
    message(FATAL_ERROR "installed, but internal or outside its folder: ${internal}")
  endif()
endforeach()

# The command is installed beside the library and runs from there.
run(${prefix}/bin/kelmath regress --help)
if(NOT last_output MATCHES "--response")
  message(FATAL_ERROR "unexpected help of the installed kelmath: ${last_output}")
endif()

# Through the CMake package.
configure_file(${SOURCE_DIR}/CMakeLists.txt.in ${WORKDIR}/consumer/CMakeLists.txt COPYONLY)
configure_file(${SOURCE_DIR}/consumer.cpp ${WORKDIR}/consumer/consumer.cpp COPYONLY)
run(${CMAKE_COMMAND} -S ${WORKDIR}/consumer -B ${WORKDIR}/consumer/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${WORKDIR}/consumer/build)
run(${WORKDIR}/consumer/build/consumer)
expect_fit("${last_output}")
run(${WORKDIR}/consumer/build/consumer_angle)
expect_fit("${last_output}")

# Through pkg-config.
file(GLOB_RECURSE pc_files ${prefix}/*/kelmath.pc)
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs kelmath)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} ${SOURCE_DIR}/consumer.cpp -o ${WORKDIR}/consumer_pc ${flags})
run(${WORKDIR}/consumer_pc)
expect_fit("${last_output}")
run(${CXX} -DKELMATH_ANGLE_INCLUDE ${SOURCE_DIR}/consumer.cpp -o ${WORKDIR}/consumer_pc_angle ${flags})
run(${WORKDIR}/consumer_pc_angle)
expect_fit("${last_output}")

# The installed plot viewer draws a plot file beside it.
configure_file(${SOURCE_DIR}/../golden/regression_plots/Regression.stx ${WORKDIR}/Plot.stx COPYONLY)
run(${prefix}/bin/kel_plot_sparse Plot.stx)
if(NOT EXISTS ${WORKDIR}/Plot.svg)
  message(FATAL_ERROR "the installed kel_plot_sparse drew no Plot.svg")
endif()
