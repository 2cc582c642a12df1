#include "settings/suite_identity.h"

namespace rerozadez {

const wchar_t* SuiteProductName() {
  return QUILL_SUITE_PRODUCT_NAME;
}

const char* MinimumSetupVersion() {
  return QUILL_MIN_SETUP_VERSION;
}

}  // namespace rerozadez
