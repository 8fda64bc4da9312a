// SPDX-License-Identifier: Apache-2.0
// QelStringCollection: an ordered list of strings that owns its items. Fill it by appending
// strings, by splitting a text at a delimiter byte (empty fields kept) or by cutting a text into
// pieces of a fixed size; read items back as text, int, double or time; strip their white space;
// join them with a separator. FieldWriter writes chosen items of it.
//
// Items are RWCollectableString objects created and destroyed by the collection; references to
// them stay valid until the item is removed. Indexes run from 0 to entries() - 1 and are not
// checked except where an operation says so. Not thread-safe: one thread at a time.
#ifndef QELKIT_STRINGS_QEL_STRING_COLLECTION_H
#define QELKIT_STRINGS_QEL_STRING_COLLECTION_H

#include <cassert>
#include <cstddef>
#include <memory>

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_collectable_string.h"
#include "qelkit/foundation/rw_cstring.h"
#include "qelkit/foundation/rw_ordered.h"
#include "qelkit/foundation/rw_time.h"
#include "qelkit/strings/qel_string.h"

namespace qelkit_internal {
class StringItemPool;
}

class QELKIT_API QelStringCollection : public RWCollectable {
  public:
    // White-space stripping applied to fields; the values are those of RWCString::stripType.
    enum StripType { noStrip = 0, leading = 1, trailing = 2, both = 3 };

    // Empty, with room for RWCollection::DEFAULT_CAPACITY items.
    QelStringCollection();
    // A deep copy: new items with the texts of `other`'s items, in order.
    QelStringCollection(const QelStringCollection& other);
    // Destroys all items, then copies `other`'s items; self-assignment changes nothing.
    QelStringCollection& operator=(const QelStringCollection& other);
    // Destroys all items.
    ~QelStringCollection() override;

    // Number of items.
    int entries() const { return static_cast<int>(_list.entries()); }

    // Item i; 0 <= i < entries() is the caller's duty (not checked).
    const RWCollectableString& operator()(int i) const { return item(i); }
    const RWCollectableString& operator[](int i) const { return item(i); }
    // Item i, appending empty items first while i >= entries(). i must not be negative.
    RWCollectableString& operator()(int i);

    // Typed reads of item i (index not checked). getInt and getDouble never fail: they give
    // what atoi / atof make of the text. getTime parses the text with GetDate(text, format)
    // and gives the invalid RWTime when it does not fit.
    QelString getString(int i) const;
    int getInt(int i) const;
    double getDouble(int i) const;
    RWTime getTime(int i, const QelString& format) const;

    // Appends a new item holding s.
    void insert(const QelString& s);

    // Splits `text` at every `delimiter` and appends the fields, empty ones included, as new
    // items: N delimiters give N + 1 fields and an empty text one empty field. As for a
    // Tokenizer, the text ends at its first NUL byte. With a strip type other than noStrip each
    // field loses its white space first. Returns the number of items afterwards, including those
    // held before.
    int split(const QelString& text, StripType strip, const char delimiter);

    // Appends `text` cut into pieces of at most `chunk` bytes, never cutting a "]]>" after its
    // first byte unless the piece would then be empty. An empty text appends nothing; a chunk
    // below 1 appends the whole text as one item.
    void insertAndSplit(const QelString& text, int chunk);

    // Removes and destroys the last item; nothing when empty.
    void pop();
    // Removes and destroys all items.
    void clearAndDestroy();
    // Replaces every item's text by its stripWhiteSpace(strip); noStrip changes nothing.
    void stripContents(StripType strip);
    // The texts of all items with `separator` (even NUL) between neighbours; "" when empty.
    QelString concat(char separator);

  private:
    const RWCollectableString& item(int i) const {
        assert(i >= 0 && i < entries());
        // RWOrdered offers its unchecked slot access only on a non-const vector.
        return *static_cast<const RWCollectableString*>(
            const_cast<RWOrdered&>(_list)(static_cast<std::size_t>(i)));
    }
    // Appends an item of n bytes from p, growing the list geometrically.
    void append(const char* p, std::size_t n);
    // Appends a new item built in a slot of the pool: a copy of *share when share is not
    // null (sharing its buffer), else the n bytes from p.
    void adopt(const char* p, std::size_t n, const RWCString* share);
    // Makes room for `more` further items in one step.
    void reserveMore(std::size_t more);
    void copyItems(const QelStringCollection& other);

    RWOrdered _list;  // RWCollectableString items, owned
    // Storage of the items, created with the first item: splitting a long text then costs one
    // allocation per slab of items rather than one per field.
    std::unique_ptr<qelkit_internal::StringItemPool> _pool;
};

#endif  // QELKIT_STRINGS_QEL_STRING_COLLECTION_H
