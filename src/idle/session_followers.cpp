// Which followers the session has (session_follower.h): the desktop's shield or screen saver and
// Mutter's display power on the session bus, logind's lock, sleep and idle inhibitors on the
// system bus, the X server's own screen saver and display power on X11. Looked for once at start;
// one line says what is followed, one what cannot be.
#include <QDBusConnectionInterface>
#include <unistd.h>

#include "idle/followed_service.h"
#include "idle/followers.h"

namespace idle {
namespace {

bool registered(const QDBusConnection& bus, const char* name) {
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(QString::fromLatin1(name));
    return reply.isValid() && reply.value();
}

/// Whether this very process owns the name (the X11 idle source's org.freedesktop.ScreenSaver).
bool ownedHere(const QDBusConnection& bus, const char* name) {
    const QDBusReply<uint> pid = bus.interface()->servicePid(QString::fromLatin1(name));
    return pid.isValid() && pid.value() == static_cast<uint>(::getpid());
}

void findOnSessionBus(const FollowerContext& context, std::vector<std::unique_ptr<SessionFollower>>* found) {
    const std::string address = sessionBusAddress();
    std::string why = "DBUS_SESSION_BUS_ADDRESS is not set";
    const QDBusConnection bus = address.empty()
                                    ? QDBusConnection(QString())
                                    : connectFollowerBus(address, QStringLiteral("tavrin-followers-session"), &why);
    if (!bus.isConnected()) {
        context.log(host::LogLevel::Default,
                    "no session bus (" + why + "): the desktop's screen shield and screen saver are not followed");
        return;
    }
    if (registered(bus, "org.gnome.Shell") || registered(bus, "org.gnome.ScreenSaver"))
        found->push_back(followGnomeScreenShield(bus, context.log));
    if (registered(bus, "org.gnome.Mutter.DisplayConfig")) found->push_back(followMutterDisplayPower(bus, context.log));
    if (!context.servesFreedesktopScreenSaver && !ownedHere(bus, "org.freedesktop.ScreenSaver"))
        found->push_back(followFreedesktopScreenSaver(bus, context.log));
}

void findOnSystemBus(const FollowerContext& context, std::vector<std::unique_ptr<SessionFollower>>* found) {
    const std::string address = systemBusAddress();
    std::string why = "nothing at DBUS_SYSTEM_BUS_ADDRESS or /var/run/dbus/system_bus_socket";
    const QDBusConnection bus = address.empty()
                                    ? QDBusConnection(QString())
                                    : connectFollowerBus(address, QStringLiteral("tavrin-followers-system"), &why);
    const char* missing = "logind's lock, the machine's sleep and logind's idle inhibitors are not followed";
    if (!bus.isConnected()) {
        context.log(host::LogLevel::Default, "no system bus (" + why + "): " + missing);
        return;
    }
    if (!registered(bus, "org.freedesktop.login1")) {
        context.log(host::LogLevel::Default, std::string("no logind on the system bus: ") + missing);
        return;
    }
    found->push_back(followLogindLock(bus, context.log));
    found->push_back(followLogindSleep(bus, context.log));
    found->push_back(followLogindIdleInhibitors(bus, context.log));
}

}  // namespace

std::vector<std::unique_ptr<SessionFollower>> findSessionFollowers(const FollowerContext& context) {
    std::vector<std::unique_ptr<SessionFollower>> found;
    findOnSessionBus(context, &found);
    findOnSystemBus(context, &found);
    if (auto x11 = followX11Display(context.log)) found.push_back(std::move(x11));
    std::string names;
    for (const auto& follower : found) names += (names.empty() ? "" : "; ") + follower->name().toStdString();
    if (!names.empty()) context.log(host::LogLevel::Default, "following " + names);
    return found;
}

}  // namespace idle
