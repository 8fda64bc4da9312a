# SPDX-License-Identifier: Apache-2.0
# The API reference: target `docs` runs Doxygen over the public headers (qelkit/*/*.h and
# qelkit/qelkit.h, not internal/) and docs/mainpage.md, into <build>/docs/html. Any Doxygen
# warning fails the target.
#
# Doxygen is looked for when the target runs, not when the project is configured, so a build
# tree configured before Doxygen was installed still works. When it is missing and the target
# runs as root, `.ci/deps docs` installs it; otherwise the target fails with the command to use.
#
# This file is also the script the target runs (cmake -P, see the end).

if(NOT CMAKE_SCRIPT_MODE_FILE)
  find_program(PERL_EXECUTABLE perl)
  if(NOT PERL_EXECUTABLE)
    set(PERL_EXECUTABLE perl)
  endif()
  set(QELKIT_DOCS_OUTPUT ${PROJECT_BINARY_DIR}/docs)
  list(JOIN QELKIT_HEADERS " " headers)
  set(QELKIT_DOCS_INPUT "${PROJECT_SOURCE_DIR}/docs/mainpage.md ${headers}")
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${QELKIT_DOCS_OUTPUT}/Doxyfile @ONLY)

  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -DDOXYFILE=${QELKIT_DOCS_OUTPUT}/Doxyfile
            -DDEPS_SCRIPT=${PROJECT_SOURCE_DIR}/.ci/deps -P ${CMAKE_CURRENT_LIST_FILE}
    WORKING_DIRECTORY ${QELKIT_DOCS_OUTPUT}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${PROJECT_SOURCE_DIR}/docs/mainpage.md
            ${PROJECT_SOURCE_DIR}/docs/doxygen_filter.pl ${QELKIT_HEADERS}
    COMMENT "API reference in ${QELKIT_DOCS_OUTPUT}/html"
    VERBATIM)
  return()
endif()

# ---- Script mode: cmake -DDOXYFILE=... -DDEPS_SCRIPT=... -P docs.cmake -------------------------
find_program(DOXYGEN_EXECUTABLE doxygen)
if(NOT DOXYGEN_EXECUTABLE AND EXISTS "${DEPS_SCRIPT}")
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid STREQUAL "0")
    execute_process(COMMAND ${DEPS_SCRIPT} docs RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${DEPS_SCRIPT} failed (${rc})")
    endif()
    unset(DOXYGEN_EXECUTABLE CACHE)
    find_program(DOXYGEN_EXECUTABLE doxygen)
  endif()
endif()
if(NOT DOXYGEN_EXECUTABLE)
  message(FATAL_ERROR "doxygen not found: apt-get install doxygen")
endif()
execute_process(COMMAND ${DOXYGEN_EXECUTABLE} ${DOXYFILE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "doxygen reported warnings or failed (${rc}); see the lines above")
endif()
