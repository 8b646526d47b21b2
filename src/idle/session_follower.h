// What the idle watcher follows of the session besides idleness: the desktop's own screen shield
// and lock, displays turned off, the machine going to sleep, and whatever keeps the screen awake.
// Each kind is a class of its own in a file of its own, found once at start and named in the log,
// as the idle sources are; the watcher's loop only asks whether a follower is active, and what it
// does to a saver while it is.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "idle/idle_source.h"

namespace idle {

class SessionFollower : public QObject {
    Q_OBJECT
public:
    /// What an active follower does to the screen saver.
    enum class Effect {
        /// No saver starts while it is active; one that runs goes on (an idle inhibitor: the user
        /// may have started a video under a running saver, but the next idle period waits).
        KeepAway,
        /// A running saver ends within a second and none starts while it is active: nobody would
        /// see it (the desktop's shield or lock, every display off, the machine going to sleep).
        Cover,
    };

    explicit SessionFollower(Effect effect, QObject* parent = nullptr) : QObject(parent), effect_(effect) {}

    Effect effect() const { return effect_; }
    /// What the log calls it: "GNOME's screen shield (org.gnome.ScreenSaver)", "logind's lock of
    /// this session", "the X server's display power (DPMS)".
    virtual QString name() const = 0;
    bool active() const { return active_; }
    /// Why it is active, in words for the log, --idle-status and the settings window ("GNOME's
    /// screen shield is up", "kept awake by Firefox: Playing video"); empty while inactive.
    const std::string& reason() const { return reason_; }

    /// The watcher says when a saver it started begins and ends, for followers that act only
    /// while one runs (a sleep delay inhibitor held for it, display power polled for it).
    virtual void saverRunning(bool /*running*/) {}

signals:
    /// active() or reason() changed.
    void changed();

protected:
    /// For the subclasses: records the state, and says so when it changed.
    void setActive(bool active, std::string reason = {}) {
        if (!active) reason.clear();
        if (active == active_ && reason == reason_) return;
        active_ = active;
        reason_ = std::move(reason);
        emit changed();
    }

private:
    Effect effect_;
    bool active_ = false;
    std::string reason_;
};

/// What the finders may ask of the watcher.
struct FollowerContext {
    IdleLog log;
    /// Whether the watcher itself serves org.freedesktop.ScreenSaver (plain X11): then no other
    /// program's ActiveChanged is to be followed under that name. (The finder also looks whether
    /// this very process owns the name, and the follower of that name passes over such an owner.)
    bool servesFreedesktopScreenSaver = false;
};

/// Every follower this session has, each already following; one log line for each kind the
/// session lacks (no system bus, say). (session_followers.cpp)
std::vector<std::unique_ptr<SessionFollower>> findSessionFollowers(const FollowerContext& context);

}  // namespace idle
