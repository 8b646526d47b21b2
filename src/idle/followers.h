// The session followers, one kind a file; findSessionFollowers (session_followers.cpp) chooses
// the ones the session has. Each follows from the moment it is made; the bus connections passed
// are the followers' own.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <memory>

#include "idle/session_follower.h"

namespace idle {

/// GNOME Shell's screen shield, through org.gnome.ScreenSaver. (screensaver_follower.cpp)
std::unique_ptr<SessionFollower> followGnomeScreenShield(const QDBusConnection& sessionBus, const IdleLog& log);
/// The org.freedesktop.ScreenSaver of another program: KDE's screen locker, xfce4-, mate- and
/// cinnamon-screensaver. Never this watcher's own. (screensaver_follower.cpp)
std::unique_ptr<SessionFollower> followFreedesktopScreenSaver(const QDBusConnection& sessionBus, const IdleLog& log);
/// Mutter's display power saving (org.gnome.Mutter.DisplayConfig). (mutter_display_follower.cpp)
std::unique_ptr<SessionFollower> followMutterDisplayPower(const QDBusConnection& sessionBus, const IdleLog& log);

/// logind's names on the system bus.
namespace logind {
inline const QString kService = QStringLiteral("org.freedesktop.login1");
inline const QString kPath = QStringLiteral("/org/freedesktop/login1");
inline const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
}  // namespace logind

/// logind's lock of this session: Lock, Unlock, LockedHint. (logind_lock_follower.cpp)
std::unique_ptr<SessionFollower> followLogindLock(const QDBusConnection& systemBus, const IdleLog& log);
/// The machine going to sleep, with a delay inhibitor held while a saver runs.
/// (logind_sleep_follower.cpp)
std::unique_ptr<SessionFollower> followLogindSleep(const QDBusConnection& systemBus, const IdleLog& log);
/// logind's idle inhibitors (BlockInhibited). (logind_inhibitor_follower.cpp)
std::unique_ptr<SessionFollower> followLogindIdleInhibitors(const QDBusConnection& systemBus, const IdleLog& log);

/// On an X11 session without Wayland: the server's own screen saver and its display power (DPMS).
/// Null on other sessions or when the server cannot be reached. (x11_display_follower.cpp)
std::unique_ptr<SessionFollower> followX11Display(const IdleLog& log);

}  // namespace idle
