#include "idle/idle_settings.h"

#include "platform/posix/file_defaults_store.h"

namespace idle {

std::string_view batteryModeWord(BatteryMode mode) {
    switch (mode) {
        case BatteryMode::Half: return "half";
        case BatteryMode::Full: return "full";
        case BatteryMode::Off: return "off";
    }
    return "half";
}

std::optional<BatteryMode> parseBatteryMode(std::string_view word) {
    for (BatteryMode mode : {BatteryMode::Half, BatteryMode::Full, BatteryMode::Off})
        if (word == batteryModeWord(mode)) return mode;
    return std::nullopt;
}

IdleSettings readIdleSettings(const std::string& path) {
    IdleSettings settings;
    posix::FileDefaultsStore store(path, [](const std::string&) {});
    if (!store.readError().empty()) {
        settings.problems.push_back(path + " could not be read (" + store.readError() +
                                    "): starting on idle is off, after " + std::to_string(kDefaultIdleMinutes) +
                                    " minutes");
        return settings;
    }
    if (const std::string* text = store.valueForKey(kStartOnIdleKey)) {
        if (const auto on = posix::parseBool(*text))
            settings.startOnIdle = *on;
        else
            settings.problems.push_back(std::string(kStartOnIdleKey) + "=" + *text + " in " + path +
                                        " is not true or false: starting on idle is off");
    }
    if (const std::string* text = store.valueForKey(kIdleMinutesKey)) {
        const auto minutes = posix::parseInteger(*text);
        if (minutes && *minutes >= kMinIdleMinutes && *minutes <= kMaxIdleMinutes)
            settings.minutes = *minutes;
        else
            settings.problems.push_back(std::string(kIdleMinutesKey) + "=" + *text + " in " + path +
                                        " is not a number of minutes from " + std::to_string(kMinIdleMinutes) +
                                        " to " + std::to_string(kMaxIdleMinutes) + ": using " +
                                        std::to_string(kDefaultIdleMinutes));
    }
    if (const std::string* text = store.valueForKey(kOnBatteryKey)) {
        if (const auto mode = parseBatteryMode(*text))
            settings.onBattery = *mode;
        else
            settings.problems.push_back(std::string(kOnBatteryKey) + "=" + *text + " in " + path +
                                        " is not half, full or off: using " +
                                        std::string(batteryModeWord(kDefaultBatteryMode)));
    }
    return settings;
}

bool writeIdleSettings(const std::string& path, bool startOnIdle, int64_t minutes,
                       const std::function<void(const std::string&)>& log) {
    posix::FileDefaultsStore store(path, log);
    store.setBool(startOnIdle, kStartOnIdleKey);
    store.setInteger(minutes, kIdleMinutesKey);
    return store.synchronize();
}

bool writeBatteryMode(const std::string& path, BatteryMode mode, const std::function<void(const std::string&)>& log) {
    posix::FileDefaultsStore store(path, log);
    store.setString(batteryModeWord(mode), kOnBatteryKey);
    return store.synchronize();
}

}  // namespace idle
