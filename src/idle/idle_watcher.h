// The idle watcher's loop: it starts the full-screen saver when its source says the user is idle,
// and ends it when the user is back but the saver did not see the input (a lock screen or another
// client took it). One saver at a time: a saver that still runs, or still retires after a stop,
// keeps the next one from starting. A saver that fails is logged and tried again at the next idle
// period; the watcher itself runs on until its source ends.
#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "idle/idle_source.h"

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
    void terminateSaver(const char* why);

    IdleSource& source_;
    SaverCommand command_;
    IdleLog log_;
    std::chrono::milliseconds timeout_{0};
    std::unique_ptr<QProcess> saver_;
    QTimer userBackTimer_;   ///< armed when the user is back while a saver runs
    QTimer killTimer_;       ///< armed when SIGTERM was sent
    bool terminating_ = false;
    bool idleWhileRunning_ = false;  ///< the source said idle while the last saver still ran
};

}  // namespace idle
