# SPDX-License-Identifier: Apache-2.0
# Driven by the install_consumer test (see CMakeLists.txt beside this file). Expects:
#   QELKIT_BUILD_DIR  the configured and built library tree to install from
#   QELKIT_CONFIG     its build configuration (may be empty)
#   STAGE_DIR         the install prefix to stage into (wiped first)
#   WORK_DIR          scratch space for the consumer builds (wiped first)
#   CONSUMER_DIR      the consumer project; its main.cc must appear verbatim in README
#   EXAMPLES_DIR      the examples/ project, built against the staged install as its README says
#   SUBPROJECT_DIR    a project that builds QELKIT_SOURCE_DIR through FetchContent
#   QELKIT_SOURCE_DIR the library's source tree
#   LAUNCHER          the compiler launcher of the library build (may be empty)
#   README            the README whose usage example is the consumer's main.cc
#   GENERATOR, CXX_COMPILER  the generator and compiler of the library build
#   SHARED            BUILD_SHARED_LIBS of the library build
#   SOVERSION         the expected SONAME suffix
#   LIBDIR            CMAKE_INSTALL_LIBDIR of the library build
#   TOOL, BINDIR      whether qelkit-agg is built, and CMAKE_INSTALL_BINDIR
cmake_minimum_required(VERSION 3.25)

foreach(var QELKIT_BUILD_DIR STAGE_DIR WORK_DIR CONSUMER_DIR EXAMPLES_DIR SUBPROJECT_DIR
            QELKIT_SOURCE_DIR README GENERATOR CXX_COMPILER SOVERSION LIBDIR BINDIR)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "run_consumer.cmake: ${var} is not set")
  endif()
endforeach()

# Runs one step and stops the test with the step's output when it fails. The output of a
# successful step is left in the named variable.
function(run_step what outvar)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${what} failed (${rc}):\n${command}\n--- stdout\n${out}\n--- stderr\n${err}")
  endif()
  set(${outvar} "${out}" PARENT_SCOPE)
endfunction()

set(lib_dir ${STAGE_DIR}/${LIBDIR})
set(run_env ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${lib_dir}" TZ=UTC)
# The consumer sums the third field per quarter hour and key; a time it cannot read is skipped.
set(readings ${WORK_DIR}/readings.csv)
set(consumer_args ${readings} 0 1 2)
set(expected "2026-03-02 00:00:00\ta\t3.5\n2026-03-02 00:00:00\tb\t10\n2026-03-02 00:15:00\ta\t4\n")
# Checks what a consumer printed.
function(check_consumer_output what out)
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "the ${what} consumer printed\n${out}\nexpected\n${expected}")
  endif()
endfunction()
set(config_args)
if(QELKIT_CONFIG)
  set(config_args --config ${QELKIT_CONFIG})
endif()

# ---- The README example is the consumer's source ---------------------------------------------
file(READ ${CONSUMER_DIR}/main.cc example)
# The source's licence line is not part of the example.
string(REGEX REPLACE "^// SPDX-License-Identifier: [^\n]*\n" "" example "${example}")
file(READ ${README} readme)
string(FIND "${readme}" "${example}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the usage example in ${README} differs from ${CONSUMER_DIR}/main.cc")
endif()

# ---- Stage the install -------------------------------------------------------------------------
file(REMOVE_RECURSE ${STAGE_DIR} ${WORK_DIR})
file(WRITE ${readings} "time,device,value\n2026-03-02 00:00:00,a,1.5\n2026-03-02 00:14:59,a,2\n"
     "2026-03-02 00:15:00,a,4\n2026-03-02 00:05:00,b,10\nnever,b,7\n")
run_step("cmake --install" out
  ${CMAKE_COMMAND} --install ${QELKIT_BUILD_DIR} --prefix ${STAGE_DIR} ${config_args})

# ---- Consumer through find_package ------------------------------------------------------------
set(cmake_build ${WORK_DIR}/cmake)
run_step("configuring the consumer" out
  ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${cmake_build} -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_BUILD_TYPE=${QELKIT_CONFIG}
    -DCMAKE_PREFIX_PATH=${STAGE_DIR}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF)
# The package must come from the staged prefix, not from some other install on the machine.
file(REAL_PATH "${STAGE_DIR}" stage_real)
function(check_package_staged build)
  file(STRINGS ${build}/CMakeCache.txt found_dir REGEX "^qelkit_DIR:")
  string(REGEX REPLACE "^qelkit_DIR:[A-Z]+=" "" found_dir "${found_dir}")
  file(REAL_PATH "${found_dir}" found_dir)
  string(FIND "${found_dir}" "${stage_real}/" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "find_package(qelkit) used ${found_dir}, not the staged ${STAGE_DIR}")
  endif()
endfunction()
check_package_staged(${cmake_build})
run_step("building the consumer" out ${CMAKE_COMMAND} --build ${cmake_build} ${config_args})
if(QELKIT_CONFIG AND EXISTS ${cmake_build}/${QELKIT_CONFIG}/qelkit_consumer)
  set(consumer ${cmake_build}/${QELKIT_CONFIG}/qelkit_consumer)
else()
  set(consumer ${cmake_build}/qelkit_consumer)
endif()
run_step("running the find_package consumer" out ${run_env} ${consumer} ${consumer_args})
check_consumer_output(find_package "${out}")

# ---- The examples/ program, as its README builds it ---------------------------------------------
set(example_build ${WORK_DIR}/example)
run_step("configuring examples/" out
  ${CMAKE_COMMAND} -S ${EXAMPLES_DIR} -B ${example_build} -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=${QELKIT_CONFIG}
    -DCMAKE_PREFIX_PATH=${STAGE_DIR} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run_step("building examples/" out ${CMAKE_COMMAND} --build ${example_build} ${config_args})
find_program(example_program readings_by_period PATHS ${example_build} ${example_build}/${QELKIT_CONFIG}
             NO_DEFAULT_PATH REQUIRED)
run_step("running examples/" out ${run_env} ${example_program})
# The quarter hours of north: 14:02 and 14:14:59 together, 14:15 apart; the exact SQL form.
if(NOT out MATCHES "date_trunc" OR NOT out MATCHES "2007-04-11 14:00  north  count 2  mean 12.00"
   OR NOT out MATCHES "2007-04-11 14:15  north  count 1  mean 12.00")
  message(FATAL_ERROR "examples/ printed:\n${out}")
endif()

# ---- Consumer through pkg-config --------------------------------------------------------------
find_program(PKG_CONFIG NAMES pkg-config pkgconf REQUIRED)
set(pc_env ${CMAKE_COMMAND} -E env "PKG_CONFIG_PATH=${lib_dir}/pkgconfig")
set(pc_static)
if(NOT SHARED)
  set(pc_static --static)
endif()
run_step("pkg-config --cflags --libs qelkit" pc_flags
  ${pc_env} ${PKG_CONFIG} --cflags --libs ${pc_static} qelkit)
string(STRIP "${pc_flags}" pc_flags)
# The flags must leave the language standard to the user: a -std here would override theirs.
if(pc_flags MATCHES "-std=")
  message(FATAL_ERROR "qelkit.pc sets the language standard: ${pc_flags}")
endif()
# Every -I and -L directory must lie in the staged prefix: the .pc file has to follow the
# install wherever it is put.
separate_arguments(pc_args UNIX_COMMAND "${pc_flags}")
foreach(arg IN LISTS pc_args)
  if(arg MATCHES "^-[IL](.+)$")
    file(REAL_PATH "${CMAKE_MATCH_1}" dir)
    string(FIND "${dir}" "${stage_real}/" at)
    if(NOT at EQUAL 0)
      message(FATAL_ERROR "qelkit.pc points outside the staged prefix: ${arg}")
    endif()
  endif()
endforeach()
file(MAKE_DIRECTORY ${WORK_DIR}/pkgconfig)
set(pc_consumer ${WORK_DIR}/pkgconfig/qelkit_consumer)
run_step("compiling the consumer with the pkg-config flags" out
  ${CXX_COMPILER} -Wall -Wextra -Werror ${CONSUMER_DIR}/main.cc ${pc_args} -o ${pc_consumer})
run_step("running the pkg-config consumer" out ${run_env} ${pc_consumer} ${consumer_args})
check_consumer_output(pkg-config "${out}")

# ---- Consumer through FetchContent (add_subdirectory) ------------------------------------------
# Only the library and the consumer are built; with GoogleTest and Google Benchmark hidden, the
# configuration fails if the subproject looks for either.
set(sub_build ${WORK_DIR}/subproject)
set(launcher_args)
if(LAUNCHER)
  set(launcher_args -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
run_step("configuring the FetchContent consumer" out
  ${CMAKE_COMMAND} -S ${SUBPROJECT_DIR} -B ${sub_build} -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${launcher_args}
    -DCMAKE_BUILD_TYPE=${QELKIT_CONFIG}
    -DQELKIT_SOURCE_DIR=${QELKIT_SOURCE_DIR}
    -DCONSUMER_SOURCE=${CONSUMER_DIR}/main.cc
    -DFETCHCONTENT_QUIET=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON
    -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)
run_step("building the FetchContent consumer" out
  ${CMAKE_COMMAND} --build ${sub_build} --target qelkit_consumer ${config_args} -j 2)
find_program(sub_consumer qelkit_consumer PATHS ${sub_build} ${sub_build}/${QELKIT_CONFIG}
             NO_DEFAULT_PATH REQUIRED)
run_step("running the FetchContent consumer" out
  ${CMAKE_COMMAND} -E env TZ=UTC ${sub_consumer} ${consumer_args})
check_consumer_output(FetchContent "${out}")
# The application's install must not install qelkit's files: qelkit's rules are off there.
run_step("installing the FetchContent consumer" out
  ${CMAKE_COMMAND} --install ${sub_build} --prefix ${WORK_DIR}/sub_install ${config_args})
file(GLOB_RECURSE installed ${WORK_DIR}/sub_install/*)
if(installed)
  message(FATAL_ERROR "installing the FetchContent consumer installed qelkit's files: ${installed}")
endif()

# ---- SONAME of the shared library -------------------------------------------------------------
if(SHARED)
  set(soname libqelkit.so.${SOVERSION})
  if(NOT EXISTS ${lib_dir}/${soname} OR NOT EXISTS ${lib_dir}/libqelkit.so)
    message(FATAL_ERROR "${lib_dir} lacks libqelkit.so or ${soname}")
  endif()
  find_program(READELF readelf)
  if(READELF)
    run_step("readelf -d" dyn ${READELF} -d ${lib_dir}/libqelkit.so)
    set(pattern "\\(SONAME\\)[^\n]*\\[([^]\n]*)\\]")
  else()
    find_program(OBJDUMP objdump REQUIRED)
    run_step("objdump -p" dyn ${OBJDUMP} -p ${lib_dir}/libqelkit.so)
    set(pattern "SONAME[ \t]+([^ \t\n]+)")
  endif()
  if(NOT dyn MATCHES "${pattern}")
    message(FATAL_ERROR "the installed libqelkit.so has no SONAME")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL soname)
    message(FATAL_ERROR "the installed libqelkit.so has SONAME ${CMAKE_MATCH_1}, expected ${soname}")
  endif()
endif()

# ---- The installed tool runs from the staged prefix -------------------------------------------
# With no LD_LIBRARY_PATH, qelkit-agg must reach the staged library through its run path. The
# loader's trace names the file it resolved: the staged one, not a copy installed elsewhere.
# agg_sample.tsv is worked out by hand from agg_sample.csv: hourly groups by key, ordered by
# period then key, out of rows given out of order.
if(TOOL)
  set(tool ${STAGE_DIR}/${BINDIR}/qelkit-agg)
  set(bare_env ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH TZ=UTC)
  if(SHARED)
    run_step("tracing the libraries of the installed qelkit-agg" out
      ${bare_env} LD_TRACE_LOADED_OBJECTS=1 ${tool})
    set(loaded_lib)
    if(out MATCHES "libqelkit\\.so\\.${SOVERSION} => (/[^ \n]+)")
      set(loaded_lib "${CMAKE_MATCH_1}")
    endif()
    if(NOT EXISTS "${loaded_lib}")
      message(FATAL_ERROR "the installed qelkit-agg does not find its library:\n${out}")
    endif()
    file(REAL_PATH "${loaded_lib}" loaded_lib)
    file(REAL_PATH "${lib_dir}/libqelkit.so.${SOVERSION}" staged_lib)
    if(NOT loaded_lib STREQUAL staged_lib)
      message(FATAL_ERROR "the installed qelkit-agg loads ${loaded_lib}, not ${staged_lib}")
    endif()
  endif()
  run_step("running the installed qelkit-agg" out
    ${bare_env} ${tool} --header -k 2 -p hour -q ${CMAKE_CURRENT_LIST_DIR}/agg_sample.csv)
  file(READ ${CMAKE_CURRENT_LIST_DIR}/agg_sample.tsv expected_agg)
  if(NOT out STREQUAL expected_agg)
    message(FATAL_ERROR "the installed qelkit-agg printed\n${out}expected\n${expected_agg}")
  endif()
endif()

# ---- The tool's sources built on their own against the staged package -------------------------
# tools/ alone is copied out of the source tree, so that only the installed headers are in reach:
# a tool source that includes a header the package does not install fails to compile here.
if(TOOL)
  file(COPY ${QELKIT_SOURCE_DIR}/tools DESTINATION ${WORK_DIR}/tool_source)
  set(tool_build ${WORK_DIR}/tool_build)
  run_step("configuring tools/ on its own" out
    ${CMAKE_COMMAND} -S ${WORK_DIR}/tool_source/tools -B ${tool_build} -G ${GENERATOR}
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${launcher_args} -DCMAKE_BUILD_TYPE=${QELKIT_CONFIG}
      -DCMAKE_PREFIX_PATH=${STAGE_DIR} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
  check_package_staged(${tool_build})
  run_step("building tools/ on its own" out
    ${CMAKE_COMMAND} --build ${tool_build} ${config_args} -j 2)
  find_program(own_tool qelkit-agg PATHS ${tool_build} ${tool_build}/${QELKIT_CONFIG}
               NO_DEFAULT_PATH REQUIRED)
  run_step("running qelkit-agg built on its own" out
    ${run_env} ${own_tool} --header -k 2 -p hour -q ${CMAKE_CURRENT_LIST_DIR}/agg_sample.csv)
  if(NOT out STREQUAL expected_agg)
    message(FATAL_ERROR "qelkit-agg built on its own printed\n${out}expected\n${expected_agg}")
  endif()
endif()

message(STATUS "install_consumer: all checks passed")
