#include "settings/setup_settings.h"

namespace rerozadez {

SetupSettings::SetupSettings() : overSea(0), mediaPlayer(0) {}

SetupSettings* GetSetupSettings() {
  // Deliberately leaked: it must outlive anything that runs during exit.
  static SetupSettings* const instance = new SetupSettings();
  return instance;
}

}  // namespace rerozadez
