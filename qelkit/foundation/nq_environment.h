// SPDX-License-Identifier: Apache-2.0
// NqEnvironment: one setting taken from an environment variable, read once when the object is
// built (later changes to the environment have no effect). The library builds its settings at
// load time; the object depends on nothing else, is immutable and may be read from any thread.
#ifndef QELKIT_FOUNDATION_NQ_ENVIRONMENT_H
#define QELKIT_FOUNDATION_NQ_ENVIRONMENT_H

#include <string>

#include "qelkit/export.h"

class QELKIT_API NqEnvironment {
  public:
    // Reads variable `name` now and copies its text; `defaultValue` (copied too, may be null)
    // stands in when the variable is not set. A null name counts as an unset variable.
    NqEnvironment(const char* name, const char* defaultValue = nullptr);

    // The variable's text ("" when it is set but empty), else the default, else nullptr. Valid
    // while this object lives.
    const char* value() const noexcept { return hasValue_ ? value_.c_str() : nullptr; }
    // value() is not null.
    bool hasValue() const noexcept { return hasValue_; }
    // The variable is set and not empty; a default never turns a setting on.
    bool isOn() const noexcept { return on_; }
    // The variable's name ("" for a null name).
    const char* name() const noexcept { return name_.c_str(); }

  private:
    std::string name_;
    std::string value_;
    bool hasValue_ = false;
    bool on_ = false;
};

#endif  // QELKIT_FOUNDATION_NQ_ENVIRONMENT_H
