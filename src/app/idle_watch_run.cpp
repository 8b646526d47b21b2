// `tavrin --idle-watch`: a long-lived process of the session that starts the full-screen saver
// when the user has been idle for the time in the settings. It runs in this program, not in a
// helper of its own, on Qt's core event loop only (no window system, no GUI): the one binary is
// what autostart entries, exec lines and the saver itself run, so an upgrade never leaves a
// watcher and a saver of different versions behind.
#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "app/runs.h"
#include "app/signal_pipe.h"
#include "idle/idle_settings.h"
#include "idle/idle_source.h"
#include "idle/idle_watcher.h"
#include "idle/session_follower.h"
#include "idle/session_lock.h"
#include "platform/posix/file_defaults_store.h"
#include "platform/posix/system_services.h"

namespace app {
namespace {

constexpr const char* kCategory = "idle";

/// Follows the settings file: the folder is watched as well as the file, since a save replaces
/// the file (a rename), which ends a watch on the file itself.
class SettingsFollower : public QObject {
public:
    SettingsFollower(const std::string& path, std::function<void()> changed) : changed_(std::move(changed)) {
        const QString file = QString::fromStdString(path);
        const QString folder = QFileInfo(file).absolutePath();
        file_ = file;
        if (QFileInfo::exists(folder)) watcher_.addPath(folder);
        if (QFileInfo::exists(file)) watcher_.addPath(file);
        connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { onChange(); });
        connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { onChange(); });
    }

private:
    void onChange() {
        if (!watcher_.files().contains(file_) && QFileInfo::exists(file_)) watcher_.addPath(file_);
        changed_();
    }
    QFileSystemWatcher watcher_;
    QString file_;
    std::function<void()> changed_;
};

}  // namespace

int runIdleWatch(const CommandLine& commandLine, char* argv0) {
    int qtArgc = 1;
    char* qtArgv[] = {argv0, nullptr};
    QCoreApplication application(qtArgc, qtArgv);
    posix::SysLog log(TAVRIN_BUNDLE_IDENTIFIER, commandLine.logToStderr);
    const idle::IdleLog logLine = [&log](host::LogLevel level, const std::string& line) {
        log.message(level, kCategory, line);
    };
    auto tell = [&](host::LogLevel level, const std::string& line) {
        log.message(level, kCategory, line);
        if (!commandLine.logToStderr) std::fprintf(stderr, "tavrin: %s\n", line.c_str());
    };

    const std::string session = idle::sessionIdentity();
    if (session.empty()) {
        tell(host::LogLevel::Error,
             "no session to watch: neither WAYLAND_DISPLAY nor DISPLAY is set; '--idle-watch' runs inside a "
             "desktop session");
        return 1;
    }
    idle::SessionLock lock;
    long holder = 0;
    std::string why;
    // The lock lives in the user's private runtime folder, where no one else can hold it.
    std::vector<std::string> passedOver;
    const std::string lockFolder = idle::sessionLockFolder(&passedOver, &why);
    for (const std::string& line : passedOver) logLine(host::LogLevel::Default, "session lock: " + line);
    const idle::SessionLock::Result locked =
        lockFolder.empty() ? idle::SessionLock::Result::Failed : lock.take(lockFolder, session, &holder, &why);
    if (locked == idle::SessionLock::Result::Held) {
        tell(host::LogLevel::Default, "an idle watcher already runs in this session" +
                                          (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
                                          "; this one ends");
        return 0;
    }
    if (locked == idle::SessionLock::Result::Failed) {
        tell(host::LogLevel::Error, "cannot make sure that only one idle watcher runs: " + why);
        return 1;
    }

    const std::string settingsPath = posix::settingsFilePath(TAVRIN_BUNDLE_IDENTIFIER);
    idle::IdleSettings settings = idle::readIdleSettings(settingsPath);
    for (const std::string& problem : settings.problems) logLine(host::LogLevel::Error, problem);
    auto timeoutFor = [&commandLine](const idle::IdleSettings& s) {
        return std::chrono::milliseconds(
            1000 * (commandLine.idleAfterSeconds ? *commandLine.idleAfterSeconds : s.minutes * 60));
    };

    std::unique_ptr<idle::IdleWatcher> watcher;
    idle::SourceContext context{logLine, [&watcher] { return watcher && watcher->saverRunning(); }};
    std::unique_ptr<idle::IdleSource> source;
    std::vector<std::string> missing;
    for (auto attempt : {idle::tryWaylandIdleSource, idle::tryMutterIdleSource, idle::tryX11IdleSource}) {
        idle::SourceAttempt found = attempt(context);
        if (!found.stepAside.empty()) {
            tell(host::LogLevel::Default, found.stepAside);
            return 0;
        }
        if (found.source) {
            source = std::move(found.source);
            break;
        }
        if (!found.missing.empty()) missing.push_back(found.missing);
    }
    if (!source) {
        std::string text = "no idle source in this session";
        for (size_t i = 0; i < missing.size(); ++i) text += (i == 0 ? ": " : "; ") + missing[i];
        tell(host::LogLevel::Error, text);
        return 1;
    }

    idle::SaverCommand command;
    command.program = QCoreApplication::applicationFilePath();
    for (const std::string& argument : saverArguments(commandLine))
        command.arguments.push_back(QString::fromStdString(argument));
    watcher = std::make_unique<idle::IdleWatcher>(*source, command, logLine);
    QObject::connect(watcher.get(), &idle::IdleWatcher::finished, [](int status) { QCoreApplication::exit(status); });
    if (!watcher->start(timeoutFor(settings), &why)) {
        tell(host::LogLevel::Error, "cannot watch for inactivity through " + source->name().toStdString() + ": " + why);
        return 1;
    }

    // What the watcher follows of the session besides idleness: the desktop's shield and lock,
    // dark displays, sleep, idle inhibitors (session_follower.h).
    const auto sessionFollowers = idle::findSessionFollowers({logLine, false});
    for (const auto& sessionFollower : sessionFollowers) watcher->follow(*sessionFollower);

    // The settings window's switch turns the watcher off through the file; the minutes it shows
    // apply at once (unless --after chose them for this run).
    SettingsFollower follower(settingsPath, [&] {
        const idle::IdleSettings now = idle::readIdleSettings(settingsPath);
        if (settings.startOnIdle && !now.startOnIdle) {
            logLine(host::LogLevel::Default, "starting on idle was turned off in the settings: the idle watcher ends");
            QCoreApplication::exit(0);
            return;
        }
        if (now.minutes != settings.minutes || now.problems != settings.problems)
            for (const std::string& problem : now.problems) logLine(host::LogLevel::Error, problem);
        settings = now;
        watcher->setTimeout(timeoutFor(settings));
    });

    StopSignals stopSignals;
    if (!stopSignals.install([](int) { QCoreApplication::exit(0); }))
        logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");

    const int status = QCoreApplication::exec();
    watcher->endSaver();
    return status;
}

}  // namespace app
