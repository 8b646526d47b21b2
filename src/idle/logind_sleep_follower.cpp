// The machine going to sleep (logind, system bus). While a saver runs, the watcher holds a delay
// inhibitor for sleep, so that logind waits for it before the machine sleeps. At
// PrepareForSleep(true) the follower turns active and the watcher ends the saver; the inhibitor
// is let go once the saver has ended, so that no frame of it shows at resume before the lock.
// logind waits for a delay inhibitor InhibitDelayMaxSec at most (5 s unless configured), and the
// follower lets go after kLongestHold whatever happens. PrepareForSleep(false), at resume: inactive
// again, and the watcher waits for a new idle period.
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>

#include "idle/followed_service.h"
#include "idle/followers.h"

namespace idle {
namespace {

class LogindSleepFollower : public SessionFollower {
public:
    /// Within logind's default longest wait, with room for the watcher's own SIGKILL of a saver
    /// that does not end on SIGTERM.
    static constexpr std::chrono::milliseconds kLongestHold{4000};

    LogindSleepFollower(const QDBusConnection& bus, IdleLog log)
        : SessionFollower(Effect::Cover), log_(std::move(log)), logind_(bus, logind::kService) {
        holdTimer_.setSingleShot(true);
        holdTimer_.setInterval(kLongestHold);
        connect(&holdTimer_, &QTimer::timeout, this, [this] {
            letGo(host::LogLevel::Error, "the screen saver has not ended " + std::to_string(kLongestHold.count()) +
                                             " ms after logind said that the machine goes to sleep");
        });
        logind_.onSignal(logind::kPath, logind::kManager, QStringLiteral("PrepareForSleep"),
                         [this](const QDBusMessage& message) {
                             if (message.signature() == QLatin1String("b"))
                                 prepareForSleep(message.arguments().first().toBool());
                         });
        connect(&logind_, &FollowedService::ownerChanged, this, [this](const QString& owner) {
            // The inhibitor belonged to the logind that went; a new one may sleep without waiting.
            inhibitor_ = QDBusUnixFileDescriptor();
            holdTimer_.stop();
            setActive(false);
            if (!owner.isEmpty() && running_) takeInhibitor();
        });
    }

    QString name() const override { return QStringLiteral("the machine's sleep (logind's PrepareForSleep)"); }

    void saverRunning(bool running) override {
        running_ = running;
        if (running)
            takeInhibitor();
        else if (inhibitor_.isValid())
            letGo(host::LogLevel::Default, "the screen saver has ended");
    }

private:
    void takeInhibitor() {
        if (inhibitor_.isValid() || asking_ || logind_.owner().isEmpty()) return;
        asking_ = true;
        logind_.call(logind::kPath, logind::kManager, QStringLiteral("Inhibit"),
                     {QStringLiteral("sleep"), QStringLiteral("Tavrin"),
                      QStringLiteral("Ending the screen saver before the machine sleeps"), QStringLiteral("delay")},
                     [this](const QDBusMessage& reply) {
                         asking_ = false;
                         if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("h")) {
                             if (!failed_)
                                 log_(host::LogLevel::Error,
                                      "logind gives no delay inhibitor for sleep (Inhibit: " + replyError(reply) +
                                          "): the machine may go to sleep with the screen saver on screen");
                             failed_ = true;
                             return;
                         }
                         const auto inhibitor = reply.arguments().first().value<QDBusUnixFileDescriptor>();
                         // A saver that has ended meanwhile needs none: the descriptor closes here.
                         if (running_ && !active() && inhibitor.isValid()) inhibitor_ = inhibitor;
                         failed_ = false;
                     });
    }

    void prepareForSleep(bool going) {
        if (!going) {
            letGo(host::LogLevel::Default, {});
            setActive(false);
            return;
        }
        since_.start();
        setActive(true, "the machine is going to sleep");
        if (inhibitor_.isValid()) holdTimer_.start();
    }

    /// Closes the inhibitor, which tells logind that the machine may sleep now; says so with `why`
    /// while logind waits for it.
    void letGo(host::LogLevel level, const std::string& why) {
        holdTimer_.stop();
        if (!inhibitor_.isValid()) return;
        inhibitor_ = QDBusUnixFileDescriptor();
        if (active() && !why.empty())
            log_(level,
                 why + ": the machine may sleep now (logind waited " + std::to_string(since_.elapsed()) + " ms)");
    }

    IdleLog log_;
    FollowedService logind_;
    QDBusUnixFileDescriptor inhibitor_;  ///< held while a saver runs
    QTimer holdTimer_;                   ///< runs while logind waits for the inhibitor
    QElapsedTimer since_;                ///< since PrepareForSleep(true)
    bool running_ = false;
    bool asking_ = false;
    bool failed_ = false;  ///< the last Inhibit failed, and was logged
};

}  // namespace

std::unique_ptr<SessionFollower> followLogindSleep(const QDBusConnection& systemBus, const IdleLog& log) {
    return std::make_unique<LogindSleepFollower>(systemBus, log);
}

}  // namespace idle
