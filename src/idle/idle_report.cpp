#include "idle/idle_report.h"

#include <QDBusConnection>
#include <ctime>

#include "idle/idle_settings.h"
#include "idle/inhibitor_list.h"
#include "idle/followed_service.h"
#include "idle/session_lock.h"
#include "platform/posix/file_defaults_store.h"

namespace idle {
namespace {

const QString kSessionConnection = QStringLiteral("tavrin-idle-report-session");
const QString kSystemConnection = QStringLiteral("tavrin-idle-report-system");

std::string quotedReason(const Inhibitor& inhibitor) {
    return inhibitor.reason.empty() ? inhibitor.application : inhibitor.application + ": \"" + inhibitor.reason + "\"";
}

}  // namespace

std::string describeMoment(int64_t secondsSinceEpoch, int64_t now) {
    const std::time_t moment = static_cast<std::time_t>(secondsSinceEpoch);
    const std::time_t today = static_cast<std::time_t>(now);
    std::tm local{}, current{};
    localtime_r(&moment, &local);
    localtime_r(&today, &current);
    char text[32];
    const bool sameDay = local.tm_year == current.tm_year && local.tm_yday == current.tm_yday;
    std::strftime(text, sizeof text, sameDay ? "%H:%M" : "%e %b %H:%M", &local);
    std::string line = text;
    if (!line.empty() && line.front() == ' ') line.erase(0, 1);
    return line;
}

IdleReport gatherIdleReport(DesktopTimersReader* reader) {
    IdleReport report;
    const IdleSettings settings = readIdleSettings(posix::settingsFilePath(TAVRIN_BUNDLE_IDENTIFIER));
    report.startOnIdle = settings.startOnIdle;
    report.tavrinSeconds = settings.minutes * 60;

    const std::string identity = sessionIdentity();
    report.session = !identity.empty();
    report.wayland = identity.rfind("wayland:", 0) == 0;
    if (!report.session) return report;
    {
        std::string why;
        const std::string folder = sessionLockFolder(nullptr, &why);
        long holder = 0;
        if (!folder.empty() && watcherRunsInThisSession(&holder)) {
            report.watcherPid = holder > 0 ? holder : -1;
            // What the file says is believed only of the process that holds the lock.
            std::optional<WatcherStatus> status = readWatcherStatus(watcherStatusPath(sessionLockPath(folder, identity)));
            if (status && status->pid == holder) {
                report.status = std::move(status);
                report.tavrinSeconds = report.status->timeoutSeconds;
                report.savingPower = !report.status->power.empty();
            }
        }
    }

    std::unique_ptr<DesktopTimersReader> made;
    if (!reader) {
        made = makeDesktopTimersReader([](host::LogLevel, const std::string&) {});
        reader = made.get();
    }
    report.timers = reader->read();

    const std::string address = sessionBusAddress();
    if (!address.empty()) {
        {
            const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), kSessionConnection);
            report.gnomeInhibitors = gnomeIdleInhibitors(bus, &report.gnomeSessionManager);
        }
        QDBusConnection::disconnectFromBus(kSessionConnection);
    }
    const std::string system = systemBusAddress();
    if (!system.empty()) {
        {
            const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(system), kSystemConnection);
            report.logindInhibitors = logindIdleInhibitors(bus);
        }
        QDBusConnection::disconnectFromBus(kSystemConnection);
    }
    return report;
}

std::vector<std::string> describeIdleReport(const IdleReport& report) {
    std::vector<std::string> lines;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    const WatcherStatus* status = report.status ? &*report.status : nullptr;
    if (!report.session) {
        lines.push_back("No desktop session here: neither WAYLAND_DISPLAY nor DISPLAY is set.");
        return lines;
    }
    if (report.watcherPid == 0) {
        lines.push_back("Idle watcher: none runs in this session. " + noWatcherReason(report.startOnIdle));
    } else {
        std::string line = "Idle watcher: runs in this session";
        if (report.watcherPid > 0) line += " (process " + std::to_string(report.watcherPid) + ")";
        if (status && status->startedAt > 0) line += " since " + describeMoment(status->startedAt, now);
        lines.push_back(line + ".");
        if (status && !status->source.empty()) lines.push_back("Idleness comes from " + status->source + ".");
    }
    lines.push_back(std::string(report.watcherPid == 0 ? "Tavrin would start" : "Tavrin starts") + " after " +
                    describeTime(report.tavrinSeconds) + " of inactivity.");

    for (const std::string& line : describeTimers(report.timers, report.savingPower))
        lines.push_back(line.empty() || line.back() == '.' ? line : line + ".");
    const std::string hiding = hidingLine(report.timers, report.tavrinSeconds, report.savingPower);
    if (!hiding.empty()) lines.push_back(hiding + ".");

    std::vector<std::string> holders;
    for (const Inhibitor& i : report.gnomeInhibitors) holders.push_back(quotedReason(i) + " (GNOME's session manager)");
    for (const Inhibitor& i : report.logindInhibitors) holders.push_back(quotedReason(i) + " (logind)");
    if (status)
        for (const Inhibitor& i : status->holders) holders.push_back(quotedReason(i) + " (org.freedesktop.ScreenSaver)");
    if (holders.empty()) {
        lines.push_back("Nothing that Tavrin can see keeps the screen awake now.");
    } else {
        lines.push_back("Kept awake now by:");
        for (const std::string& holder : holders) lines.push_back("  " + holder);
    }
    // GNOME Shell hands the inhibitors of Wayland windows to its session manager, asked above.
    if (report.wayland && !report.gnomeSessionManager)
        lines.push_back("The Wayland compositor's own idle inhibitors (of a window playing a video, say) cannot be "
                        "seen from here.");
    if (status) {
        for (const std::string& reason : status->keptAwayBy) lines.push_back("No saver starts now: " + reason + ".");
        if (status->covers.empty())
            lines.push_back("The session is neither locked nor blanked.");
        else
            for (const std::string& cover : status->covers) lines.push_back("Covered: " + cover + ".");
        if (!status->power.empty()) lines.push_back("Power: " + status->power + ".");
        if (status->saverPid > 0)
            lines.push_back("The screen saver runs (process " + std::to_string(status->saverPid) + ") since " +
                            describeMoment(status->saverSince, now) + ".");
        else
            lines.push_back("The screen saver is not running.");
    }
    return lines;
}

std::optional<Inhibitor> firstKeptAway(const IdleReport& report) {
    if (!report.gnomeInhibitors.empty()) return report.gnomeInhibitors.front();
    if (!report.logindInhibitors.empty()) return report.logindInhibitors.front();
    if (report.status) {
        if (!report.status->holders.empty()) return report.status->holders.front();
        if (!report.status->covers.empty()) return Inhibitor{{}, report.status->covers.front()};
        if (!report.status->keptAwayBy.empty()) return Inhibitor{{}, report.status->keptAwayBy.front()};
    }
    return std::nullopt;
}

}  // namespace idle
