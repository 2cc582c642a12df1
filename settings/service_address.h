#pragma once

#include <string>

namespace rerozadez {

// The package-information service's scheme, host and port, fixed when the
// program is built (QUILL_SERVICE_BASE_URL). Only a test build
// (QUILL_SERVICE_URL_OVERRIDE) lets the environment variable
// "QUILL_TEST_SERVICE_URL" replace it, so that tests can serve on ports of
// their own; a shipped build has no such override.
std::string PackageServiceBaseUrl();

}  // namespace rerozadez
