// org.freedesktop.ScreenSaver on the session bus, for desktops where nobody else serves it: video
// players and browsers ask it to keep the screen saver away while they play (Inhibit/UnInhibit),
// or report activity of their own (SimulateUserActivity). The service keeps the inhibitions and
// says when the first is taken and the last let go; the idle source decides what that means.
//
// Every inhibition belongs to the bus client that took it: only that client releases it, and all
// of a client's inhibitions go when it leaves the bus (it quit or crashed). What a client can make
// the service keep is bounded, so no client grows the watcher's memory.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "idle/idle_source.h"

namespace idle {

class ScreenSaverService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    static constexpr const char* kServiceName = "org.freedesktop.ScreenSaver";
    /// Inhibitions one client may hold at once, and all clients together; more are refused.
    static constexpr int kMaxPerClient = 16;
    static constexpr int kMaxInAll = 256;
    /// Characters kept of a client's application name and reason (for the log).
    static constexpr int kMaxTextLength = 120;

    ScreenSaverService(IdleLog log, std::function<bool()> saverRunning, QObject* parent = nullptr);

    /// Serves the interface on the session bus when there is one and nobody else owns the name;
    /// logs what it did either way. False when it does not serve.
    bool serve();

    bool inhibited() const { return !inhibitions_.empty(); }
    /// Who keeps the screen awake now: each inhibition, in the order they were taken.
    std::vector<Inhibitor> holders() const;
    /// Tells the bus that a saver started by the watcher began or ended (ActiveChanged): some
    /// players pause on it.
    void announceActive(bool active);

signals:
    /// The first inhibition was taken (true), or the last one let go (false).
    void inhibitedChanged(bool inhibited);
    /// An inhibition was taken or let go.
    void holdersChanged();
    /// The D-Bus signal of the interface.
    Q_SCRIPTABLE void ActiveChanged(bool active);
    /// A client reported activity of its own: it counts as the user's input.
    void userActivity();

    // The D-Bus methods, under the names the interface gives them.
public slots:
    /// Keeps the screen saver away until UnInhibit with the cookie returned, or until the caller
    /// leaves the bus.
    Q_SCRIPTABLE uint Inhibit(const QString& application, const QString& reason);
    Q_SCRIPTABLE void UnInhibit(uint cookie);
    /// Whether a screen saver started by the watcher runs now.
    Q_SCRIPTABLE bool GetActive();
    Q_SCRIPTABLE void SimulateUserActivity();

private:
    struct Inhibition {
        QString client;  ///< the unique bus name of the client that took it
        QString application;
        QString reason;
    };

    /// Drops every inhibition of a client that left the bus.
    void clientLeft(const QString& client);
    void release(std::map<uint32_t, Inhibition>::iterator it, const char* how);
    int heldBy(const QString& client) const;

    IdleLog log_;
    std::function<bool()> saverRunning_;
    QDBusConnection bus_;
    QDBusServiceWatcher clients_;  ///< the clients that hold inhibitions, until they leave
    std::map<uint32_t, Inhibition> inhibitions_;
    uint32_t lastCookie_ = 0;
};

}  // namespace idle
