// SPDX-License-Identifier: Apache-2.0
#include "qelkit/records/qel_string_map.h"

#include <cstdlib>

#include "qelkit/datetime/get_date.h"
#include "qelkit/internal/ascii.h"

QelStringMap::QelStringMap(int buckets)
    : _namedValues(static_cast<NamedValues::size_type>(buckets)) {}

QelStringMap::~QelStringMap() = default;

int QelStringMap::stringValue(const QelString& name, QelString& result) const {
    return _namedValues.findValue(name, result) ? 1 : 0;
}

int QelStringMap::intValue(const QelString& name, int& result) const {
    QelString text;
    if (!stringValue(name, text)) return 0;
    result = qelkit_internal::atoiSaturating(text.data(), text.data() + text.length());
    return 1;
}

int QelStringMap::doubleValue(const QelString& name, double& result) const {
    QelString text;
    if (!stringValue(name, text)) return 0;
    result = std::atof(text.data());
    return 1;
}

// The classic virtual signature takes the format by value; overrides depend on it.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
int QelStringMap::timeValue(const QelString& name, RWTime& result, QelString format) const {
    QelString text;
    if (!stringValue(name, text)) return 0;
    result = GetDate(text.data(), format.data()).time();
    return 1;
}

int QelStringMap::numValues() const { return static_cast<int>(_namedValues.entries()); }

void QelStringMap::addValue(const QelString& name, const QelString& value) {
    _namedValues.insert(name, value);
}

void QelStringMap::clear() { _namedValues.clear(); }

QelString QelStringMap::value(const QelString& name) const {
    QelString text;
    stringValue(name, text);
    return text;
}
