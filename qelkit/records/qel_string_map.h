// SPDX-License-Identifier: Apache-2.0
// QelStringMap: a set of named text values, handed out as text, integer, floating-point number
// or time. Names are exact, case-sensitive keys, each stored once; the first value added for a
// name stays. Every typed getter and value() reads the text through the virtual stringValue(),
// so a subclass that overrides stringValue() (to add defaults, say, or a second source) changes
// them all. The bucket count of the underlying hash map is fixed at construction.
// Not locked: one object must not be changed while another thread uses it.
#ifndef QELKIT_RECORDS_QEL_STRING_MAP_H
#define QELKIT_RECORDS_QEL_STRING_MAP_H

#include <functional>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/foundation/rw_tval_hash_map.h"
#include "qelkit/strings/qel_string.h"

// Hash functor of QelString keys: qelStringHash, the vendor string hash with exact case.
struct QELKIT_API QelStringHash {
    unsigned operator()(const QelString& s) const { return qelStringHash(s); }
};

class QELKIT_API QelStringMap {
  public:
    typedef RWTValHashMap<QelString, QelString, QelStringHash, std::equal_to<QelString>>
        NamedValues;

    // An empty map whose hash map has `buckets` buckets, never changed afterwards. With 0
    // buckets the map accepts no pairs. `buckets` must not be negative.
    QelStringMap(int buckets = 64);
    // Destroys the map with every stored name and value.
    virtual ~QelStringMap();

    // The virtual operations below keep this declaration order (their table slots).

    // Copies the value stored for `name` into `result` and returns 1; returns 0 and leaves
    // `result` unchanged when the name is not stored.
    virtual int stringValue(const QelString& name, QelString& result) const;
    // atoi() of the text stringValue() gives, and 1; 0 with `result` unchanged on a miss.
    // No checking: a text without leading digits gives 0 and still returns 1. A number beyond
    // the range of int gives INT_MAX or INT_MIN (where atoi() is undefined) and still returns 1.
    virtual int intValue(const QelString& name, int& result) const;
    // atof() of the text stringValue() gives, and 1; 0 with `result` unchanged on a miss.
    virtual int doubleValue(const QelString& name, double& result) const;
    // GetDate(text, format).time() of the text stringValue() gives, and 1; 0 with `result`
    // unchanged on a miss. Returns 1 also when the text does not match `format`: `result` is
    // then the invalid time.
    virtual int timeValue(const QelString& name, RWTime& result, QelString format) const;
    // The number of stored names.
    virtual int numValues() const;
    // Stores the pair unless `name` is already stored, in which case nothing changes.
    virtual void addValue(const QelString& name, const QelString& value);
    // Removes every pair; the bucket count stays.
    virtual void clear();
    // The text stringValue() gives for `name`; an empty string on a miss.
    virtual QelString value(const QelString& name) const;

    // Direct access to the map, for iteration or for what this class does not offer (such as
    // replacing a value through operator[]).
    NamedValues& getNamedValues() noexcept { return _namedValues; }
    const NamedValues& getNamedValues() const noexcept { return _namedValues; }

  private:
    NamedValues _namedValues;
};

#endif  // QELKIT_RECORDS_QEL_STRING_MAP_H
