#include "idle/idle_watcher.h"

#include <csignal>

namespace idle {
namespace {

std::string describeTimeout(std::chrono::milliseconds timeout) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout).count();
    if (seconds % 60 == 0) return std::to_string(seconds / 60) + (seconds == 60 ? " minute" : " minutes");
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

}  // namespace

IdleWatcher::IdleWatcher(IdleSource& source, SaverCommand command, IdleLog log)
    : source_(source), command_(std::move(command)), log_(std::move(log)) {
    userBackTimer_.setSingleShot(true);
    userBackTimer_.setInterval(kUserBackGrace);
    connect(&userBackTimer_, &QTimer::timeout, this, [this] {
        if (saverRunning()) terminateSaver("the user is back, but the screen saver still runs");
    });
    killTimer_.setSingleShot(true);
    killTimer_.setInterval(kTerminateGrace);
    connect(&killTimer_, &QTimer::timeout, this, [this] {
        if (!saverRunning()) return;
        log_(host::LogLevel::Error, "the screen saver (process " + std::to_string(saver_->processId()) +
                                        ") did not end within " + std::to_string(kTerminateGrace.count()) +
                                        " ms of SIGTERM - killing it");
        saver_->kill();
    });
    afreshTimer_.setSingleShot(true);
    connect(&afreshTimer_, &QTimer::timeout, this, [this] {
        if (userIdle_ && keptAwayBy().empty() && !saverRunning()) startSaver();
    });
    connect(&source_, &IdleSource::idle, this, &IdleWatcher::onIdle);
    connect(&source_, &IdleSource::active, this, &IdleWatcher::onActive);
    connect(&source_, &IdleSource::ended, this, [this](int status, const QString& why) {
        log_(status == 0 ? host::LogLevel::Default : host::LogLevel::Error, why.toStdString());
        endSaver();
        emit finished(status);
    });
}

IdleWatcher::~IdleWatcher() { endSaver(); }

bool IdleWatcher::start(std::chrono::milliseconds timeout, std::string* why) {
    timeout_ = timeout;
    if (!source_.watch(timeout, why)) return false;
    log_(host::LogLevel::Default, "watching for " + describeTimeout(timeout) + " of inactivity through " +
                                      source_.name().toStdString());
    return true;
}

void IdleWatcher::setTimeout(std::chrono::milliseconds timeout) {
    if (timeout == timeout_) return;
    std::string why;
    if (!source_.watch(timeout, &why)) {
        log_(host::LogLevel::Error, "cannot watch for " + describeTimeout(timeout) + " of inactivity: " + why +
                                        "; still watching for " + describeTimeout(timeout_));
        source_.watch(timeout_, &why);
        return;
    }
    timeout_ = timeout;
    log_(host::LogLevel::Default, "now watching for " + describeTimeout(timeout) + " of inactivity");
}

void IdleWatcher::follow(SessionFollower& follower) {
    const size_t index = followers_.size();
    followers_.push_back({&follower, false});
    connect(&follower, &SessionFollower::changed, this, [this, index] { onFollowerChanged(index); });
    if (toldRunning_) follower.saverRunning(true);
    if (follower.active()) onFollowerChanged(index);
}

void IdleWatcher::onFollowerChanged(size_t index) {
    Followed& followed = followers_[index];
    SessionFollower* follower = followed.follower;
    if (!follower) return;
    const bool was = followed.active;
    followed.active = follower->active();
    if (followed.active) {
        afreshTimer_.stop();
        if (follower->effect() == SessionFollower::Effect::Cover && saverRunning() && !terminating_)
            terminateSaver(follower->reason(), "the screen saver");
        else
            log_(host::LogLevel::Default, "no screen saver starts while " + follower->reason());
    } else if (was) {
        const bool last = keptAwayBy().empty();
        log_(host::LogLevel::Default, "the screen saver is no longer kept away by " + follower->name().toStdString() +
                                          (last ? ": the idle period counts afresh" : ""));
        if (last) countAfresh();
    }
}

std::string IdleWatcher::keptAwayBy() const {
    for (const Followed& followed : followers_)
        if (followed.follower && followed.active) return followed.follower->reason();
    return {};
}

void IdleWatcher::countAfresh() {
    std::string why;
    if (!source_.watch(timeout_, &why))
        log_(host::LogLevel::Error, "cannot watch afresh for " + describeTimeout(timeout_) + " of inactivity: " + why);
    if (userIdle_ && !saverRunning()) afreshTimer_.start(timeout_);
}

void IdleWatcher::tellFollowers(bool saverRunning) {
    if (saverRunning == toldRunning_) return;
    toldRunning_ = saverRunning;
    // A copy: a follower's answer may end the saver, and that tells them all again.
    const std::vector<Followed> followers = followers_;
    for (const Followed& followed : followers)
        if (followed.follower) followed.follower->saverRunning(saverRunning);
}

bool IdleWatcher::saverRunning() const { return saver_ && saver_->state() != QProcess::NotRunning; }

void IdleWatcher::onIdle() {
    userBackTimer_.stop();
    userIdle_ = true;
    const std::string keptAway = keptAwayBy();
    if (!keptAway.empty()) {
        idleWhileRunning_ = false;
        log_(host::LogLevel::Default,
             "idle for " + describeTimeout(timeout_) + ": no screen saver starts while " + keptAway);
        return;
    }
    if (saverRunning()) {
        // The last saver still retires after the user's short return: the next one starts as it
        // ends, unless the user comes back first.
        idleWhileRunning_ = true;
        log_(host::LogLevel::Default, "idle again while the last screen saver still runs: the next starts when it ends");
        return;
    }
    idleWhileRunning_ = false;
    startSaver();
}

void IdleWatcher::startSaver() {
    saver_ = std::make_unique<QProcess>();
    saver_->setProgram(command_.program);
    QStringList arguments = command_.arguments;
    if (command_.momentArguments) arguments += command_.momentArguments();
    saver_->setArguments(arguments);
    // The watcher switches a running saver's frame rate with SIGUSR1 and SIGUSR2: ignored until
    // the saver listens, they can never end it early.
    saver_->setChildProcessModifier([] {
        ::signal(SIGUSR1, SIG_IGN);
        ::signal(SIGUSR2, SIG_IGN);
    });
    // The saver's own log lines (--log-stderr) go where the watcher's go; it reads no input.
    saver_->setProcessChannelMode(QProcess::ForwardedChannels);
    saver_->setStandardInputFile(QProcess::nullDevice());
    QProcess* process = saver_.get();
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
        if (process == saver_.get()) onSaverFinished(code, status);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (process == saver_.get()) onSaverError(error);
    });
    terminating_ = false;
    process->start();
    if (!process->waitForStarted(5000)) return;  // errorOccurred has said why
    log_(host::LogLevel::Default, "idle for " + describeTimeout(timeout_) + ": started the screen saver (process " +
                                      std::to_string(process->processId()) + ")");
    emit saverStarted(process->processId());
    tellFollowers(true);
}

void IdleWatcher::onActive() {
    idleWhileRunning_ = false;
    userIdle_ = false;
    afreshTimer_.stop();
    if (!saverRunning()) return;
    // The saver ends itself on input; when it has not within the grace, something else took the
    // input (a lock screen, another client) and the user must not be left behind a saver.
    userBackTimer_.start();
}

void IdleWatcher::terminateSaver(const std::string& why, const char* what) {
    if (!saverRunning() || terminating_) return;
    terminating_ = true;
    log_(host::LogLevel::Default, why + ": ending " + what + " (process " + std::to_string(saver_->processId()) +
                                      ") with SIGTERM");
    saver_->terminate();
    killTimer_.start();
}

void IdleWatcher::onSaverFinished(int exitCode, QProcess::ExitStatus exitStatus) {
    killTimer_.stop();
    userBackTimer_.stop();
    if (exitStatus == QProcess::CrashExit) {
        // A saver the watcher ended is no failure; any other signal is.
        log_(terminating_ ? host::LogLevel::Default : host::LogLevel::Error,
             std::string(terminating_ ? "the screen saver was ended" : "the screen saver crashed") +
                 "; it is started again at the next idle period");
        emit saverEnded(-1);
    } else if (exitCode != 0) {
        log_(host::LogLevel::Error, "the screen saver failed with exit status " + std::to_string(exitCode) +
                                        "; it is started again at the next idle period");
        emit saverEnded(exitCode);
    } else {
        log_(host::LogLevel::Default, "the screen saver ended");
        emit saverEnded(0);
    }
    terminating_ = false;
    tellFollowers(false);
    if (idleWhileRunning_) {
        idleWhileRunning_ = false;
        const std::string keptAway = keptAwayBy();
        if (keptAway.empty()) return startSaver();
        log_(host::LogLevel::Default, "idle again: no screen saver starts while " + keptAway);
    }
}

void IdleWatcher::onSaverError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;  // a crash comes with finished() as well
    log_(host::LogLevel::Error, "cannot start the screen saver " + command_.program.toStdString() + ": " +
                                    saver_->errorString().toStdString() +
                                    "; it is tried again at the next idle period");
    emit saverEnded(-1);
}

void IdleWatcher::endSaver() {
    userBackTimer_.stop();
    if (!saverRunning()) return;
    terminating_ = true;  // the saver the watcher ends is no crash
    saver_->terminate();
    if (!saver_->waitForFinished(static_cast<int>(kTerminateGrace.count()))) {
        saver_->kill();
        saver_->waitForFinished(1000);
    }
}

}  // namespace idle
