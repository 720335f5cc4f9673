# A user's project (this folder's CMakeLists.txt) adds the repository with add_subdirectory and
# sets no build type: KelMath defines the library and nothing else, leaves the build type
# empty, compiles the library with the user's flags plus its own -ffp-contract=off (and not
# with its own -O3 or warnings), and the user's program links and fits y = 1 + 2x. The library
# compiles once here, unoptimised as the user's empty build type asks.
include(${CMAKE_CURRENT_LIST_DIR}/embedding_support.cmake)
set(build ${WORKDIR}/build)
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
request_code_model(${build})

run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${build} -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX}
    -DKELMATH_ROOT=${SOURCE_DIR} -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)
if(last_output MATCHES "KelMath: ")
  message(FATAL_ERROR "looked for a package of the tools or tests:\n${last_output}")
endif()

configured_targets(${build} targets)
if(NOT targets STREQUAL "consumer;kelmath")
  message(FATAL_ERROR "expected the targets consumer and kelmath only, got: ${targets}")
endif()

file(STRINGS ${build}/CMakeCache.txt build_type REGEX "^CMAKE_BUILD_TYPE:")
if(NOT build_type MATCHES "^CMAKE_BUILD_TYPE:[A-Z]*=$")
  message(FATAL_ERROR "the build type was set for the user: ${build_type}")
endif()

# Every compile command: the library's carry -ffp-contract=off, none carries -O3 or -Wall, and
# the user's own file gets nothing of KelMath's.
file(READ ${build}/compile_commands.json commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")
set(library_files 0)
foreach(i RANGE ${last})
  string(JSON file GET "${commands}" ${i} file)
  string(JSON command GET "${commands}" ${i} command)
  if(command MATCHES " -O3| -Wall| -Wextra")
    message(FATAL_ERROR "KelMath's flags reached ${file}: ${command}")
  endif()
  if(file MATCHES "/lib/[a-z_]+/[a-z_]+\\.cpp$")
    math(EXPR library_files "${library_files} + 1")
    if(NOT command MATCHES " -ffp-contract=off")
      message(FATAL_ERROR "the library's ${file} compiled without -ffp-contract=off: ${command}")
    endif()
  elseif(command MATCHES "-ffp-contract")
    message(FATAL_ERROR "the library's own option reached the user's ${file}: ${command}")
  endif()
endforeach()
if(library_files LESS 10)
  message(FATAL_ERROR "only ${library_files} library sources among the compile commands")
endif()

run(${CMAKE_COMMAND} --build ${build} -j2)
run(${build}/consumer)
if(NOT last_output MATCHES "^${VERSION} 1\\.000000 2\\.000000")
  message(FATAL_ERROR "unexpected output of the user's program: ${last_output}")
endif()
