// The idle watcher's settings, kept beside the screen saver's own in the same settings file:
// whether Tavrin starts on idle (the switch of the settings window, which writes the autostart
// entry), after how many minutes of inactivity, and what it does while the machine saves power.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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
inline constexpr std::string_view kOnBatteryKey = "OnBattery";

/// What a saver started by the watcher does on battery or in the power-saver profile.
enum class BatteryMode {
    Half,  ///< draws every second frame; the motion on screen is unchanged
    Full,  ///< as on mains power
    Off,   ///< no saver starts, and the desktop blanks on its own
};
inline constexpr BatteryMode kDefaultBatteryMode = BatteryMode::Half;

/// "half", "full", "off": the words of the settings file.
std::string_view batteryModeWord(BatteryMode mode);
std::optional<BatteryMode> parseBatteryMode(std::string_view word);

struct IdleSettings {
    bool startOnIdle = kDefaultStartOnIdle;
    int64_t minutes = kDefaultIdleMinutes;
    BatteryMode onBattery = kDefaultBatteryMode;
    /// One line for each value that could not be used and fell back to its default.
    std::vector<std::string> problems;
};

/// Reads the settings from the settings file at `path`. A missing file or key gives the
/// default; a value that cannot be used (not a number or switch, out of range) gives the default
/// too, with a line in `problems`.
IdleSettings readIdleSettings(const std::string& path);

/// Writes the two settings into the file at `path`, keeping every other line; the write is
/// atomic. False (with a line in `log`) when the file could not be written.
bool writeIdleSettings(const std::string& path, bool startOnIdle, int64_t minutes,
                       const std::function<void(const std::string&)>& log);
/// Writes OnBattery the same way.
bool writeBatteryMode(const std::string& path, BatteryMode mode, const std::function<void(const std::string&)>& log);

}  // namespace idle
