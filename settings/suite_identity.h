#pragma once

namespace rerozadez {

// What every full setup this program starts must say it is, fixed when the
// program is built: the suite's product name (SUITE_PRODUCT_NAME), and the
// lowest setup version it may start (MIN_SETUP_VERSION, "a.b.c.d"), so that
// no reply or copy, however well signed, brings back an older release.
// A release made with UNSIGNED_SETUP=allow and no floor has "0.0.0.0".
const wchar_t* SuiteProductName();
const char* MinimumSetupVersion();

}  // namespace rerozadez
