// A screen saver or locker of the session that says on the session bus whether it is active:
// GNOME Shell's shield through org.gnome.ScreenSaver, or KDE's screen locker, xfce4-, mate- and
// cinnamon-screensaver through org.freedesktop.ScreenSaver. One class, told the service's names:
// it asks GetActive whenever the name has a new owner, and follows ActiveChanged of that owner.
//
// GNOME Shell sends ActiveChanged itself (under org.gnome.Shell.ScreenShield), and its
// org.gnome.ScreenSaver service sends it again; the name followed is the service's, so one is
// taken. The bus starts that service on demand and it ends with the shell: whenever the shell's
// shield comes onto the bus and the service is not there, the question to it starts it.
#include <unistd.h>

#include "idle/followed_service.h"
#include "idle/followers.h"

namespace idle {
namespace {

struct ScreenSaverKind {
    QString service;
    QString path;
    QString interface;
    QString name;              ///< what the log calls it
    QString reason;            ///< why it is active; %1 is the program that owns the name
    QString fallbackPath;      ///< where GetActive is asked when `path` has no answer; signals come from either
    QString startedBy;         ///< a name whose owner's coming starts the service, if it is not there
    bool mayBeOurOwn = false;  ///< the name may be served by this watcher, which is then not followed
};

class ScreenSaverFollower : public SessionFollower {
public:
    ScreenSaverFollower(const QDBusConnection& bus, ScreenSaverKind kind, IdleLog log)
        : SessionFollower(Effect::Cover), kind_(std::move(kind)), log_(std::move(log)), service_(bus, kind_.service) {
        service_.onSignal(kind_.fallbackPath.isEmpty() ? kind_.path : QString(), kind_.interface,
                          QStringLiteral("ActiveChanged"), [this](const QDBusMessage& message) {
                              if (ours_) return;
                              if (message.signature() != QLatin1String("b")) {
                                  complain("sent an ActiveChanged of the wrong shape ('" +
                                           loggable(message.signature(), 40).toStdString() + "'); it is ignored");
                                  return;
                              }
                              ++changes_;
                              apply(message.arguments().first().toBool());
                          });
        connect(&service_, &FollowedService::ownerChanged, this, [this](const QString& owner) { onOwner(owner); });
        if (!kind_.startedBy.isEmpty()) {
            starter_ = std::make_unique<FollowedService>(bus, kind_.startedBy);
            connect(starter_.get(), &FollowedService::ownerChanged, this, [this](const QString& owner) {
                if (!owner.isEmpty() && service_.owner().isEmpty()) askActive(kind_.path, true);
            });
        }
    }

    QString name() const override { return kind_.name; }

private:
    void onOwner(const QString& owner) {
        ours_ = false;
        complained_ = false;
        if (owner.isEmpty()) {
            apply(false);  // whoever was active has gone with its name
            return;
        }
        if (!kind_.mayBeOurOwn) {
            askActive(kind_.path, false);
            return;
        }
        service_.ownerProcess([this](uint pid) {
            if (pid == static_cast<uint>(::getpid())) {
                ours_ = true;
                apply(false);
                return;
            }
            owner_ = describeProcess(pid);
            askActive(kind_.path, false);
        });
    }

    void askActive(const QString& path, bool autoStart) {
        const unsigned changes = changes_;
        service_.call(
            path, kind_.interface, QStringLiteral("GetActive"), {},
            [this, path, changes](const QDBusMessage& reply) {
                if (ours_ || changes != changes_) return;  // ActiveChanged has told a newer state
                if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("b")) {
                    apply(reply.arguments().first().toBool());
                } else if (path == kind_.path && !kind_.fallbackPath.isEmpty()) {
                    askActive(kind_.fallbackPath, false);
                } else {
                    complain("answers GetActive with " + replyError(reply) + "; taken as not active");
                    apply(false);
                }
            },
            autoStart);
    }

    void apply(bool active) {
        QString why = kind_.reason;
        if (why.contains(QLatin1String("%1")))
            why = why.arg(QString::fromStdString(owner_.empty() ? "another program" : owner_));
        setActive(active, why.toStdString());
    }

    /// One line for the first nonsense of an owner, none for the rest.
    void complain(const std::string& what) {
        if (complained_) return;
        complained_ = true;
        log_(host::LogLevel::Error, kind_.name.toStdString() + " " + what);
    }

    ScreenSaverKind kind_;
    IdleLog log_;
    FollowedService service_;
    std::unique_ptr<FollowedService> starter_;
    std::string owner_;     ///< the program that owns the name, for the log
    unsigned changes_ = 0;  ///< ActiveChanged signals taken, to drop older answers to GetActive
    bool ours_ = false;     ///< this watcher owns the name
    bool complained_ = false;
};

}  // namespace

std::unique_ptr<SessionFollower> followGnomeScreenShield(const QDBusConnection& sessionBus, const IdleLog& log) {
    return std::make_unique<ScreenSaverFollower>(
        sessionBus,
        ScreenSaverKind{QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver"),
                        QStringLiteral("org.gnome.ScreenSaver"),
                        QStringLiteral("GNOME's screen shield (org.gnome.ScreenSaver)"),
                        QStringLiteral("GNOME's screen shield is up"), QString(),
                        QStringLiteral("org.gnome.Shell.ScreenShield"), false},
        log);
}

std::unique_ptr<SessionFollower> followFreedesktopScreenSaver(const QDBusConnection& sessionBus, const IdleLog& log) {
    return std::make_unique<ScreenSaverFollower>(
        sessionBus,
        ScreenSaverKind{QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"),
                        QStringLiteral("org.freedesktop.ScreenSaver"),
                        QStringLiteral("the session's screen saver (org.freedesktop.ScreenSaver)"),
                        QStringLiteral("%1, serving org.freedesktop.ScreenSaver, says that its screen saver is active"),
                        QStringLiteral("/ScreenSaver"), QString(), true},
        log);
}

}  // namespace idle
