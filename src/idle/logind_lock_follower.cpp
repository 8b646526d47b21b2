// logind's lock of this session (system bus): the Lock and Unlock signals of the session's object,
// which logind sends when the session is to lock ("loginctl lock-session", a closed lid), and its
// LockedHint, which the session's locker sets while the screen is locked (GNOME Shell, KDE's
// locker). The session is found as loginctl finds it: XDG_SESSION_ID, else "auto" (this process's
// session, or the user's graphical one when the watcher runs outside any, as a program started by
// a systemd user session does), else by the process id (a logind older than "auto").
//
// A Lock that no locker confirms through LockedHint within kConfirmTime (a locker that never sets
// it, as xss-lock's) ends the running saver and keeps savers away that long only: else the first
// lock would keep them away for the rest of the session.
#include <unistd.h>

#include <QDBusObjectPath>
#include <QTimer>
#include <chrono>
#include <cstdlib>

#include "idle/followed_service.h"
#include "idle/followers.h"

namespace idle {
namespace {

const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

class LogindLockFollower : public SessionFollower {
public:
    static constexpr std::chrono::seconds kConfirmTime{10};

    LogindLockFollower(const QDBusConnection& bus, IdleLog log)
        : SessionFollower(Effect::Cover), log_(std::move(log)), logind_(bus, logind::kService) {
        confirmTimer_.setSingleShot(true);
        confirmTimer_.setInterval(kConfirmTime);
        connect(&confirmTimer_, &QTimer::timeout, this, [this] {
            log_(host::LogLevel::Default, "no locker has said within " + std::to_string(kConfirmTime.count()) +
                                              " s that it locked the session (logind's LockedHint stays false): "
                                              "logind's lock is no longer followed");
            lockAsked_ = false;
            update();
        });
        connect(&logind_, &FollowedService::ownerChanged, this, [this](const QString& owner) {
            lockAsked_ = locked_ = false;
            update();
            if (!owner.isEmpty()) findSession();
        });
    }

    QString name() const override { return QStringLiteral("logind's lock of this session"); }

private:
    /// The ways to ask logind for the session, tried in turn until one answers.
    void findSession(int way = 0) {
        const char* id = std::getenv("XDG_SESSION_ID");
        if (way == 0 && !(id && *id)) way = 1;
        const QString method = way < 2 ? QStringLiteral("GetSession") : QStringLiteral("GetSessionByPID");
        const QVariant argument = way == 0   ? QVariant(QString::fromLocal8Bit(id))
                                  : way == 1 ? QVariant(QStringLiteral("auto"))
                                             : QVariant(static_cast<uint>(::getpid()));
        logind_.call(logind::kPath, logind::kManager, method, {argument}, [this, way](const QDBusMessage& reply) {
            if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("o")) {
                followSession(reply.arguments().first().value<QDBusObjectPath>().path());
            } else if (way < 2) {
                findSession(way + 1);
            } else {
                log_(host::LogLevel::Default, "logind knows no session of this watcher (GetSessionByPID: " +
                                                  replyError(reply) + "): its lock is not followed");
            }
        });
    }

    void followSession(const QString& path) {
        if (session_.isEmpty()) {
            session_ = path;
            logind_.onSignal(path, kSession, QStringLiteral("Lock"), [this](const QDBusMessage&) {
                lockAsked_ = true;
                if (!locked_) confirmTimer_.start();
                update();
            });
            logind_.onSignal(path, kSession, QStringLiteral("Unlock"), [this](const QDBusMessage&) {
                lockAsked_ = locked_ = false;
                update();
            });
            logind_.followProperty(path, kSession, QStringLiteral("LockedHint"), QMetaType::fromType<bool>(),
                                   [this](const QVariant& value, const std::string& error) {
                                       if (value.isValid()) return setLocked(value.toBool());
                                       if (!error.empty() && !complained_)
                                           log_(host::LogLevel::Error, "logind answers the session's LockedHint with " +
                                                                           error +
                                                                           "; only its Lock and Unlock are followed");
                                       complained_ = complained_ || !error.empty();
                                   });
        } else if (path != session_) {
            // A logind that came back gives the same object to the same session.
            log_(host::LogLevel::Error, "logind now names this session " + loggable(path).toStdString() + ", not " +
                                            session_.toStdString() + ": its lock is followed at the old name");
        }
    }

    void setLocked(bool locked) {
        if (locked) confirmTimer_.stop();
        if (locked_ && !locked) lockAsked_ = false;  // the lock the locker confirmed is over
        locked_ = locked;
        update();
    }

    void update() {
        if (!lockAsked_) confirmTimer_.stop();
        setActive(locked_ || lockAsked_,
                  locked_ ? "the session is locked (logind's LockedHint)" : "logind has asked the session to lock");
    }

    IdleLog log_;
    FollowedService logind_;
    QString session_;         ///< the session's object, once found
    QTimer confirmTimer_;     ///< runs from a Lock until LockedHint turns true
    bool lockAsked_ = false;  ///< Lock came, and no Unlock or end of the lock since
    bool locked_ = false;     ///< LockedHint
    bool complained_ = false;
};

}  // namespace

std::unique_ptr<SessionFollower> followLogindLock(const QDBusConnection& systemBus, const IdleLog& log) {
    return std::make_unique<LogindLockFollower>(systemBus, log);
}

}  // namespace idle
