// SPDX-License-Identifier: Apache-2.0
// FieldWriter: writes a chosen list of fields of a QelStringCollection to a stream, separated by
// tabs, so that records split with QelStringCollection::split can be written back with another
// selection or order of columns. Also checkString, a diagnostic for strings whose capacity
// differs from their length. A FieldWriter belongs to one thread at a time; it is not copyable.
#ifndef QELKIT_STRINGS_FIELD_WRITER_H
#define QELKIT_STRINGS_FIELD_WRITER_H

#include <ostream>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_ordered.h"
#include "qelkit/strings/qel_string.h"
#include "qelkit/strings/qel_string_collection.h"

class QELKIT_API FieldWriter {
  public:
    // No fields recorded; room for RWCollection::DEFAULT_CAPACITY indexes.
    FieldWriter();
    FieldWriter(const FieldWriter&) = delete;
    FieldWriter& operator=(const FieldWriter&) = delete;
    // Destroys the recorded indexes.
    virtual ~FieldWriter();

    // Records one more field index to write; an index may be recorded more than once.
    void addFieldIndex(int index);

    // Writes the item of `fields` at each recorded index, in the order recorded, with a tab
    // before every item but the first, and no line end. An index at or beyond fields.entries()
    // appends empty items to `fields` and writes an empty field; a negative index is the
    // caller's fault (not checked).
    void write(std::ostream& out, QelStringCollection& fields);

  private:
    RWOrdered _fieldIndexes;  // RWCollectableInt items, owned
};

// 1 when s.capacity() equals s.length(). Otherwise writes, under the error-stream lock, the line
// "String capacity mismatch (<label>): <capacity>, <length> = <text>" to std::cerr and returns 0.
QELKIT_API int checkString(const char* label, const QelString& s);

#endif  // QELKIT_STRINGS_FIELD_WRITER_H
