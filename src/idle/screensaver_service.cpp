#include "idle/screensaver_service.h"

#include "idle/inhibitor_list.h"
#include "idle/followed_service.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <cstdlib>

#include "idle/followed_service.h"

namespace idle {
namespace {

constexpr const char* kLimitsExceeded = "org.freedesktop.DBus.Error.LimitsExceeded";


/// "xfce4-screensaver (process 1234)" for the owner of a bus name, as far as the bus says.
std::string describeOwner(const QDBusConnection& bus, const QString& name) {
    QDBusConnectionInterface* daemon = bus.interface();
    const QDBusReply<uint> pid = daemon->servicePid(name);
    if (!pid.isValid()) return "another program";
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid.value()));
    const QString command =
        comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
    return (command.isEmpty() ? std::string("a program") : command.toStdString()) + " (process " +
           std::to_string(pid.value()) + ")";
}

}  // namespace

ScreenSaverService::ScreenSaverService(IdleLog log, std::function<bool()> saverRunning, QObject* parent)
    : QObject(parent), log_(std::move(log)), saverRunning_(std::move(saverRunning)), bus_(QString()) {
    clients_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&clients_, &QDBusServiceWatcher::serviceUnregistered, this, &ScreenSaverService::clientLeft);
}

bool ScreenSaverService::serve() {
    if (sessionBusAddress().empty()) {
        log_(host::LogLevel::Default, std::string("no session bus: ") + kServiceName +
                                          " is not served, so no program can keep the screen saver away");
        return false;
    }
    bus_ = QDBusConnection::sessionBus();
    if (!bus_.isConnected()) {
        log_(host::LogLevel::Error, "cannot connect to the session bus (" + bus_.lastError().message().toStdString() +
                                        "): " + kServiceName + " is not served");
        return false;
    }
    // The object is in place before the name is taken, so that the first call finds it. Clients
    // use either path.
    for (const char* path : {"/org/freedesktop/ScreenSaver", "/ScreenSaver"}) {
        if (!bus_.registerObject(QString::fromLatin1(path), this,
                                 QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals)) {
            log_(host::LogLevel::Error, std::string("cannot serve ") + kServiceName + " at " + path + ": " +
                                            bus_.lastError().message().toStdString());
            return false;
        }
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus_.interface()->registerService(
        QString::fromLatin1(kServiceName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
        bus_.unregisterObject(QStringLiteral("/ScreenSaver"));
        if (reply.isValid())
            log_(host::LogLevel::Default, std::string(kServiceName) + " is served by " +
                                              describeOwner(bus_, QString::fromLatin1(kServiceName)) +
                                              ": its inhibitions are that program's business");
        else
            log_(host::LogLevel::Error, std::string("cannot take the name ") + kServiceName + ": " +
                                            reply.error().message().toStdString());
        return false;
    }
    clients_.setConnection(bus_);
    log_(host::LogLevel::Default, std::string("serving ") + kServiceName + " on the session bus");
    return true;
}

int ScreenSaverService::heldBy(const QString& client) const {
    int count = 0;
    for (const auto& [cookie, inhibition] : inhibitions_) count += inhibition.client == client;
    return count;
}

uint ScreenSaverService::Inhibit(const QString& application, const QString& reason) {
    const QString client = message().service();
    if (static_cast<int>(inhibitions_.size()) >= kMaxInAll || heldBy(client) >= kMaxPerClient) {
        const bool own = heldBy(client) >= kMaxPerClient;
        sendErrorReply(QString::fromLatin1(kLimitsExceeded),
                       own ? QStringLiteral("a client holds at most %1 inhibitions").arg(kMaxPerClient)
                           : QStringLiteral("at most %1 inhibitions are held at once").arg(kMaxInAll));
        return 0;
    }
    do {
        ++lastCookie_;
    } while (lastCookie_ == 0 || inhibitions_.count(lastCookie_));
    const uint32_t cookie = lastCookie_;
    const bool first = inhibitions_.empty();
    inhibitions_[cookie] = {client, loggable(application, kMaxTextLength), loggable(reason, kMaxTextLength)};
    if (heldBy(client) == 1) {
        clients_.addWatchedService(client);
        // The client may have left before the watch was in place: the bus answers this after
        // it has set the watch up, so a client gone by then is seen here, one still there later.
        auto* pending =
            new QDBusPendingCallWatcher(bus_.interface()->asyncCall(QStringLiteral("NameHasOwner"), client), this);
        connect(pending, &QDBusPendingCallWatcher::finished, this, [this, client](QDBusPendingCallWatcher* call) {
            const QDBusPendingReply<bool> hasOwner = *call;
            if (hasOwner.isValid() && !hasOwner.value()) clientLeft(client);
            call->deleteLater();
        });
    }
    const Inhibition& made = inhibitions_[cookie];
    log_(host::LogLevel::Default, made.application.toStdString() + " (" + client.toStdString() +
                                      ") keeps the screen saver away: " + made.reason.toStdString() + " (cookie " +
                                      std::to_string(cookie) + ")");
    if (first) emit inhibitedChanged(true);
    emit holdersChanged();
    return cookie;
}

void ScreenSaverService::UnInhibit(uint cookie) {
    const auto it = inhibitions_.find(cookie);
    // Another client's cookie is as unknown to this one as a cookie never given.
    if (it == inhibitions_.end() || it->second.client != message().service()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no inhibition %1 of this client").arg(cookie));
        return;
    }
    release(it, "released");
}

bool ScreenSaverService::GetActive() { return saverRunning_(); }

void ScreenSaverService::SimulateUserActivity() { emit userActivity(); }

void ScreenSaverService::clientLeft(const QString& client) {
    clients_.removeWatchedService(client);
    for (auto it = inhibitions_.begin(); it != inhibitions_.end();) {
        auto next = std::next(it);
        if (it->second.client == client) release(it, "dropped: its client left the bus");
        it = next;
    }
}

void ScreenSaverService::release(std::map<uint32_t, Inhibition>::iterator it, const char* how) {
    const QString client = it->second.client;
    log_(host::LogLevel::Default, "the inhibition of " + it->second.application.toStdString() + " (cookie " +
                                      std::to_string(it->first) + ") is " + how);
    inhibitions_.erase(it);
    if (heldBy(client) == 0) clients_.removeWatchedService(client);
    if (inhibitions_.empty()) emit inhibitedChanged(false);
    emit holdersChanged();
}

std::vector<Inhibitor> ScreenSaverService::holders() const {
    std::vector<Inhibitor> named;
    named.reserve(inhibitions_.size());
    for (const auto& [cookie, inhibition] : inhibitions_)
        named.push_back({inhibition.application.toStdString(), inhibition.reason.toStdString()});
    return named;
}

void ScreenSaverService::announceActive(bool active) {
    if (bus_.isConnected()) emit ActiveChanged(active);
}

}  // namespace idle
