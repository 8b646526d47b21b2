// Where the idle watcher learns that the user has gone idle and come back: one class per source
// (a compositor's idle protocol, Mutter's idle monitor, the X server's idle time), each in a file
// of its own, chosen once at start and named in the log. The watcher's loop knows nothing of
// which source it has.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/services.h"
#include "idle/watcher_status.h"

namespace idle {

/// Where a source's lines go: the watcher's log.
using IdleLog = std::function<void(host::LogLevel, const std::string&)>;

class IdleSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// What the log calls the source: "ext_idle_notifier_v1", "org_kde_kwin_idle", "Mutter's idle
    /// monitor (org.gnome.Mutter.IdleMonitor)", "the X server's idle time (MIT-SCREEN-SAVER)".
    virtual QString name() const = 0;

    /// Watches for `timeout` of inactivity from now on; called again with a new timeout when the
    /// settings change (the idle period then counts afresh). False with the reason in `why`.
    virtual bool watch(std::chrono::milliseconds timeout, std::string* why) = 0;

    /// Who keeps the screen awake now, as far as the source itself knows (each inhibition it
    /// serves); empty where the desktop keeps that to itself.
    virtual std::vector<Inhibitor> holders() const { return {}; }
    /// The watcher says when a saver it started begins and ends, for a source that tells others.
    virtual void saverStateChanged(bool /*running*/) {}

signals:
    /// The user has been idle for the timeout, and nothing keeps the screen awake (an idle
    /// inhibitor, a video player's inhibition). Sent once per idle period.
    void idle();
    /// The user is active again after idle(). Sent once per idle period, after idle().
    void active();
    /// The source is gone for good: the session's compositor, bus or X server went away.
    /// `status` is the watcher's exit status (0 when the session simply ended).
    void ended(int status, const QString& why);
    /// holders() changed.
    void holdersChanged();
};

/// What looking for one kind of source found.
struct SourceAttempt {
    /// The source, when the session has it.
    std::unique_ptr<IdleSource> source;
    /// Why not, when it has none ("the compositor offers neither ext_idle_notifier_v1 nor
    /// org_kde_kwin_idle"); empty when this kind of session is not the one running.
    std::string missing;
    /// Set when another program already starts screen savers here: the watcher logs this line
    /// and exits with status 0.
    std::string stepAside;
};

/// What the sources may ask of the watcher.
struct SourceContext {
    IdleLog log;
    /// Whether a saver started by the watcher runs now (org.freedesktop.ScreenSaver's GetActive).
    std::function<bool()> saverRunning;
};

/// On a Wayland session (WAYLAND_DISPLAY or WAYLAND_SOCKET): ext_idle_notifier_v1, else
/// org_kde_kwin_idle, of the compositor. (wayland_idle_source.cpp)
SourceAttempt tryWaylandIdleSource(const SourceContext& context);
/// GNOME, on Wayland or X11: Mutter's org.gnome.Mutter.IdleMonitor on the session bus.
/// (mutter_idle_source.cpp)
SourceAttempt tryMutterIdleSource(const SourceContext& context);
/// Other X11 sessions (DISPLAY, no Wayland session): the MIT-SCREEN-SAVER idle time, with
/// org.freedesktop.ScreenSaver served on the session bus where nobody else serves it; steps
/// aside when an XScreenSaver daemon runs. (x11_idle_source.cpp)
SourceAttempt tryX11IdleSource(const SourceContext& context);

}  // namespace idle
