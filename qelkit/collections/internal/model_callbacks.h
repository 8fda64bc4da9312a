// SPDX-License-Identifier: Apache-2.0
// Bookkeeping shared by QelModel::changed and the QelModelClient destructor. Internal: not
// installed, not part of the interface.
#ifndef QELKIT_COLLECTIONS_INTERNAL_MODEL_CALLBACKS_H
#define QELKIT_COLLECTIONS_INTERNAL_MODEL_CALLBACKS_H

#include <atomic>

class QelModelClient;

namespace qelkit_internal {

// Called when `client` leaves a model: if a callback to it runs on the calling thread, raises
// `count` once for that callback, so that the client's destruction on another thread waits until
// the callback returns.
void pinIfRunning(QelModelClient* client, std::atomic<int>& count);

// Clears the callbacks to `client` running on the calling thread (the notification will not
// touch it again) and returns how many pins they held, which the caller takes back.
int forgetOnThisThread(QelModelClient* client);

}  // namespace qelkit_internal

#endif  // QELKIT_COLLECTIONS_INTERNAL_MODEL_CALLBACKS_H
