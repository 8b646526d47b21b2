#pragma once

namespace app {

/// Prints the eleven settings in effect (the stored values within their limits, or the
/// defaults) and where the settings file lives. Reading never changes the file.
int runShowSettings();

}  // namespace app
