#pragma once

#include <windows.h>

namespace rerozadez {

// How long a download waits on a server that sends nothing: shippedMs. Only
// a test build (QUILL_SERVICE_URL_OVERRIDE) lets the environment variable
// "QUILL_TEST_RECEIVE_TIMEOUT_MS" (a decimal number of milliseconds, 1 or
// more) shorten it, so that tests of silent servers and proxies do not sit
// through the shipped wait; a shipped build has no such override.
DWORD DownloadReceiveTimeoutMs(DWORD shippedMs);

}  // namespace rerozadez
