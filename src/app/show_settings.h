#pragma once

#include <vector>

#include "app/setting_overrides.h"

namespace app {

/// Prints the eleven settings in effect (the command line's, else the stored values within their
/// limits, else the defaults) and where the settings file lives. Reading never changes the file.
int runShowSettings(const std::vector<SettingOverride>& overrides);

}  // namespace app
