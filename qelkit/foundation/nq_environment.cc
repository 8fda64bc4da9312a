// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/nq_environment.h"

#include <cstdlib>

NqEnvironment::NqEnvironment(const char* name, const char* defaultValue)
    : name_(name != nullptr ? name : "") {
    const char* text = name != nullptr ? std::getenv(name) : nullptr;
    if (text != nullptr) {
        value_ = text;
        hasValue_ = true;
        on_ = *text != '\0';
    } else if (defaultValue != nullptr) {
        value_ = defaultValue;
        hasValue_ = true;
    }
}
