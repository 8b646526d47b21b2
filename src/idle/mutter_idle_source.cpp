#include "idle/mutter_idle_source.h"

#include "idle/followed_service.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>

#include "idle/followed_service.h"

namespace idle {
namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString kInterface = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kConnectionName = QStringLiteral("tavrin-mutter-idle-monitor");

QDBusMessage monitorCall(const char* method) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QLatin1String(method));
    call.setAutoStartService(false);  // Mutter is there or not; nothing is to be started for it
    return call;
}

/// The one unsigned number a reply carries (a watch id, the idle time), or false.
template <typename Number>
bool replyNumber(const QDBusMessage& reply, Number* value) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return false;
    bool ok = false;
    const qulonglong number = reply.arguments().first().toULongLong(&ok);
    if (!ok) return false;
    *value = static_cast<Number>(number);
    return true;
}

}  // namespace

MutterIdleSource::MutterIdleSource(const QDBusConnection& bus, const QString& connectionName, IdleLog log)
    : bus_(bus),
      connectionName_(connectionName),
      log_(std::move(log)),
      ownerWatcher_(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
    bus_.connect(kService, kPath, kInterface, QStringLiteral("WatchFired"), this, SLOT(onWatchFired(uint)));
    // libdbus says that the bus has gone with this signal of its own, from no sender.
    bus_.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"), QStringLiteral("org.freedesktop.DBus.Local"),
                 QStringLiteral("Disconnected"), this, SLOT(onBusDisconnected()));
    connect(&ownerWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) { onOwnerChanged(newOwner); });
    comeBackTimer_.setSingleShot(true);
    comeBackTimer_.setInterval(kComeBackGrace);
    connect(&comeBackTimer_, &QTimer::timeout, this, [this] {
        end(0, QStringLiteral("Mutter's idle monitor left the session bus and did not come back within %1 s: the "
                              "session has ended")
                   .arg(kComeBackGrace.count() / 1000));
    });
}

MutterIdleSource::~MutterIdleSource() {
    // Mutter drops the watches of a connection that closes; removing them first is only tidy.
    if (present_ && bus_.isConnected()) {
        removeWatch(idleWatch_);
        removeWatch(activeWatch_);
    }
    bus_.disconnect(kService, kPath, kInterface, QStringLiteral("WatchFired"), this, SLOT(onWatchFired(uint)));
    QDBusConnection::disconnectFromBus(connectionName_);
}

QString MutterIdleSource::name() const {
    return QStringLiteral("Mutter's idle monitor (org.gnome.Mutter.IdleMonitor)");
}

bool MutterIdleSource::watch(std::chrono::milliseconds timeout, std::string* why) {
    if (timeout.count() <= 0) {
        *why = "Mutter's idle monitor takes no idle time of " + std::to_string(timeout.count()) + " ms";
        return false;
    }
    if (!bus_.isConnected()) {
        *why = "the session bus is gone";
        return false;
    }
    if (!present_) {
        // Mutter is away for the moment: the new time is watched for when it is back.
        timeout_ = timeout;
        return true;
    }
    QDBusMessage call = monitorCall("AddIdleWatch");
    call << static_cast<qulonglong>(timeout.count());
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    uint id = 0;
    if (!replyNumber(reply, &id)) {
        *why = "AddIdleWatch: " + replyError(reply);
        return false;
    }
    // The new watch is in place before the old one goes, so a failure leaves the old one.
    removeWatch(idleWatch_);
    idleWatch_ = id;
    timeout_ = timeout;
    return true;
}

void MutterIdleSource::onWatchFired(uint id) {
    if (id == 0) return;
    if (id == idleWatch_) {
        // Mutter fires the idle watch once per idle period; after Mutter came back while the user
        // was away it may fire again before any input, and that is the same period.
        if (idleSent_) return;
        idleSent_ = true;
        emit idle();
        QMetaObject::invokeMethod(this, [this] { addUserActiveWatch(true); }, Qt::QueuedConnection);
    } else if (id == activeWatch_) {
        activeWatch_ = 0;  // Mutter removes a user-active watch when it fires
        userBack();
    }
    // Any other id is a watch that was replaced or belonged to a Mutter that has gone.
}

void MutterIdleSource::onBusDisconnected() {
    end(0, QStringLiteral("the session bus has gone: the session has ended"));
}

void MutterIdleSource::onOwnerChanged(const QString& newOwner) {
    // A new owner knows none of the old one's watches, and their ids mean nothing to it.
    ++owners_;
    idleWatch_ = 0;
    activeWatch_ = 0;
    addingActiveWatch_ = false;
    if (newOwner.isEmpty()) {
        // QtDBus says every watched name has gone when the bus itself has.
        if (!bus_.isConnected()) return onBusDisconnected();
        present_ = false;
        log_(host::LogLevel::Default, "Mutter's idle monitor left the session bus; waiting " +
                                          std::to_string(kComeBackGrace.count() / 1000) + " s for it to come back");
        comeBackTimer_.start();
        return;
    }
    present_ = true;
    comeBackTimer_.stop();
    QMetaObject::invokeMethod(this, [this] { addIdleWatchAgain(); }, Qt::QueuedConnection);
}

void MutterIdleSource::addIdleWatchAgain() {
    if (!present_ || ended_) return;
    QDBusMessage call = monitorCall("AddIdleWatch");
    call << static_cast<qulonglong>(timeout_.count());
    callAsync(call, [this](const QDBusMessage& reply) {
        uint id = 0;
        if (!replyNumber(reply, &id)) {
            end(1, QString::fromStdString("Mutter's idle monitor is back on the session bus, but takes no watch: "
                                          "AddIdleWatch: " + replyError(reply)));
            return;
        }
        if (idleWatch_ != 0) {
            removeWatch(id);  // watch() has added one for a newer timeout meanwhile
        } else {
            idleWatch_ = id;
        }
        log_(host::LogLevel::Default, "Mutter's idle monitor is back on the session bus: watching again");
        // A saver started before Mutter left still waits for the user to come back.
        if (idleSent_) addUserActiveWatch(false);
    });
}

void MutterIdleSource::addUserActiveWatch(bool userMayBeBack) {
    if (!idleSent_ || activeWatch_ != 0 || addingActiveWatch_ || !present_ || ended_) return;
    addingActiveWatch_ = true;
    callAsync(monitorCall("AddUserActiveWatch"), [this, userMayBeBack](const QDBusMessage& reply) {
        addingActiveWatch_ = false;
        uint id = 0;
        if (!replyNumber(reply, &id)) {
            // Without it the source would wait for an input it cannot see: the next firing of the
            // idle watch counts as a new idle period instead.
            log_(host::LogLevel::Error,
                 "Mutter's idle monitor takes no user-active watch (AddUserActiveWatch: " + replyError(reply) +
                     "); the return of the user is not seen this time");
            idleSent_ = false;
            return;
        }
        activeWatch_ = id;
        if (!idleSent_) {
            removeWatch(id);
            activeWatch_ = 0;
        } else if (userMayBeBack) {
            checkUserBack(id);
        }
    });
}

void MutterIdleSource::checkUserBack(uint activeWatch) {
    // A user-active watch fires at the next input after it was added. Input that came between the
    // idle watch and this one reset Mutter's idle time, which is then below the timeout still.
    callAsync(monitorCall("GetIdletime"), [this, activeWatch](const QDBusMessage& reply) {
        qulonglong idleMs = 0;
        if (!replyNumber(reply, &idleMs) || activeWatch_ != activeWatch) return;
        if (idleMs >= static_cast<qulonglong>(timeout_.count())) return;
        removeWatch(activeWatch_);
        activeWatch_ = 0;
        userBack();
    });
}

void MutterIdleSource::userBack() {
    if (!idleSent_) return;
    idleSent_ = false;
    emit active();
}

void MutterIdleSource::removeWatch(uint id) {
    if (id == 0) return;
    QDBusMessage call = monitorCall("RemoveWatch");
    call << id;
    bus_.send(call);  // the answer does not matter: a watch that is gone already is as good
}

void MutterIdleSource::callAsync(const QDBusMessage& call, std::function<void(const QDBusMessage&)> done) {
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    const unsigned owners = owners_;
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, pending, owners, done = std::move(done)] {
                pending->deleteLater();
                if (owners == owners_ && !ended_) done(pending->reply());
            });
}

void MutterIdleSource::end(int status, const QString& why) {
    if (ended_) return;
    ended_ = true;
    comeBackTimer_.stop();
    emit ended(status, why);
}

SourceAttempt tryMutterIdleSource(const SourceContext& context) {
    SourceAttempt attempt;
    const std::string address = sessionBusAddress();
    if (address.empty()) {
        attempt.missing = "no session bus to look for GNOME's idle monitor on (DBUS_SESSION_BUS_ADDRESS is not set)";
        return attempt;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), kConnectionName);
    if (!bus.isConnected()) {
        attempt.missing = "cannot reach the session bus at " + address + ": " + bus.lastError().message().toStdString();
        QDBusConnection::disconnectFromBus(kConnectionName);
        return attempt;
    }
    const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(kService);
    if (!registered.isValid() || !registered.value()) {
        attempt.missing = "no GNOME idle monitor (org.gnome.Mutter.IdleMonitor) on the session bus";
        QDBusConnection::disconnectFromBus(kConnectionName);
        return attempt;
    }
    attempt.source = std::make_unique<MutterIdleSource>(bus, kConnectionName, context.log);
    return attempt;
}

}  // namespace idle
