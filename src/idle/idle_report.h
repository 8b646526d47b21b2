// Why Tavrin waits, in a few plain lines: whether an idle watcher runs in this session and where
// its idleness comes from, Tavrin's time against the desktop's own blank, lock and sleep times,
// what keeps the screen awake now and who holds it, whether the session is locked or blanked and
// whether a saver runs. Gathered on demand (`tavrin --idle-status`, the settings window) from what
// the watcher publishes and from the desktop's own services; the watcher is never woken for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "idle/desktop_timers.h"
#include "idle/watcher_status.h"

namespace idle {

struct IdleReport {
    bool session = false;            ///< a desktop session is there to ask (WAYLAND_DISPLAY or DISPLAY)
    bool wayland = false;
    bool startOnIdle = false;        ///< the settings file's switch
    int64_t tavrinSeconds = 0;       ///< the running watcher's time, else the settings file's
    long watcherPid = 0;             ///< the watcher holding the session's lock; 0 when none runs
    std::optional<WatcherStatus> status;  ///< what that watcher published
    DesktopTimers timers;
    bool savingPower = false;        ///< as the watcher sees the machine's power
    std::vector<Inhibitor> gnomeInhibitors;
    bool gnomeSessionManager = false;  ///< GNOME's session manager answered (it sees Wayland's inhibitors too)
    std::vector<Inhibitor> logindInhibitors;
};

/// Gathers the report now: a few short, bounded calls to the session's services. `reader` reads
/// the desktop's timers (one is made when null).
IdleReport gatherIdleReport(DesktopTimersReader* reader = nullptr);

/// The report as printed by --idle-status.
std::vector<std::string> describeIdleReport(const IdleReport& report);

/// The first thing that keeps Tavrin away now, for the settings window's one line ("Kept away now
/// by Firefox: Playing video"): an inhibitor's holder and reason, or, with no holder, why the
/// session is covered or the watcher holds back. None when nothing does.
std::optional<Inhibitor> firstKeptAway(const IdleReport& report);

/// A moment as a person reads it: "09:14" today, else "3 Dec 09:14".
std::string describeMoment(int64_t secondsSinceEpoch, int64_t now);

}  // namespace idle
