// The idle source of a Wayland session: the compositor's ext_idle_notifier_v1, else its
// org_kde_kwin_idle, on the first seat it announced (the next one when that seat goes). The
// compositor applies idle inhibitors itself, so an idle notification already means that nothing
// keeps the screen awake.
#include <climits>
#include <cstdlib>
#include <optional>

#include "idle/idle_notifier.h"
#include "idle/idle_source.h"
#include "idle/idle_wayland_connection.h"

namespace idle {
namespace {

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

class WaylandIdleSource : public IdleSource {
public:
    WaylandIdleSource(std::unique_ptr<IdleWaylandConnection> connection, std::unique_ptr<IdleNotifier> notifier,
                      IdleLog log)
        : connection_(std::move(connection)), notifier_(std::move(notifier)), log_(std::move(log)) {
        connect(connection_.get(), &IdleWaylandConnection::seatChanged, this, [this] { onSeatChanged(); });
        connect(connection_.get(), &IdleWaylandConnection::dispatched, this, [this] { followState(); });
        // Queued: a failure found while the watcher is still starting must not end it before its
        // event loop runs.
        connect(
            connection_.get(), &IdleWaylandConnection::failed, this,
            [this](int status, const QString& why) { emit ended(status, why); }, Qt::QueuedConnection);
        connection_->start();
    }

    QString name() const override { return notifier_->name(); }

    bool watch(std::chrono::milliseconds timeout, std::string* why) override {
        if (timeout.count() <= 0 || timeout.count() > UINT32_MAX) {
            *why = "the Wayland idle protocols take 1 ms to 49 days";
            return false;
        }
        if (connection_->hasFailed()) {
            *why = "lost the connection to the Wayland compositor";
            return false;
        }
        timeoutMs_ = static_cast<uint32_t>(timeout.count());
        // A notification that is idle now is kept until it resumes, so that the idle period it
        // began still ends with active(); the new one counts afresh from now.
        if (current_ && current_->idle() && !replaced_) replaced_ = std::move(current_);
        current_.reset();
        if (wl_seat* seat = connection_->seat())
            current_ = notifier_->watch(seat, *timeoutMs_);
        else
            log_(host::LogLevel::Default, "the Wayland compositor has no seat yet: the idle time counts once it has one");
        connection_->flush();
        if (connection_->hasFailed()) {
            *why = "lost the connection to the Wayland compositor";
            return false;
        }
        return true;
    }

private:
    /// The objects on the old seat go before the seat does; idleness counts afresh on the new one.
    void onSeatChanged() {
        current_.reset();
        replaced_.reset();
        wl_seat* seat = connection_->seat();
        log_(host::LogLevel::Default, seat ? "the Wayland seat watched changed: watching the compositor's first seat now"
                                           : "the Wayland compositor has no seat now: the idle time counts once it has one");
        if (seat && timeoutMs_) current_ = notifier_->watch(seat, *timeoutMs_);
    }

    /// After each batch of events: the source is idle while any of its notifications is. An idle
    /// period that began and ended within one batch says nothing: the user is back already.
    void followState() {
        if (replaced_ && !replaced_->idle()) replaced_.reset();
        const bool idleNow = replaced_ || (current_ && current_->idle());
        if (idleNow == saidIdle_) return;
        saidIdle_ = idleNow;
        if (saidIdle_)
            emit idle();
        else
            emit active();
    }

    // Declared in the order of making: destroyed the other way round, the connection last.
    std::unique_ptr<IdleWaylandConnection> connection_;
    std::unique_ptr<IdleNotifier> notifier_;
    std::unique_ptr<IdleNotification> replaced_;  ///< idle when watch() replaced it; gone at its resume
    std::unique_ptr<IdleNotification> current_;   ///< the timeout watched now, on the seat watched now
    std::optional<uint32_t> timeoutMs_;
    bool saidIdle_ = false;  ///< the last of idle() and active() emitted
    IdleLog log_;
};

}  // namespace

SourceAttempt tryWaylandIdleSource(const SourceContext& context) {
    SourceAttempt attempt;
    if (!environmentSet("WAYLAND_DISPLAY") && !environmentSet("WAYLAND_SOCKET")) return attempt;
    std::string error;
    std::unique_ptr<IdleWaylandConnection> connection = IdleWaylandConnection::connect(&error);
    if (!connection) {
        attempt.missing = error;
        return attempt;
    }
    std::unique_ptr<IdleNotifier> notifier;
    if (connection->extIdleNotifier().name != 0)
        notifier = bindExtIdleNotifier(connection->registry(), connection->extIdleNotifier().name);
    else if (connection->kdeIdle().name != 0)
        notifier = bindKdeIdle(connection->registry(), connection->kdeIdle().name);
    if (!notifier) {
        attempt.missing = "the Wayland compositor offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle";
        return attempt;
    }
    attempt.source = std::make_unique<WaylandIdleSource>(std::move(connection), std::move(notifier), context.log);
    return attempt;
}

}  // namespace idle
