# SPDX-License-Identifier: Apache-2.0
# Run by cpack before it builds the package (CPACK_PRE_BUILD_SCRIPTS): compresses the man pages
# and the Debian changelog of the staged install with gzip -9n, as Debian policy wants them.
find_program(GZIP gzip REQUIRED)
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(file MATCHES "/share/man/man[0-9]/[^/]+\\.[0-9]$" OR file MATCHES "/changelog\\.Debian$")
    execute_process(COMMAND ${GZIP} -9nf ${file} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "gzip ${file} failed (${rc})")
    endif()
  endif()
endforeach()
