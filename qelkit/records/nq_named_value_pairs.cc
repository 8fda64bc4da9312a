// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/nq_named_value_pairs.h"

#include <cstring>
#include <memory>

namespace {

// The length of a C string, 0 for null (null stands for the empty string).
std::size_t lengthOf(const char* cs) noexcept { return cs ? std::strlen(cs) : 0; }

// A heap copy of a C string; null gives an empty string.
std::unique_ptr<QelString> copyOf(const char* cs) {
    return std::make_unique<QelString>(cs ? cs : "", lengthOf(cs));
}

}  // namespace

NqNamedValuePairs::NqNamedValuePairs() = default;

NqNamedValuePairs::NqNamedValuePairs(const NqNamedValuePairs& other) {
    for (int i = 0; i < other.entries(); ++i) add(other.nameAt(i), other.valueAt(i));
}

NqNamedValuePairs& NqNamedValuePairs::operator=(const NqNamedValuePairs& other) {
    if (this == &other) return *this;
    clear();
    for (int i = 0; i < other.entries(); ++i) add(other.nameAt(i), other.valueAt(i));
    return *this;
}

NqNamedValuePairs::~NqNamedValuePairs() { clear(); }

void NqNamedValuePairs::add(const QelString& name, const QelString& value) {
    append(std::make_unique<QelString>(name), std::make_unique<QelString>(value));
}

void NqNamedValuePairs::add(const char* name, const char* value) {
    append(copyOf(name), copyOf(value));
}

void NqNamedValuePairs::set(const QelString& name, const QelString& value) {
    const int i = findName(name);
    if (i == -1)
        add(name, value);
    else
        replaceValue(i, std::make_unique<QelString>(value));
}

void NqNamedValuePairs::set(const char* name, const char* value) {
    const int i = findName(name);
    if (i == -1)
        add(name, value);
    else
        replaceValue(i, copyOf(value));
}

int NqNamedValuePairs::findName(const QelString& name) const {
    const std::size_t n = _names.entries();
    for (std::size_t i = 0; i < n; ++i) {
        const QelString& candidate = *_names(i);
        if (candidate.length() == name.length() &&
            std::memcmp(candidate.data(), name.data(), name.length()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int NqNamedValuePairs::findName(const char* name) const {
    const std::size_t length = lengthOf(name);
    const std::size_t n = _names.entries();
    for (std::size_t i = 0; i < n; ++i) {
        const QelString& candidate = *_names(i);
        if (candidate.length() == length &&
            std::memcmp(candidate.data(), name ? name : "", length) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const QelString& NqNamedValuePairs::value(const char* name) const {
    const int i = findName(name);
    return i == -1 ? QelString::_nullString : valueAt(i);
}

void NqNamedValuePairs::clear() {
    _names.clearAndDestroy();
    _values.clearAndDestroy();
}

void NqNamedValuePairs::append(std::unique_ptr<QelString> name, std::unique_ptr<QelString> value) {
    _names.append(name.get());
    try {
        _values.append(value.get());
    } catch (...) {
        _names.removeLast();  // keeps both vectors the same length
        throw;
    }
    // Both vectors now hold the strings; this object owns them from here on.
    static_cast<void>(name.release());
    static_cast<void>(value.release());
}

void NqNamedValuePairs::replaceValue(int i, std::unique_ptr<QelString> value) {
    QelString*& slot = _values(static_cast<std::size_t>(i));
    std::unique_ptr<QelString> old(slot);  // deletes the previous value on leaving
    slot = value.release();
}
