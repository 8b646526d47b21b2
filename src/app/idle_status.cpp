// `tavrin --idle-status`: says in a few plain lines whether an idle watcher runs in this session,
// when Tavrin would start against the desktop's own blank, lock and sleep times, and what keeps
// it away now. Exit status 0 when a watcher runs, 3 when none does.
#include <QCoreApplication>
#include <cstdio>

#include "app/qt_messages.h"
#include "app/runs.h"
#include "idle/idle_report.h"
#include "platform/posix/system_services.h"

namespace app {

int runIdleStatus(const CommandLine& commandLine, char* argv0) {
    // Qt's own warnings (of the bus connections, say) go to the log, not between the lines.
    posix::SysLog log(TAVRIN_BUNDLE_IDENTIFIER, commandLine.logToStderr);
    installQtMessageHandler(commandLine.logToStderr);
    setQtMessageLog(&log);
    int qtArgc = 1;
    char* qtArgv[] = {argv0, nullptr};
    QCoreApplication application(qtArgc, qtArgv);
    const idle::IdleReport report = idle::gatherIdleReport();
    for (const std::string& line : idle::describeIdleReport(report)) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    const int status = report.watcherPid != 0 ? 0 : kNoIdleWatcherStatus;
    setQtMessageLog(nullptr);
    return status;
}

}  // namespace app
