#include "settings/download_timeout.h"

#include <cstdlib>

namespace rerozadez {

DWORD DownloadReceiveTimeoutMs(DWORD shippedMs) {
#ifdef QUILL_SERVICE_URL_OVERRIDE
  char text[16] = "";
  const DWORD length = GetEnvironmentVariableA("QUILL_TEST_RECEIVE_TIMEOUT_MS", text, sizeof(text));
  if (length > 0 && length < sizeof(text)) {
    const unsigned long value = std::strtoul(text, nullptr, 10);
    if (value > 0)
      return static_cast<DWORD>(value);
  }
#endif
  return shippedMs;
}

}  // namespace rerozadez
