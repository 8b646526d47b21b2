// Mutter's idle monitor (org.gnome.Mutter.IdleMonitor on the session bus): the idle source of a
// GNOME session, on Wayland or X11. Mutter counts the idle time itself and wakes this process only
// when a watch of its own fires: an idle watch when the user has been idle for the timeout (it is
// armed again by every input, and held while a session-manager idle inhibitor is, so a video
// player keeps the saver away without being asked), then a one-shot user-active watch at the next
// input. Watches belong to the bus connection that added them, and Mutter sends WatchFired to that
// connection only, so the source keeps one connection of its own for its whole life.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <chrono>
#include <functional>

#include "idle/idle_source.h"

namespace idle {

class MutterIdleSource : public IdleSource {
    Q_OBJECT
public:
    /// How long Mutter may be away from the bus (GNOME Shell restarting on X11) before the session
    /// counts as ended.
    static constexpr std::chrono::milliseconds kComeBackGrace{10000};
    /// How long one call to Mutter may take before it counts as failed.
    static constexpr int kCallTimeoutMs = 5000;

    /// Takes over `bus`, a connection made for this source alone (named `connectionName`), on
    /// which Mutter's idle monitor has an owner.
    MutterIdleSource(const QDBusConnection& bus, const QString& connectionName, IdleLog log);
    ~MutterIdleSource() override;

    QString name() const override;
    /// Mutter counts the idle time from the last input, not from this call; the watcher calls it at
    /// its start and after a settings change, both of which follow input.
    bool watch(std::chrono::milliseconds timeout, std::string* why) override;

private Q_SLOTS:
    // Called by QtDBus (string-based connections): each records what happened and leaves the
    // calls to Mutter to a queued step.
    void onWatchFired(uint id);
    void onBusDisconnected();

private:
    void onOwnerChanged(const QString& newOwner);
    void addIdleWatchAgain();
    void addUserActiveWatch(bool userMayBeBack);
    void checkUserBack(uint activeWatch);
    void userBack();
    void removeWatch(uint id);
    void end(int status, const QString& why);
    /// Sends `call` and hands its reply (or error) to `done` in the event loop, unless Mutter has
    /// left or come back in between.
    void callAsync(const QDBusMessage& call, std::function<void(const QDBusMessage&)> done);

    QDBusConnection bus_;
    QString connectionName_;
    IdleLog log_;
    QDBusServiceWatcher ownerWatcher_;
    QTimer comeBackTimer_;            ///< runs while Mutter is away from the bus
    std::chrono::milliseconds timeout_{0};
    uint idleWatch_ = 0;              ///< Mutter's id of our idle watch; 0 while there is none
    uint activeWatch_ = 0;            ///< of our user-active watch, while one waits for input
    bool addingActiveWatch_ = false;  ///< an AddUserActiveWatch call is on its way
    bool idleSent_ = false;           ///< idle() was sent, active() not yet
    bool present_ = true;             ///< Mutter's idle monitor owns its name
    bool ended_ = false;
    unsigned owners_ = 0;             ///< counts Mutter's comings and goings, to drop stale replies
};

}  // namespace idle
