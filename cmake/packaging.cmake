# SPDX-License-Identifier: Apache-2.0
# A Debian package of everything `cmake --install` puts in place: the shared library and its
# SONAME link, the public headers, the CMake package, qelkit.pc, and the command-line tool with
# its man page, plus the Debian copyright file (machine-readable format) and changelog.
# `make package` configures the package preset (installed under /usr, so GNUInstallDirs puts
# the library in the multiarch directory), runs `cpack -G DEB` in build/package and checks the
# result with lintian. The version is project(VERSION); the maintainer is QELKIT_MAINTAINER.
#
# Runtime dependencies are read from the binaries by dpkg-shlibdeps (libc6, libstdc++6,
# libgcc-s1, zlib1g), so they follow whatever the build actually links. The package also ships
# a shlibs file and an ldconfig trigger for libqelkit.so.1.

set(CPACK_PACKAGE_NAME qelkit)
set(CPACK_PACKAGE_VENDOR "qelkit developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "C++ utility classes for text, collections and time-stamped data")
# The long description, wrapped for the control file; CPack puts the summary above it and
# indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "qelkit is a C++17 library of utility classes for applications that read
text, keep collections of objects and group time-stamped measurements by
reporting period: an extended string with printf-style formatting,
tokenizers, sorted and hashed collections of collectable objects, date
parsing and period truncation with matching SQL to_char expressions,
name/value records, a memory-mapped file tokenizer and zlib compression.
.
The package holds the shared library, its headers, a CMake package
(find_package(qelkit)), a pkg-config file (qelkit.pc) and the qelkit-agg
tool, which groups a delimited file of measurements by period.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QELKIT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

# Debian's documentation files: the copyright in the machine-readable format, and a changelog
# for this version (dated from SOURCE_DATE_EPOCH when set, for a reproducible package).
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-copyright.in
               ${PROJECT_BINARY_DIR}/debian/copyright @ONLY)
string(TIMESTAMP QELKIT_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${PROJECT_BINARY_DIR}/debian/changelog.Debian
"qelkit (${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${QELKIT_MAINTAINER}  ${QELKIT_CHANGELOG_DATE}
")
install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.Debian
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The library's directory is one ldconfig caches: a trigger runs it once per dpkg run.
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
# Man pages and the changelog go into the package gzipped (gzip -9n), as Debian wants them.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/packaging_gzip.cmake)

include(CPack)
