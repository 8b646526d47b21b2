// The idle watcher's two settings, kept beside the screen saver's own in the same settings file:
// whether Tavrin starts on idle (the switch of the settings window, which writes the autostart
// entry), and after how many minutes of inactivity.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace idle {

inline constexpr std::string_view kStartOnIdleKey = "StartOnIdle";
inline constexpr std::string_view kIdleMinutesKey = "IdleMinutes";
inline constexpr bool kDefaultStartOnIdle = false;
inline constexpr int64_t kDefaultIdleMinutes = 10;
inline constexpr int64_t kMinIdleMinutes = 1;
inline constexpr int64_t kMaxIdleMinutes = 120;

struct IdleSettings {
    bool startOnIdle = kDefaultStartOnIdle;
    int64_t minutes = kDefaultIdleMinutes;
    /// One line for each value that could not be used and fell back to its default.
    std::vector<std::string> problems;
};

/// Reads the two settings from the settings file at `path`. A missing file or key gives the
/// default; a value that cannot be used (not a number or switch, out of range) gives the default
/// too, with a line in `problems`.
IdleSettings readIdleSettings(const std::string& path);

/// Writes the two settings into the file at `path`, keeping every other line; the write is
/// atomic. False (with a line in `log`) when the file could not be written.
bool writeIdleSettings(const std::string& path, bool startOnIdle, int64_t minutes,
                       const std::function<void(const std::string&)>& log);

}  // namespace idle
