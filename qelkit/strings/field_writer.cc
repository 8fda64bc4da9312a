// SPDX-License-Identifier: Apache-2.0
#include "qelkit/strings/field_writer.h"

#include <iostream>
#include <memory>
#include <string>

#include "qelkit/foundation/nq_output_stream_lock.h"
#include "qelkit/foundation/rw_collectable_int.h"
#include "qelkit/foundation/rw_collection.h"
#include "qelkit/foundation/rw_mutex_lock.h"

FieldWriter::FieldWriter() : _fieldIndexes(RWCollection::DEFAULT_CAPACITY) {}

FieldWriter::~FieldWriter() {
    const std::size_t n = _fieldIndexes.entries();
    for (std::size_t i = 0; i < n; ++i) delete static_cast<RWCollectableInt*>(_fieldIndexes(i));
}

void FieldWriter::addFieldIndex(int index) {
    std::unique_ptr<RWCollectableInt> owned(new RWCollectableInt(index));
    _fieldIndexes.insert(owned.get());
    static_cast<void>(owned.release());  // the list holds it now; the destructor deletes it
}

void FieldWriter::write(std::ostream& out, QelStringCollection& fields) {
    const std::size_t n = _fieldIndexes.entries();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) out << '\t';
        const int index = static_cast<const RWCollectableInt*>(_fieldIndexes(i))->value();
        out << static_cast<const RWCString&>(fields(index));
    }
}

int checkString(const char* label, const QelString& s) {
    if (s.capacity() == s.length()) return 1;
    // Built first and written in one piece, so writers that do not take the lock cannot cut
    // into the line either.
    std::string line = "String capacity mismatch (";
    line.append(label ? label : "").append("): ");
    line.append(std::to_string(s.capacity())).append(", ").append(std::to_string(s.length()));
    line.append(" = ").append(s.data(), s.length()).append(1, '\n');
    RWMutexLock::LockGuard guard(NqOutputStreamLock::_ostream_lock);
    std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cerr.flush();
    return 0;
}
