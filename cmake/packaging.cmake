# SPDX-License-Identifier: Apache-2.0
# Three Debian packages, one per install component, split the way Debian splits a library:
#   libqelkit<soversion> (component qelkit_runtime)  the versioned shared library files, with a
#       shlibs file and an ldconfig trigger;
#   libqelkit-dev (qelkit_development)  the headers, the libqelkit.so link, the CMake package
#       and qelkit.pc; it depends on the library package of the very same version;
#   qelkit-tools (qelkit_tools)  qelkit-agg and its man page.
# `make package` configures the package preset (installed under /usr, so GNUInstallDirs puts
# the library in the multiarch directory, and the tool gets no run path), runs `cpack -G DEB`
# in build/package and checks the three packages with lintian. The version is
# project(VERSION); the maintainer is QELKIT_MAINTAINER.
#
# Runtime dependencies are read from the binaries by dpkg-shlibdeps (libc6, libstdc++6,
# libgcc-s1, zlib1g, and libqelkit1 for the tool), so they follow whatever the build links.

# Without install rules there is nothing to package.
if(DEFINED QELKIT_INSTALL AND NOT QELKIT_INSTALL)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qelkit)
set(CPACK_PACKAGE_VENDOR "qelkit developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# Only these: an install rule without a component of its own would make a package of its own.
set(CPACK_COMPONENTS_ALL qelkit_runtime qelkit_development qelkit_tools)

set(qelkit_deb_lib libqelkit${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_QELKIT_RUNTIME_PACKAGE_NAME ${qelkit_deb_lib})
set(CPACK_DEBIAN_QELKIT_DEVELOPMENT_PACKAGE_NAME libqelkit-dev)
set(CPACK_DEBIAN_QELKIT_TOOLS_PACKAGE_NAME qelkit-tools)
set(CPACK_DEBIAN_QELKIT_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_QELKIT_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_QELKIT_TOOLS_PACKAGE_SECTION utils)
# The headers and the link only fit the library of their own build: Depends: libqelkit1 (= V).
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_QELKIT_DEVELOPMENT_DEPENDS qelkit_runtime)

# Each package has its own synopsis, the first line of its description. CPack would put one
# common summary above all three, so the common one is left empty.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(qelkit_deb_about
    "qelkit is a C++17 library of utility classes for applications that read
text, keep collections of objects and group time-stamped measurements by
reporting period: an extended string with printf-style formatting,
tokenizers, sorted and hashed collections of collectable objects, date
parsing and period truncation with matching SQL to_char expressions,
name/value records, a memory-mapped file tokenizer and zlib compression.
.")
set(CPACK_DEBIAN_QELKIT_RUNTIME_DESCRIPTION
    "C++ utility library for text, collections and time-stamped data
${qelkit_deb_about}
This package holds the shared library.")
set(CPACK_DEBIAN_QELKIT_DEVELOPMENT_DESCRIPTION
    "C++ utility library for text, collections and dates - development files
${qelkit_deb_about}
This package holds the headers, the CMake package (find_package(qelkit))
and the pkg-config file (qelkit.pc) for building programs with qelkit.")
set(CPACK_DEBIAN_QELKIT_TOOLS_DESCRIPTION
    "tool that groups time-stamped measurements by reporting period
${qelkit_deb_about}
This package holds qelkit-agg, which reads a delimited file of measurements
and prints the count, sum, minimum, maximum and mean of each value column
per reporting period and key.")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QELKIT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE qelkit)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The shlibs file: programs linked with libqelkit.so.1 need the library package at this
# upstream version or later (a later 1.x only adds interfaces). It is written here rather than
# by CPack so that the tool's package, built in the same run, reads the same line (see
# debian-prebuild.cmake.in).
set(qelkit_deb_dir ${PROJECT_BINARY_DIR}/debian)
file(WRITE ${qelkit_deb_dir}/shlibs
     "libqelkit ${PROJECT_VERSION_MAJOR} ${qelkit_deb_lib} (>= ${PROJECT_VERSION})\n")
# The library's directory is one ldconfig caches: a trigger runs it once per dpkg run.
file(WRITE ${qelkit_deb_dir}/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_QELKIT_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${qelkit_deb_dir}/shlibs ${qelkit_deb_dir}/triggers)

# Debian's documentation files, in /usr/share/doc/<package> of each package: the copyright in
# the machine-readable format, and a changelog for this version (dated from SOURCE_DATE_EPOCH
# when set, for a reproducible package). They and the lintian overrides are installed only by
# cpack (EXCLUDE_FROM_ALL keeps them out of a plain `cmake --install`).
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-copyright.in ${qelkit_deb_dir}/copyright @ONLY)
string(TIMESTAMP QELKIT_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(QELKIT_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-changelog.in ${qelkit_deb_dir}/changelog.Debian
               @ONLY)
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(QELKIT_DEB_PACKAGE ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${qelkit_deb_dir}/copyright ${qelkit_deb_dir}/changelog.Debian
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${QELKIT_DEB_PACKAGE}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-lintian-overrides.in
                 ${qelkit_deb_dir}/${QELKIT_DEB_PACKAGE}.lintian-overrides @ONLY)
  install(FILES ${qelkit_deb_dir}/${QELKIT_DEB_PACKAGE}.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${QELKIT_DEB_PACKAGE}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

# Before the packages are built: man pages and changelogs gzipped, and the tool's shlibs
# look-up pointed at the library staged beside it. After: the ldconfig calls CPack writes
# into the library's maintainer scripts taken out, since the trigger does that work.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-prebuild.cmake.in
               ${qelkit_deb_dir}/prebuild.cmake @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-postbuild.cmake.in
               ${qelkit_deb_dir}/postbuild.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/packaging_gzip.cmake
                            ${qelkit_deb_dir}/prebuild.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${qelkit_deb_dir}/postbuild.cmake)

include(CPack)
