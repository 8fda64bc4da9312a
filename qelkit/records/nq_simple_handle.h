// SPDX-License-Identifier: Apache-2.0
// NqSimpleBody and NqSimpleHandle: the two bases of a thread-safe handle/body scheme. An
// application derives its shared object from NqSimpleBody and a value-like access class from
// NqSimpleHandle; copying handles shares one body, and the handle that lets go of the last share
// deletes the body through its virtual destructor. The count lives in the body and is changed
// only under the body's own lock, so handles to one body may be copied, assigned and destroyed
// in different threads at once. The lock guards only the count: the body's own data is the
// application's concern, and one handle object must not be assigned while another thread uses it.
#ifndef QELKIT_RECORDS_NQ_SIMPLE_HANDLE_H
#define QELKIT_RECORDS_NQ_SIMPLE_HANDLE_H

#include "qelkit/export.h"
#include "qelkit/foundation/rw_collectable.h"
#include "qelkit/foundation/rw_monitor.h"
#include "qelkit/foundation/rw_mutex_lock.h"

class NqSimpleHandle;

// The shared object: a collectable with a lock of its own and a count of the handles that refer
// to it. It overrides only the destructor of RWCollectable. A body that never gets a handle is
// never deleted by this scheme.
class QELKIT_API NqSimpleBody : public RWCollectable, public RWTMonitor<RWMutexLock> {
  public:
    // A fresh, unlocked body with no handles.
    NqSimpleBody();
    // Like the default constructor: the copy gets its own lock and a count of 0, whatever the
    // source's sharing state.
    NqSimpleBody(const NqSimpleBody& other);
    // Keeps this body's lock and count: sharing state is never copied.
    NqSimpleBody& operator=(const NqSimpleBody& other);
    ~NqSimpleBody() override;

    // The number of handles that refer to this body now, read under the body's lock.
    int references() const;

  private:
    friend class NqSimpleHandle;

    int _refCount;  // guarded by the body's monitor
};

// A share of one body, or nothing. Each non-empty handle owns one unit of its body's count.
class QELKIT_API NqSimpleHandle {
  public:
    // An empty handle.
    NqSimpleHandle() noexcept;
    // Takes a share of `body` (which may already have other handles); null gives an empty
    // handle. The body is deleted when its last handle lets go of it.
    NqSimpleHandle(NqSimpleBody* body);
    // Takes another share of the source's body.
    NqSimpleHandle(const NqSimpleHandle& other);
    // Self-assignment changes nothing; otherwise releases this handle's share (deleting the
    // body when it was the last), then takes a share of the source's body.
    NqSimpleHandle& operator=(const NqSimpleHandle& other);
    // Releases this handle's share; deletes the body when it was the last.
    virtual ~NqSimpleHandle();

    // 1 when the handle refers to a body, 0 when it is empty.
    int isValid() const noexcept { return _body != nullptr ? 1 : 0; }
    // The body, or null; not owned by the caller.
    NqSimpleBody* body() const noexcept { return _body; }

  protected:
    NqSimpleBody* _body;  // null for an empty handle

  private:
    // Adds one to the count of `body` under its lock; nothing for null.
    static void share(NqSimpleBody* body);
    // Subtracts one from the count of `body` under its lock and deletes the body, outside the
    // lock, when the count reached 0; nothing for null.
    static void unshare(NqSimpleBody* body);
};

#endif  // QELKIT_RECORDS_NQ_SIMPLE_HANDLE_H
