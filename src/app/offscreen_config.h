// The displays of a headless run, handed to Qt's offscreen platform as a JSON configuration file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

namespace app {

struct OffscreenScreen {
    std::string name;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    double dpr = 1;
};

inline constexpr size_t kMaxScreens = 16;
inline constexpr double kMaxDevicePixelRatio = 8;

/// Reads and checks a screens description ({"screens":[{...}, ...]}); on failure returns false
/// and says what is wrong.
bool readScreensFile(const std::string& path, std::vector<OffscreenScreen>* screens, std::string* error);

/// Checks a screens description already read from the file at `path` (named in the messages).
bool parseScreens(std::string_view text, const std::string& path, std::vector<OffscreenScreen>* screens,
                  std::string* error);

/// The offscreen platform's configuration for these screens.
std::string offscreenConfiguration(const std::vector<OffscreenScreen>& screens);

/// Writes the configuration to a new temporary file and points QT_QPA_PLATFORM at it. Returns
/// the file's path (to remove once the application exists), or empty with `error` set.
std::string selectOffscreenPlatform(const std::vector<OffscreenScreen>& screens, std::string* error);

}  // namespace app
