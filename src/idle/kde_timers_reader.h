// KDE Plasma's timers, from its configuration files, as KConfig reads them: the same file in the
// user's folder ($XDG_CONFIG_HOME, else ~/.config) over the system's ($XDG_CONFIG_DIRS, else
// /etc/xdg), the user's entries winning unless a system file marks them immutable ([$i]); an
// entry absent everywhere, or one KConfig would not take (not a number, not a switch), is KDE's
// default.
// - kscreenlockerrc [Daemon]: Autolock (on) and Timeout (5 minutes; 0 is never): the lock.
// - Plasma 6, powerdevilrc [AC|Battery][Display]: TurnOffDisplayWhenIdle (on) and
//   TurnOffDisplayIdleTimeoutSec (600 on AC, 300 on battery; -1 is never);
//   [AC|Battery][SuspendAndShutdown]: AutoSuspendAction (1, sleep; 0 is none) and
//   AutoSuspendIdleTimeoutSec (900 on AC, 600 on battery).
// - Plasma 5.27, powermanagementprofilesrc [AC|Battery][DPMSControl] idleTime (seconds) and
//   [AC|Battery][SuspendSession] idleTime (milliseconds) and suspendType (0 is none): an action is
//   on while its group exists. Without the file (PowerDevil writes it at its first start), the
//   profiles PowerDevil would write: the displays off after 10 minutes on AC and 5 on battery, the
//   sleep after 15 and 10.
// KDE skips the sleep by default on virtual machines and machines that cannot suspend; the
// defaults here are those of a machine that can. The files are followed through their folder,
// since KConfig saves by renaming a new file over the old one.
#pragma once

#include <QFileSystemWatcher>
#include <string>
#include <vector>

#include "idle/desktop_timers.h"

namespace idle {

/// The timers from the KDE files in `configFolders` (the user's first, then the system's, most
/// important first). `plasmaVersion` is 5 or 6; 0 guesses it from the files (powerdevilrc with
/// profiles, or a powermanagementprofilesrc already migrated, is Plasma 6; a
/// powermanagementprofilesrc alone is Plasma 5; neither is Plasma 6).
DesktopTimers readKdeTimers(const std::vector<std::string>& configFolders, int plasmaVersion);

class KdeTimersReader : public DesktopTimersReader {
public:
    /// Empty `configFolders`: the session's; `plasmaVersion` 0: KDE_SESSION_VERSION, else guessed.
    explicit KdeTimersReader(IdleLog log, std::vector<std::string> configFolders = {}, int plasmaVersion = 0);

    DesktopTimers read() override { return timers_; }
    void recheck() override { reread(); }

private:
    void reread();
    void watchFiles();

    std::vector<std::string> folders_;
    int plasmaVersion_;
    DesktopTimers timers_;
    QFileSystemWatcher watcher_;
};

}  // namespace idle
