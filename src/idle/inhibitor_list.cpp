#include "idle/inhibitor_list.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QStandardPaths>

#include "idle/followed_service.h"

namespace idle {
namespace {

/// Holders listed at most, whatever a service answers.
constexpr int kMaxListed = 32;
/// GNOME's inhibitor flag for idleness.
constexpr uint kGnomeInhibitIdle = 8;

QDBusMessage call(const QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setAutoStartService(false);  // what is not running has no inhibitors to tell
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, kInhibitorCallTimeoutMs);
}

/// The one argument of a reply, or an invalid variant.
QVariant only(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return {};
    return reply.arguments().first();
}

/// A holder's text as one short line: cut, control characters made spaces.
std::string oneLineText(const QString& text) { return loggable(text).trimmed().toStdString(); }

}  // namespace

std::string applicationName(const QString& appId) {
    QString id = appId.trimmed();
    if (id.endsWith(QStringLiteral(".desktop"))) id.chop(8);
    // An id is a name, never a path: nothing outside the applications folders is opened.
    if (!id.isEmpty() && !id.contains(QLatin1Char('/')) && !id.startsWith(QLatin1Char('.'))) {
        const QString entry =
            QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id + QStringLiteral(".desktop"));
        QFile file(entry);
        if (!entry.isEmpty() && file.open(QIODevice::ReadOnly)) {
            bool inEntry = false;
            for (int lines = 0; lines < 200 && !file.atEnd(); ++lines) {
                const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
                if (line.startsWith(QLatin1Char('['))) inEntry = line == QStringLiteral("[Desktop Entry]");
                if (inEntry && line.startsWith(QStringLiteral("Name="))) {
                    const std::string name = oneLineText(line.mid(5));
                    if (!name.empty()) return name;
                }
            }
        }
    }
    return oneLineText(appId);
}

std::vector<Inhibitor> gnomeIdleInhibitors(const QDBusConnection& sessionBus, bool* answered) {
    std::vector<Inhibitor> inhibitors;
    if (answered) *answered = false;
    if (!sessionBus.isConnected()) return inhibitors;
    const QString service = QStringLiteral("org.gnome.SessionManager");
    const QVariant paths = only(call(sessionBus, service, QStringLiteral("/org/gnome/SessionManager"), service,
                                     QStringLiteral("GetInhibitors")));
    if (!paths.canConvert<QDBusArgument>()) return inhibitors;
    QList<QDBusObjectPath> list;
    const QDBusArgument argument = paths.value<QDBusArgument>();
    if (argument.currentSignature() != QStringLiteral("ao")) return inhibitors;
    argument >> list;
    if (answered) *answered = true;
    const QString interface = QStringLiteral("org.gnome.SessionManager.Inhibitor");
    for (const QDBusObjectPath& path : list) {
        if (static_cast<int>(inhibitors.size()) >= kMaxListed) break;
        const QVariant flags = only(call(sessionBus, service, path.path(), interface, QStringLiteral("GetFlags")));
        if (!flags.isValid() || !(flags.toUInt() & kGnomeInhibitIdle)) continue;
        const QVariant appId = only(call(sessionBus, service, path.path(), interface, QStringLiteral("GetAppId")));
        const QVariant reason = only(call(sessionBus, service, path.path(), interface, QStringLiteral("GetReason")));
        inhibitors.push_back({applicationName(appId.toString()), oneLineText(reason.toString())});
    }
    return inhibitors;
}

bool blocksIdle(const QString& what) { return what.split(QLatin1Char(':')).contains(QLatin1String("idle")); }

std::vector<Inhibitor> logindIdleInhibitorsIn(const QDBusMessage& reply, bool* wellFormed) {
    std::vector<Inhibitor> inhibitors;
    *wellFormed = reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("a(ssssuu)");
    if (!*wellFormed) return inhibitors;
    const QDBusArgument argument = reply.arguments().first().value<QDBusArgument>();
    // (what, who, why, mode, uid, pid) for each
    argument.beginArray();
    while (!argument.atEnd()) {
        QString what, who, why, mode;
        uint uid = 0, pid = 0;
        argument.beginStructure();
        argument >> what >> who >> why >> mode >> uid >> pid;
        argument.endStructure();
        if (mode == QLatin1String("block") && blocksIdle(what) && static_cast<int>(inhibitors.size()) < kMaxListed)
            inhibitors.push_back({oneLineText(who), oneLineText(why)});
    }
    argument.endArray();
    return inhibitors;
}

std::vector<Inhibitor> logindIdleInhibitors(const QDBusConnection& systemBus) {
    if (!systemBus.isConnected()) return {};
    bool wellFormed = false;
    return logindIdleInhibitorsIn(call(systemBus, QStringLiteral("org.freedesktop.login1"),
                                       QStringLiteral("/org/freedesktop/login1"),
                                       QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors")),
                                  &wellFormed);
}

}  // namespace idle
