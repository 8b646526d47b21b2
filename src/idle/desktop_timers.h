// The desktop's own timers: when it blanks the screen, locks it, turns the displays off and puts
// the machine to sleep, counted from the user's last input. The desktop decides these, not
// Tavrin; the idle watcher reads them to say when they hide the screen saver, and the settings
// window to offer the way out. One small reader per desktop (GNOME's GSettings, KDE's
// configuration files, the X server), chosen by the session, each in a file of its own.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "idle/idle_source.h"

namespace idle {

/// A time of the desktop's, in seconds of inactivity; none means never (or off).
using DesktopTime = std::optional<int64_t>;

struct DesktopTimers {
    /// Who decides them, as a sentence's subject: "GNOME", "KDE Plasma", "the X server"; empty
    /// when the desktop is not one Tavrin can read ("sway", "Hyprland", anything else).
    std::string desktop;
    /// Whether the times could be read. When not, `unknownWhy` says why in one phrase
    /// ("sway's are in its own configuration and swayidle's command line").
    bool known = false;
    std::string unknownWhy;

    DesktopTime blank;        ///< the screen blanks (GNOME's idle-delay, the X server's screen saver)
    DesktopTime lock;         ///< the screen locks
    DesktopTime displaysOff;  ///< the displays are turned off (DPMS, KDE's screen energy saving)
    DesktopTime displaysOffOnBattery;  ///< the same on battery (readers that make no difference set both)
    DesktopTime sleepOnAc;    ///< the machine suspends or hibernates on mains power
    DesktopTime sleepOnBattery;
    /// The blank is the X server's own screen saver, which the idle watcher turns off while it
    /// runs (plain X11): it never hides Tavrin, and is described as such.
    bool blankOffWhileWatching = false;
    /// What could not be read while the rest could, in one phrase ("the lock: no schema
    /// org.gnome.desktop.screensaver"); empty when everything was read.
    std::string unread;

    /// What the settings window can change itself, the way the desktop's own settings do.
    enum class Fix {
        None,            ///< nothing: only Tavrin's minutes can be lowered
        GnomeIdleDelay,  ///< GSettings org.gnome.desktop.session idle-delay
        X11Dpms,         ///< the X server's DPMS timeouts
    };
    Fix fix = Fix::None;
    /// Where the user changes them by hand ("System Settings → Screen Locking, and Power
    /// Management"); the settings window shows it where `fix` cannot help. Empty when nothing
    /// needs saying.
    std::string whereToChange;

    bool operator==(const DesktopTimers&) const = default;
};

/// A time as a person reads it: "5 minutes", "1 minute", "90 seconds", "never".
std::string describeTime(DesktopTime seconds);

/// The first of the desktop's times that hides the screen (blank, lock, displays off, sleep on
/// the given power), or none.
DesktopTime firstHiding(const DesktopTimers& timers, bool onBattery);

/// One line when the desktop hides the screen before Tavrin's time (or at the same moment), e.g.
/// "GNOME blanks and locks the screen after 5 minutes, before Tavrin's 10: the screen saver would
/// not be seen"; empty when Tavrin comes first or the times are unknown.
std::string hidingLine(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery);

/// The desktop's times in a few plain lines (--idle-status), the first of them named; one line
/// saying why when they are unknown.
std::vector<std::string> describeTimers(const DesktopTimers& timers, bool onBattery);

/// The minutes the settings window offers for Tavrin: one minute before the desktop hides the
/// screen, at least 1; none when nothing hides it first.
std::optional<int64_t> suggestedTavrinMinutes(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery);

/// The minutes the settings window offers to give the desktop instead (Tavrin's minutes + 10),
/// where the reader can change its times (`fix`) and that change alone would let the saver be
/// seen; none otherwise (nothing hides it, or something the fix does not move hides it too).
std::optional<int64_t> suggestedDesktopMinutes(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery);

/// Logs the hiding line when it changes: at the first update, and whenever the desktop's times or
/// Tavrin's make it differ from the last one logged (including when it goes away).
class HidingLineLog {
public:
    explicit HidingLineLog(IdleLog log) : log_(std::move(log)) {}
    void update(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery);

private:
    IdleLog log_;
    std::optional<std::string> lastLine_;
    std::optional<std::string> lastUnknown_;
};

/// Reads one desktop's timers and follows them.
class DesktopTimersReader : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// The timers now, as far as the reader knows (the X server's as of the last recheck()).
    /// Never blocks for long: a missing schema or file is "unknown", never an error.
    virtual DesktopTimers read() = 0;
    /// Reads again where the desktop sends no word of a change (the X server): the watcher calls
    /// it at the start of every idle period. Emits changed() when something differs.
    virtual void recheck() {}
    /// Lets the desktop blank (and lock) after `minutes` instead, the way its own settings do;
    /// only where read().fix says it can. False with the reason in `why`.
    virtual bool letBlankAfter(int64_t /*minutes*/, std::string* why) {
        if (why) *why = "the desktop's times cannot be changed from here";
        return false;
    }

signals:
    /// The desktop's timers changed (the user changed a setting).
    void changed();
};

/// Which desktop's reader a session gets.
enum class TimersDesktop { Gnome, Kde, X11, Other };
/// From the session's environment (`environment` returns a variable's value, empty when unset):
/// GNOME or KDE when XDG_CURRENT_DESKTOP names them (else XDG_SESSION_DESKTOP or
/// DESKTOP_SESSION), else X11 when DISPLAY is set without a Wayland session, else Other.
TimersDesktop timersDesktopOf(const std::function<std::string(const char*)>& environment);

/// The reader of the session's desktop: GNOME, KDE Plasma, else the X server on plain X11, else
/// one that knows nothing and says so. Never null.
std::unique_ptr<DesktopTimersReader> makeDesktopTimersReader(IdleLog log);

}  // namespace idle
