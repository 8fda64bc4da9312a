// SPDX-License-Identifier: Apache-2.0
// NqNamedValuePairs: a short ordered list of name/value text pairs. Pairs keep their order of
// insertion and a name may occur more than once; look-ups scan from the first pair with exact,
// case-sensitive byte comparison, so with duplicate names the earliest pair wins. The object
// owns a heap copy of every name and value. A null `const char*` argument stands for "".
// Lookup cost grows linearly with the number of pairs. Not locked: one object must not be
// changed while another thread uses it.
#ifndef QELKIT_RECORDS_NQ_NAMED_VALUE_PAIRS_H
#define QELKIT_RECORDS_NQ_NAMED_VALUE_PAIRS_H

#include <cstddef>
#include <memory>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_tptr_ordered_vector.h"
#include "qelkit/strings/qel_string.h"

class QELKIT_API NqNamedValuePairs {
  public:
    // An empty list.
    NqNamedValuePairs();
    // Adds a copy of every pair of `other`, in order.
    NqNamedValuePairs(const NqNamedValuePairs& other);
    // Self-assignment changes nothing; otherwise drops every pair, then adds a copy of every
    // pair of `other`, in order.
    NqNamedValuePairs& operator=(const NqNamedValuePairs& other);
    // Deletes every name and value.
    ~NqNamedValuePairs();

    // Appends a pair, also when `name` is already present.
    void add(const QelString& name, const QelString& value);
    void add(const char* name, const char* value);
    // Replaces the value of the first pair named `name` (its place and name stay), or appends
    // the pair when there is none.
    void set(const QelString& name, const QelString& value);
    void set(const char* name, const char* value);

    // The index of the first pair whose name equals `name` byte for byte; -1 when none.
    int findName(const QelString& name) const;
    // The same for the bytes up to the NUL of `name`; null finds the first empty name.
    int findName(const char* name) const;
    // The value of the first pair named `name`; QelString::_nullString when there is none
    // (callers must not change it). Valid until the pair is replaced or removed.
    const QelString& value(const char* name) const;

    // Deletes every pair.
    void clear();

    // The number of pairs.
    int entries() const noexcept { return static_cast<int>(_names.entries()); }
    // The name and the value of pair `i` (0 <= i < entries(), not checked).
    const QelString& nameAt(int i) const { return *_names(static_cast<std::size_t>(i)); }
    const QelString& valueAt(int i) const { return *_values(static_cast<std::size_t>(i)); }

  private:
    // Appends the pair, taking ownership of both strings; on failure both vectors stay as
    // they were and the strings are deleted.
    void append(std::unique_ptr<QelString> name, std::unique_ptr<QelString> value);
    // Puts `value` (owned from here on) in place of the value of pair `i` and deletes the old.
    void replaceValue(int i, std::unique_ptr<QelString> value);

    RWTPtrOrderedVector<QelString> _names;   // one owned name per pair
    RWTPtrOrderedVector<QelString> _values;  // one owned value per pair, same index as its name
};

#endif  // QELKIT_RECORDS_NQ_NAMED_VALUE_PAIRS_H
