// SPDX-License-Identifier: Apache-2.0
// QelCollectableRegexp's out-of-line destructor: keeps the class's virtual table in one object.
#include "qelkit/collections/qel_collectable_regexp.h"

QelCollectableRegexp::~QelCollectableRegexp() = default;
