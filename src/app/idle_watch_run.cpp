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
#include <ctime>
#include <utility>
#include <unistd.h>

#include "app/runs.h"
#include "app/signal_pipe.h"
#include "idle/battery_policy.h"
#include "idle/desktop_timers.h"
#include "idle/idle_settings.h"
#include "idle/idle_source.h"
#include "idle/idle_watcher.h"
#include "idle/power_state.h"
#include "idle/session_follower.h"
#include "idle/session_lock.h"
#include "idle/status_publisher.h"
#include "idle/x11_idle_source.h"
#include "idle/x11_server_blanking.h"
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

    // On battery or in the power-saver profile, OnBattery says what a saver does.
    const std::unique_ptr<idle::PowerState> power = idle::followPowerState(logLine);
    idle::BatteryPolicy battery(*power, settings.onBattery, logLine);

    idle::SaverCommand command;
    command.program = QCoreApplication::applicationFilePath();
    for (const std::string& argument : saverArguments(commandLine))
        command.arguments.push_back(QString::fromStdString(argument));
    command.momentArguments = [&battery] { return battery.saverArguments(); };
    watcher = std::make_unique<idle::IdleWatcher>(*source, command, logLine);

    // What the watcher does, for 'tavrin --idle-status' and the settings window: published as it
    // changes, never asked of the watcher.
    idle::StatusPublisher publisher(idle::watcherStatusPath(lock.path()), logLine);
    idle::WatcherStatus& published = publisher.status();
    published.pid = static_cast<long>(::getpid());
    published.startedAt = static_cast<int64_t>(std::time(nullptr));
    published.source = source->name().toStdString();
    published.timeoutSeconds = timeoutFor(settings).count() / 1000;
    published.power = battery.describe();
    bool saverAnnounced = false;
    QObject::connect(source.get(), &idle::IdleSource::holdersChanged, [&] {
        published.holders = source->holders();
        publisher.changed();
    });
    QObject::connect(power.get(), &idle::PowerState::changed, [&] {
        published.power = battery.describe();
        publisher.changed();
    });
    QObject::connect(watcher.get(), &idle::IdleWatcher::saverStarted, [&](qint64 pid) {
        published.saverPid = static_cast<long>(pid);
        published.saverSince = static_cast<int64_t>(std::time(nullptr));
        publisher.changed();
        battery.saverStarted(pid);
        saverAnnounced = true;
        source->saverStateChanged(true);
    });
    QObject::connect(watcher.get(), &idle::IdleWatcher::saverEnded, [&](int) {
        published.saverPid = 0;
        published.saverSince = 0;
        publisher.changed();
        battery.saverEnded();
        if (std::exchange(saverAnnounced, false)) source->saverStateChanged(false);
    });
    publisher.changed();
    QObject::connect(watcher.get(), &idle::IdleWatcher::finished, [](int status) { QCoreApplication::exit(status); });
    if (!watcher->start(timeoutFor(settings), &why)) {
        tell(host::LogLevel::Error, "cannot watch for inactivity through " + source->name().toStdString() + ": " + why);
        return 1;
    }

    // The desktop's own timers: one line when they hide the saver, at the start and whenever they,
    // Tavrin's minutes or the machine's power change; the X server tells no change, so its times
    // are read again as each idle period starts. On plain X11 the watcher is the session's screen
    // saver: the server's own blanking is off while it runs, and back on while it starts no saver.
    std::unique_ptr<idle::X11ServerBlanking> serverBlanking;
    if (qobject_cast<idle::X11IdleSource*>(source.get())) {
        serverBlanking = std::make_unique<idle::X11ServerBlanking>(logLine);
        serverBlanking->setServerBlanking(battery.active());
        QObject::connect(&battery, &idle::SessionFollower::changed,
                         [&] { serverBlanking->setServerBlanking(battery.active()); });
    }
    const std::unique_ptr<idle::DesktopTimersReader> desktopTimers = idle::makeDesktopTimersReader(logLine);
    idle::HidingLineLog hidingLog(logLine);
    const auto logHiding = [&] {
        const idle::DesktopTimers timers = desktopTimers->read();
        const int64_t seconds = watcher->timeout().count() / 1000;
        hidingLog.update(timers, seconds, power->savingPower());
        published.desktopHiding = idle::hidingLine(timers, seconds, power->savingPower());
        publisher.changed();
    };
    logHiding();
    QObject::connect(desktopTimers.get(), &idle::DesktopTimersReader::changed, logHiding);
    QObject::connect(power.get(), &idle::PowerState::changed, logHiding);
    QObject::connect(source.get(), &idle::IdleSource::idle, desktopTimers.get(), &idle::DesktopTimersReader::recheck);
    // What the watcher follows of the session besides idleness: the desktop's shield and lock,
    // dark displays, sleep, idle inhibitors (session_follower.h).
    // OnBattery=off keeps savers away the same way. What is active is published.
    const auto sessionFollowers = idle::findSessionFollowers({logLine, false});
    std::vector<idle::SessionFollower*> followed{&battery};
    for (const auto& sessionFollower : sessionFollowers) followed.push_back(sessionFollower.get());
    const auto publishFollowers = [&] {
        published.covers.clear();
        published.keptAwayBy.clear();
        for (const idle::SessionFollower* f : followed)
            if (f->active())
                (f->effect() == idle::SessionFollower::Effect::Cover ? published.covers : published.keptAwayBy)
                    .push_back(f->reason());
        publisher.changed();
    };
    for (idle::SessionFollower* f : followed) {
        watcher->follow(*f);
        QObject::connect(f, &idle::SessionFollower::changed, publishFollowers);
    }
    publishFollowers();

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
        battery.setMode(settings.onBattery);
        published.timeoutSeconds = watcher->timeout().count() / 1000;
        published.power = battery.describe();
        logHiding();
    });

    StopSignals stopSignals;
    if (!stopSignals.install([](int) { QCoreApplication::exit(0); }))
        logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");

    const int status = QCoreApplication::exec();
    watcher->endSaver();
    return status;
}

}  // namespace app
