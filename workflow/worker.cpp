#include "workflow/worker.h"

namespace rerozadez {

CReroZadezHelper::CReroZadezHelper()
    : running(0), stopRequested(1), retryMode(0), notify(nullptr), notifyContext(nullptr) {}

void CReroZadezHelper::Notify(int type, int value) const {
  if (notify != nullptr) {
    notify(type, value, notifyContext);
  }
}

CReroZadezHelper* GetReroZadezHelper() {
  // Deliberately leaked: a worker thread may still use it while the process exits.
  static CReroZadezHelper* const instance = new CReroZadezHelper();
  return instance;
}

}  // namespace rerozadez
