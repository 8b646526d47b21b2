// What a running idle watcher tells of itself, for `tavrin --idle-status` and the settings window:
// a small file beside the session's lock, rewritten whole (a new file renamed over the old one)
// whenever something in it changes, so that whoever asks reads it without waking the watcher.
// Readers trust nothing in it: the file is read with a bound, line by line, and what it says is
// only believed while the process it names holds the session's lock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace idle {

/// Something that keeps the screen awake, as its holder named it.
struct Inhibitor {
    std::string application;  ///< the application id or name it gave: "Firefox", "org.gnome.Totem", "mpv"
    std::string reason;       ///< as given

    bool operator==(const Inhibitor&) const = default;
};

struct WatcherStatus {
    long pid = 0;                 ///< the watcher's process
    int64_t startedAt = 0;        ///< when it started, in seconds since the epoch
    std::string source;           ///< where idleness comes from
    int64_t timeoutSeconds = 0;   ///< Tavrin's time
    std::string desktopHiding;    ///< the desktop's timers hide the saver: the line that says so
    std::vector<std::string> covers;      ///< why the screen is covered now (shield, lock, dark displays, sleep)
    std::vector<std::string> keptAwayBy;  ///< what keeps the saver away now, as the watcher knows it
    std::vector<Inhibitor> holders;       ///< the inhibitions the watcher serves
    std::string power;            ///< what the machine's power does to the saver now; empty on mains
    long saverPid = 0;            ///< the running saver, 0 when none runs
    int64_t saverSince = 0;       ///< when it started, in seconds since the epoch

    bool operator==(const WatcherStatus&) const = default;
};

/// The status file of the watcher whose session lock is `lockPath`.
std::string watcherStatusPath(const std::string& lockPath);

/// Writes the status atomically; false with the reason in `why`.
bool writeWatcherStatus(const std::string& path, const WatcherStatus& status, std::string* why);

/// Reads a status file; none when it is missing, too large or names no process.
std::optional<WatcherStatus> readWatcherStatus(const std::string& path);

/// Why no watcher runs, as the settings window says it: starting on idle is off, or it is on and
/// the watcher is not running (the log says why).
std::string noWatcherReason(bool startOnIdle);

}  // namespace idle
