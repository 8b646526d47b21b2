// The idle watcher's loop: it starts the full-screen saver when its source says the user is idle,
// and ends it when the user is back but the saver did not see the input (a lock screen or another
// client took it). One saver at a time: a saver that still runs, or still retires after a stop,
// keeps the next one from starting. A saver that fails is logged and tried again at the next idle
// period; the watcher itself runs on until its source ends.
//
// It also follows the session (session_follower.h): while any follower is active no saver starts,
// and one that covers the screen (the desktop's shield or lock, dark displays, a sleep) ends the
// running saver at once. Once the last active follower is over, the idle period counts afresh.
#pragma once

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "idle/idle_source.h"
#include "idle/session_follower.h"

namespace idle {

struct SaverCommand {
    QString program;        ///< the running program's own executable, never a shell
    QStringList arguments;  ///< the saver's options the watcher was given
    /// Arguments that depend on the moment a saver starts (--half-rate on battery); may be empty.
    std::function<QStringList()> momentArguments;
};

class IdleWatcher : public QObject {
    Q_OBJECT
public:
    /// How long a saver may run on after the source said the user is back before it is ended.
    static constexpr std::chrono::milliseconds kUserBackGrace{1000};
    /// How long a saver gets to end after SIGTERM before it is killed.
    static constexpr std::chrono::milliseconds kTerminateGrace{3000};

    IdleWatcher(IdleSource& source, SaverCommand command, IdleLog log);
    ~IdleWatcher() override;

    /// Starts watching with `timeout`. False with the reason in `why`.
    bool start(std::chrono::milliseconds timeout, std::string* why);
    /// A new timeout from the settings: the source watches afresh.
    void setTimeout(std::chrono::milliseconds timeout);
    /// Follows what `follower` says of the session from now on, and tells it when savers start
    /// and end. The follower may go before the watcher.
    void follow(SessionFollower& follower);
    std::chrono::milliseconds timeout() const { return timeout_; }

    /// Whether a saver started by the watcher is alive (running or retiring).
    bool saverRunning() const;
    /// Ends a running saver (SIGTERM, then SIGKILL after the grace) and waits for it; for the
    /// watcher's own end.
    void endSaver();

signals:
    /// The source ended: the watcher is done, with this exit status.
    void finished(int status);
    /// A saver was started (its process id), or ended (its exit status, -1 when killed by a
    /// signal); for tests and the log.
    void saverStarted(qint64 pid);
    void saverEnded(int exitStatus);

private:
    void onIdle();
    void onActive();
    void startSaver();
    void onSaverFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onSaverError(QProcess::ProcessError error);
    void terminateSaver(const std::string& why, const char* what = "it");
    void onFollowerChanged(size_t index);
    /// Why no saver may start now: the reason of the first active follower; empty when none is.
    std::string keptAwayBy() const;
    /// The idle period counts afresh: the source watches again, and while the user is still idle
    /// (the source says idle only once per idle period) the watcher counts the period itself.
    void countAfresh();
    void tellFollowers(bool saverRunning);

    struct Followed {
        QPointer<SessionFollower> follower;
        bool active = false;
    };

    IdleSource& source_;
    SaverCommand command_;
    IdleLog log_;
    std::chrono::milliseconds timeout_{0};
    std::unique_ptr<QProcess> saver_;
    QTimer userBackTimer_;   ///< armed when the user is back while a saver runs
    QTimer killTimer_;       ///< armed when SIGTERM was sent
    bool terminating_ = false;
    bool idleWhileRunning_ = false;  ///< the source said idle while the last saver still ran
    std::vector<Followed> followers_;
    QTimer afreshTimer_;             ///< an idle period counted here after a follower kept a saver away
    bool userIdle_ = false;          ///< the source's last word was idle(), not active()
    bool toldRunning_ = false;       ///< what the followers were last told of the saver
};

}  // namespace idle
