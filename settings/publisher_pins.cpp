#include "settings/publisher_pins.h"

namespace rerozadez {
namespace {

// kPublisherPins and kPublisherPinCount, written by settings/CMakeLists.txt.
#include "publisher_pins.inc"

}  // namespace

const KeyPin* BuildPublisherPins(size_t* count) {
  *count = kPublisherPinCount;
  return kPublisherPins;
}

}  // namespace rerozadez
