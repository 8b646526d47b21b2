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

bool IdleWatcher::saverRunning() const { return saver_ && saver_->state() != QProcess::NotRunning; }

void IdleWatcher::onIdle() {
    userBackTimer_.stop();
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
}

void IdleWatcher::onActive() {
    idleWhileRunning_ = false;
    if (!saverRunning()) return;
    // The saver ends itself on input; when it has not within the grace, something else took the
    // input (a lock screen, another client) and the user must not be left behind a saver.
    userBackTimer_.start();
}

void IdleWatcher::terminateSaver(const char* why) {
    if (!saverRunning() || terminating_) return;
    terminating_ = true;
    log_(host::LogLevel::Default, std::string(why) + ": ending it (process " +
                                      std::to_string(saver_->processId()) + ") with SIGTERM");
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
    if (idleWhileRunning_) {
        idleWhileRunning_ = false;
        startSaver();
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
