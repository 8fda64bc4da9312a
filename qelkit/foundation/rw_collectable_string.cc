// SPDX-License-Identifier: Apache-2.0
// Text-based comparison and hashing of RWCollectableString.
#include "qelkit/foundation/rw_collectable_string.h"

RWDEFINE_COLLECTABLE(RWCollectableString, rwCollectableStringId)

RWCollectableString& RWCollectableString::operator=(const RWCString& s) {
    RWCString::operator=(s);
    return *this;
}

RWCollectableString& RWCollectableString::operator=(const char* cs) {
    RWCString::operator=(cs);
    return *this;
}

int RWCollectableString::compareTo(const RWCollectable* c) const {
    const int order = RWCString::compareTo(*static_cast<const RWCollectableString*>(c));
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

unsigned RWCollectableString::hash() const { return RWCString::hash(); }

RWBoolean RWCollectableString::isEqual(const RWCollectable* c) const {
    const auto* other = dynamic_cast<const RWCollectableString*>(c);
    return other != nullptr && other->isA() == isA() &&
           static_cast<const RWCString&>(*other) == static_cast<const RWCString&>(*this);
}
