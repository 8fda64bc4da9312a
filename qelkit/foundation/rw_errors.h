// SPDX-License-Identifier: Apache-2.0
// Exceptions of the string and collection classes. RWxmsg carries a message text (why()) and is
// a std::exception, so generic handlers catch it too. RWBoundsErr reports an index at or past
// the end of a string or collection.
#ifndef QELKIT_FOUNDATION_RW_ERRORS_H
#define QELKIT_FOUNDATION_RW_ERRORS_H

#include <exception>
#include <memory>
#include <string>

#include "qelkit/export.h"

class RWCString;

class QELKIT_API RWxmsg : public std::exception {
  public:
    RWxmsg(const char* msg);
    RWxmsg(const RWCString& msg);
    RWxmsg(const RWxmsg& other) = default;
    RWxmsg& operator=(const RWxmsg& other) = default;
    ~RWxmsg() override;

    // The message text; valid while this object (or a copy of it) lives.
    virtual const char* why() const;
    // Throws a copy of *this typed RWxmsg.
    virtual void raise() const;
    // Same text as why().
    const char* what() const noexcept override;

  protected:
    // Default-constructed messages are empty; used by derived classes with a default text.
    RWxmsg();

  private:
    // Shared, immutable text: copying an exception never allocates.
    std::shared_ptr<const std::string> msg_;
};

// An error inside the library or a broken precondition (such as a bad index).
class QELKIT_API RWInternalErr : public RWxmsg {
  public:
    RWInternalErr(const char* msg);
    RWInternalErr(const RWCString& msg);
    // Throws a copy of *this typed RWInternalErr.
    void raise() const override;
};

// An index at or past the end of a string or collection; the text names the index and range.
class QELKIT_API RWBoundsErr : public RWInternalErr {
  public:
    RWBoundsErr(const char* msg);
    RWBoundsErr(const RWCString& msg);
    // Throws a copy of *this typed RWBoundsErr.
    void raise() const override;
};

// An error from an outside source (a file or a stream).
class QELKIT_API RWExternalErr : public RWxmsg {
  public:
    RWExternalErr(const char* msg);
    RWExternalErr(const RWCString& msg);
    // Throws a copy of *this typed RWExternalErr.
    void raise() const override;
};

// Throw a copy of the argument with its static type.
[[noreturn]] QELKIT_API void RWThrow(const RWInternalErr& err);
[[noreturn]] QELKIT_API void RWThrow(const RWBoundsErr& err);
[[noreturn]] QELKIT_API void RWThrow(const RWExternalErr& err);

#define RWTHROW(a) RWThrow(a)

// Throws RWBoundsErr for `index` against a valid range of `length` elements; `what` names the
// operation in the message.
[[noreturn]] QELKIT_API void rwThrowBounds(const char* what, std::size_t index, std::size_t length);

#endif  // QELKIT_FOUNDATION_RW_ERRORS_H
