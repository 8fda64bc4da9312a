# SPDX-License-Identifier: Apache-2.0
# The public headers as users compile them. Each header must compile on its own (one tiny
# translation unit per header, built with the tests), and the umbrella header must be clean under
# strict warnings with g++ and clang++, in C++17 and C++20 (one ctest per compiler and standard).
set(QELKIT_STRICT_FLAGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror)

set(header_check_sources)
foreach(hdr IN LISTS QELKIT_HEADERS)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${hdr})
  string(MAKE_C_IDENTIFIER ${rel} ident)
  set(tu ${PROJECT_BINARY_DIR}/header_check/${ident}.cc)
  file(CONFIGURE OUTPUT ${tu} CONTENT "#include \"${rel}\"\n")
  list(APPEND header_check_sources ${tu})
endforeach()
add_library(qelkit_header_check OBJECT ${header_check_sources})
target_include_directories(qelkit_header_check PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_features(qelkit_header_check PRIVATE cxx_std_17)
target_compile_options(qelkit_header_check PRIVATE ${QELKIT_STRICT_FLAGS})

foreach(compiler g++ clang++)
  find_program(QELKIT_CHECK_${compiler} ${compiler})
  if(NOT QELKIT_CHECK_${compiler})
    message(FATAL_ERROR "The header check needs ${compiler} (on Debian: .ci/deps test)")
  endif()
  foreach(std 17 20)
    add_test(NAME headers_strict_${compiler}_cxx${std}
      COMMAND ${QELKIT_CHECK_${compiler}} -std=c++${std} -fsyntax-only ${QELKIT_STRICT_FLAGS}
              -I ${PROJECT_SOURCE_DIR} -x c++ ${PROJECT_SOURCE_DIR}/qelkit/qelkit.h)
    set_tests_properties(headers_strict_${compiler}_cxx${std} PROPERTIES LABELS library)
  endforeach()
endforeach()
