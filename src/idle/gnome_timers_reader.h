// GNOME's timers, from GSettings through GIO:
// - org.gnome.desktop.session idle-delay: the blank, which also turns the displays off (0 is never);
// - org.gnome.desktop.screensaver lock-enabled and lock-delay: the lock, that long after the blank;
// - org.gnome.settings-daemon.plugins.power sleep-inactive-{ac,battery}-{timeout,type}: the sleep
//   ("nothing" is never).
// Each schema and key is looked up, with its type, before it is read: a missing one leaves its
// times unknown, never an abort. Changes come as GSettings' "changed" signals through GLib's main
// context, which Qt's event loop runs where Qt was built with GLib (Debian's is); elsewhere
// recheck() reads them again. letBlankAfter() writes idle-delay, as GNOME Settings does.
#pragma once

#include <memory>
#include <string>

#include "idle/desktop_timers.h"

namespace idle {

/// Where GNOME's settings come from, for tests: the compiled schemas of one folder instead of
/// the system's, and a backend in memory instead of dconf.
struct GnomeSettingsSource {
    std::string schemaFolder;
    bool inMemory = false;
};

class GnomeTimersReader : public DesktopTimersReader {
public:
    explicit GnomeTimersReader(IdleLog log, const GnomeSettingsSource& source = {});
    ~GnomeTimersReader() override;

    DesktopTimers read() override;
    void recheck() override;
    bool letBlankAfter(int64_t minutes, std::string* why) override;

private:
    /// A GSettings object changed: changed() when the timers differ from the last ones read.
    void settingsChanged();

    struct Gio;  ///< the GIO objects, kept out of this header
    std::unique_ptr<Gio> gio_;
    IdleLog log_;
    DesktopTimers last_;
};

}  // namespace idle
