// SPDX-License-Identifier: Apache-2.0
// RWTPtrOrderedVector<T>: a vector of T pointers in insertion order. The vector does not own
// the objects, except that clearAndDestroy() deletes them. Searches compare the objects
// (*elem == *p), not the pointers. Copies are shallow.
#ifndef QELKIT_FOUNDATION_RW_TPTR_ORDERED_VECTOR_H
#define QELKIT_FOUNDATION_RW_TPTR_ORDERED_VECTOR_H

#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

#include "qelkit/foundation/rw_defs.h"
#include "qelkit/foundation/rw_errors.h"

template <class T>
class RWTPtrOrderedVector {
  public:
    typedef std::size_t size_type;
    typedef T* value_type;
    typedef typename std::vector<T*>::iterator iterator;
    typedef typename std::vector<T*>::const_iterator const_iterator;

    // An empty vector with room for `capacity` pointers before it reallocates.
    RWTPtrOrderedVector(size_type capacity = 64) { items_.reserve(capacity); }

    // Add p at the end (append, insert) or at the front (prepend).
    void append(T* p) { items_.push_back(p); }
    void insert(T* p) { items_.push_back(p); }
    void prepend(T* p) { items_.insert(items_.begin(), p); }
    // Puts p at i (i == entries() appends); later elements move up. RWBoundsErr when
    // i > entries().
    void insertAt(size_type i, T* p) {
        if (i > items_.size()) rwThrowBounds("RWTPtrOrderedVector::insertAt", i, items_.size() + 1);
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), p);
    }

    // The element at i: operator[] and at() check (RWBoundsErr when i >= entries()),
    // operator() does not.
    T*& operator[](size_type i) { return items_[checked("RWTPtrOrderedVector::operator[]", i)]; }
    T* const& operator[](size_type i) const {
        return items_[checked("RWTPtrOrderedVector::operator[]", i)];
    }
    T*& operator()(size_type i) { return items_[i]; }
    T* const& operator()(size_type i) const { return items_[i]; }
    T*& at(size_type i) { return items_[checked("RWTPtrOrderedVector::at", i)]; }
    T* const& at(size_type i) const { return items_[checked("RWTPtrOrderedVector::at", i)]; }

    size_type entries() const noexcept { return items_.size(); }
    size_type length() const noexcept { return items_.size(); }
    bool isEmpty() const noexcept { return items_.empty(); }
    // Pointers the vector holds before it reallocates.
    size_type capacity() const noexcept { return items_.capacity(); }

    // Index of the first element with *elem == *p (a null p matches a null element), else
    // RW_NPOS.
    size_type index(const T* p) const {
        for (size_type i = 0; i < items_.size(); ++i) {
            const T* e = items_[i];
            if (e == p || (e != nullptr && p != nullptr && *e == *p)) return i;
        }
        return RW_NPOS;
    }
    bool contains(const T* p) const { return index(p) != RW_NPOS; }

    // Takes out the element at i (RWBoundsErr when i >= entries()) and returns it.
    T* removeAt(size_type i) {
        T* p = items_[checked("RWTPtrOrderedVector::removeAt", i)];
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return p;
    }
    // Take out the first / last element; RWBoundsErr when empty.
    T* removeFirst() { return removeAt(0); }
    T* removeLast() {
        if (items_.empty()) rwThrowBounds("RWTPtrOrderedVector::removeLast", 0, 0);
        T* p = items_.back();
        items_.pop_back();
        return p;
    }

    // Forgets every element (none deleted); the capacity is kept.
    void clear() noexcept { items_.clear(); }
    // Deletes every distinct non-null element once, then clears.
    void clearAndDestroy() {
        std::vector<T*> owned(items_);
        items_.clear();
        std::sort(owned.begin(), owned.end(), std::less<T*>());
        owned.erase(std::unique(owned.begin(), owned.end()), owned.end());
        for (T* p : owned) delete p;
    }

    iterator begin() noexcept { return items_.begin(); }
    iterator end() noexcept { return items_.end(); }
    const_iterator begin() const noexcept { return items_.begin(); }
    const_iterator end() const noexcept { return items_.end(); }

  private:
    size_type checked(const char* what, size_type i) const {
        if (i >= items_.size()) rwThrowBounds(what, i, items_.size());
        return i;
    }

    std::vector<T*> items_;
};

#endif  // QELKIT_FOUNDATION_RW_TPTR_ORDERED_VECTOR_H
