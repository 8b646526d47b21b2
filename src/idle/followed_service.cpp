#include "idle/followed_service.h"

#include <sys/stat.h>

#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFile>
#include <cstdlib>
#include <memory>

namespace idle {
namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

bool isSocket(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

std::string sessionBusAddress() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    const std::string socket = std::string(runtime) + "/bus";
    return isSocket(socket) ? "unix:path=" + socket : std::string();
}

std::string systemBusAddress() {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address && *address) return address;
    const std::string socket = "/var/run/dbus/system_bus_socket";  // where libdbus looks for it
    return isSocket(socket) ? "unix:path=" + socket : std::string();
}

QDBusConnection connectFollowerBus(const std::string& address, const QString& name, std::string* why) {
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), name);
    if (!bus.isConnected()) *why = "cannot reach " + address + ": " + bus.lastError().message().toStdString();
    // The name is free again at once: the connection lasts as long as a copy of it is held.
    QDBusConnection::disconnectFromBus(name);
    return bus;
}

QString loggable(const QString& text, int maxLength) {
    QString line = text.left(maxLength);
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    return line;
}

std::string describeProcess(uint pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QString command =
        comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
    return (command.isEmpty() ? std::string("a program") : loggable(command, 40).toStdString()) + " (process " +
           std::to_string(pid) + ")";
}

std::string replyError(const QDBusMessage& reply) {
    if (reply.type() == QDBusMessage::ErrorMessage)
        return (loggable(reply.errorName()) + QStringLiteral(": ") + loggable(reply.errorMessage())).toStdString();
    return "an answer of the wrong shape ('" + loggable(reply.signature(), 40).toStdString() + "')";
}

FollowedService::FollowedService(const QDBusConnection& bus, const QString& service, QObject* parent)
    : QObject(parent), bus_(bus), service_(service), watcher_(service, bus, QDBusServiceWatcher::WatchForOwnerChange) {
    connect(&watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                ownerKnown_ = true;
                setOwner(newOwner);
            });
    // The owner now, asked once the watch is in place, so that no change in between is lost.
    askBus("GetNameOwner", service, [this](const QDBusMessage& reply) {
        if (ownerKnown_) return;  // the watch has told a newer owner
        ownerKnown_ = true;
        const bool owned = reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("s");
        setOwner(owned ? reply.arguments().first().toString() : QString());
    });
}

void FollowedService::setOwner(const QString& owner) {
    ++generation_;
    owner_ = owner;
    emit ownerChanged(owner_);
}

void FollowedService::askBus(const char* method, const QString& name, Reply done) {
    QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QLatin1String(method));
    ask << name;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(ask, kCallTimeoutMs), this);
    const unsigned generation = generation_;
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, generation, done = std::move(done)] {
        pending->deleteLater();
        if (generation == generation_) done(pending->reply());
    });
}

void FollowedService::call(const QString& path, const QString& interface, const QString& method,
                           const QVariantList& arguments, Reply done, bool autoStart) {
    QDBusMessage message = QDBusMessage::createMethodCall(service_, path, interface, method);
    message.setArguments(arguments);
    message.setAutoStartService(autoStart);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(message, kCallTimeoutMs), this);
    const unsigned generation = generation_;
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, generation, done = std::move(done)] {
        pending->deleteLater();
        // An answer from before the owner changed is stale, unless the new owner gave it (the
        // call started the service).
        const QDBusMessage reply = pending->reply();
        if (generation == generation_ || (!owner_.isEmpty() && reply.service() == owner_)) done(reply);
    });
}

void FollowedService::ownerProcess(std::function<void(uint pid)> done) {
    askBus("GetConnectionUnixProcessID", owner_, [done = std::move(done)](const QDBusMessage& reply) {
        const bool ok = reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("u");
        done(ok ? reply.arguments().first().toUInt() : 0);
    });
}

void FollowedService::onSignal(const QString& path, const QString& interface, const QString& member, Reply handler) {
    handlers_.push_back({path, interface, member, std::move(handler)});
    // QtDBus delivers only what the name's current owner sends; a slot that takes the message
    // gets it whatever its arguments, and the handler checks them.
    bus_.connect(service_, path, interface, member, this, SLOT(deliver(QDBusMessage)));
}

void FollowedService::followProperty(const QString& path, const QString& interface, const QString& property,
                                     QMetaType type, PropertyHandler changed) {
    // Counts the reads and changes of this property, so that an older answer never overrides.
    auto latest = std::make_shared<unsigned>(0);
    auto read = [this, path, interface, property, type, changed, latest] {
        const unsigned mine = ++*latest;
        call(path, kProperties, QStringLiteral("Get"), {interface, property},
             [type, changed, latest, mine](const QDBusMessage& reply) {
                 if (mine != *latest) return;
                 const QVariant value =
                     reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("v")
                         ? reply.arguments().first().value<QDBusVariant>().variant()
                         : QVariant();
                 if (value.metaType() == type)
                     changed(value, {});
                 else
                     changed(QVariant(), value.isValid() ? "a value of the wrong type" : replyError(reply));
             });
    };
    onSignal(
        path, kProperties, QStringLiteral("PropertiesChanged"),
        [interface, property, type, changed, latest, read](const QDBusMessage& message) {
            if (message.signature() != QLatin1String("sa{sv}as") || message.arguments().first().toString() != interface)
                return;
            const QVariantMap values = qdbus_cast<QVariantMap>(message.arguments().at(1));
            if (values.contains(property) && values.value(property).metaType() == type) {
                ++*latest;
                changed(values.value(property), {});
            } else if (values.contains(property) || message.arguments().at(2).toStringList().contains(property)) {
                read();
            }
        });
    connect(this, &FollowedService::ownerChanged, this, [changed, latest, read](const QString& owner) {
        if (!owner.isEmpty()) return read();
        ++*latest;
        changed(QVariant(), {});
    });
    if (!owner_.isEmpty()) read();
}

void FollowedService::deliver(const QDBusMessage& message) {
    if (!owner_.isEmpty() && message.service() != owner_) return;
    // A copy: a handler may follow something more.
    const std::vector<Handler> handlers = handlers_;
    for (const Handler& handler : handlers) {
        if ((handler.path.isEmpty() || handler.path == message.path()) && handler.interface == message.interface() &&
            handler.member == message.member())
            handler.handle(message);
    }
}

}  // namespace idle
