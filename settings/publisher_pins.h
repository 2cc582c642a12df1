#pragma once

#include <cstddef>

#include "platform/publisher_signature.h"

namespace rerozadez {

// The publishers whose programs (the full setup, the driver installer) this
// program may start, fixed when it is built (QUILL_PUBLISHER_KEYS): one pin
// per certificate. count 0 means a build made without pins (a release made
// with UNSIGNED_SETUP=allow): then no signature is asked for.
const KeyPin* BuildPublisherPins(size_t* count);

}  // namespace rerozadez
