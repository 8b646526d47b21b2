// Another program's service on a bus, as the idle watcher's followers see it: who owns its name
// now, its signals and properties (only what its current owner sends counts), and calls whose
// answers come back in the event loop and are dropped once the owner has changed or the follower
// has gone. Every answer is checked for its shape before use: a service that answers nonsense is
// logged, never trusted.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <string>
#include <vector>

namespace idle {

/// DBUS_SESSION_BUS_ADDRESS, else the user bus socket in the runtime folder, as libdbus looks for
/// them, but never "autolaunch:", which would start a bus of its own for a session without one.
/// Empty when there is none.
std::string sessionBusAddress();
/// DBUS_SYSTEM_BUS_ADDRESS, else the system bus's socket where it exists; empty when there is none.
std::string systemBusAddress();
/// A connection of the followers' own to the bus at `address` (it stays open while a copy of it
/// is held); not connected, with the reason in `why`, when the bus cannot be reached.
QDBusConnection connectFollowerBus(const std::string& address, const QString& name, std::string* why);

/// Another program's text as part of one short log line: cut to `maxLength`, control characters
/// (a newline would forge a line of its own) made spaces.
QString loggable(const QString& text, int maxLength = 120);
/// "xfce4-screensaver (process 1234)", as far as /proc tells.
std::string describeProcess(uint pid);
/// "org.freedesktop.DBus.Error.ServiceUnknown: …", or the shape of an answer that has the wrong one.
std::string replyError(const QDBusMessage& reply);

class FollowedService : public QObject {
    Q_OBJECT
public:
    /// How long one call may take before it counts as failed.
    static constexpr int kCallTimeoutMs = 5000;

    /// Follows the owner of `service` on `bus` from now on: ownerChanged() comes once the owner
    /// is known (and again at each change), not from the constructor.
    FollowedService(const QDBusConnection& bus, const QString& service, QObject* parent = nullptr);

    /// The unique name of the owner; empty while nobody owns the name.
    const QString& owner() const { return owner_; }

    using Reply = std::function<void(const QDBusMessage&)>;
    /// Calls `method` of the service. Without `autoStart` a service that is not running is not
    /// started for it.
    void call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments,
              Reply done, bool autoStart = false);
    /// The process id of the name's owner, as the bus knows it; 0 when it does not.
    void ownerProcess(std::function<void(uint pid)> done);

    /// Follows a signal of the service, at `path` or at any path when it is empty.
    void onSignal(const QString& path, const QString& interface, const QString& member, Reply handler);

    /// `value` is of the property's type; or invalid, with `error` saying why (a failed or
    /// nonsensical answer), or with no error while nobody owns the name.
    using PropertyHandler = std::function<void(const QVariant& value, const std::string& error)>;
    /// Follows a property of type `type` from now on: read whenever the name has a new owner, and
    /// taken from PropertiesChanged (read again when a change names it without its value, or
    /// brings a value of another type).
    void followProperty(const QString& path, const QString& interface, const QString& property, QMetaType type,
                        PropertyHandler changed);

signals:
    /// The name has a new owner, or none (empty).
    void ownerChanged(const QString& owner);

private slots:
    void deliver(const QDBusMessage& message);

private:
    struct Handler {
        QString path, interface, member;
        Reply handle;
    };
    void setOwner(const QString& owner);
    /// Asks the bus itself `method` about `name`; `done` gets the answer unless the owner changed.
    void askBus(const char* method, const QString& name, Reply done);

    QDBusConnection bus_;
    QString service_;
    QString owner_;
    QDBusServiceWatcher watcher_;
    unsigned generation_ = 0;  ///< counts the owner's changes, to drop stale answers
    bool ownerKnown_ = false;  ///< the first word about the owner has come
    std::vector<Handler> handlers_;
};

/// The value of `variant` when it holds a T exactly (a bus value of another type holds none).
template <typename T>
bool holds(const QVariant& variant, T* value) {
    if (variant.metaType() != QMetaType::fromType<T>()) return false;
    *value = variant.value<T>();
    return true;
}

}  // namespace idle
