#pragma once

// GoogleTest prints a Status and its step in the log's words, so that a
// failed expectation on either says which step failed and why.

#include <ostream>

#include "platform/status.h"

namespace rerozadez {

inline std::ostream& operator<<(std::ostream& out, StatusStep step) {
  return out << StepName(step) << " (step " << static_cast<int>(step) << ")";
}

inline std::ostream& operator<<(std::ostream& out, const Status& status) {
  return out << DescribeStatus(status);
}

}  // namespace rerozadez
