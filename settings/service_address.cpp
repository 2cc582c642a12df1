#include "settings/service_address.h"

#include <windows.h>

#ifndef QUILL_SERVICE_BASE_URL
#error QUILL_SERVICE_BASE_URL must name the package-information service
#endif

namespace rerozadez {

std::string PackageServiceBaseUrl() {
#ifdef QUILL_SERVICE_URL_OVERRIDE
  char override[256] = "";
  const DWORD length =
      GetEnvironmentVariableA("QUILL_TEST_SERVICE_URL", override, sizeof(override));
  if (length > 0 && length < sizeof(override)) {
    return override;
  }
#endif
  return QUILL_SERVICE_BASE_URL;
}

}  // namespace rerozadez
