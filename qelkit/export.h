// SPDX-License-Identifier: Apache-2.0
// QELKIT_API marks the classes and functions that make up the library's binary interface. The
// shared library is built with hidden visibility, so only what carries the mark is exported;
// everything else, the internal helpers included, stays private to the library. A static build
// needs no marks, and the macro then expands to nothing when QELKIT_STATIC is defined.
//
// A function defined out of line in the library and called from header code (a template, an
// inline function, a macro) is part of the interface too: it compiles into the application,
// so it must carry the mark, or programs linking the shared library fail with an undefined
// reference.
#ifndef QELKIT_EXPORT_H
#define QELKIT_EXPORT_H

#if defined(QELKIT_STATIC)
#define QELKIT_API
#elif defined(__GNUC__) || defined(__clang__)
#define QELKIT_API __attribute__((visibility("default")))
#else
#define QELKIT_API
#endif

#endif  // QELKIT_EXPORT_H
