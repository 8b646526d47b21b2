// `tavrin --idle-status`: says in a few plain lines whether an idle watcher runs in this session,
// when Tavrin would start against the desktop's own blank, lock and sleep times, and what keeps
// it away now. Exit status 0 when a watcher runs, 3 when none does.
#include <QCoreApplication>
#include <cstdio>

#include "app/runs.h"
#include "idle/idle_report.h"

namespace app {

int runIdleStatus(const CommandLine&, char* argv0) {
    int qtArgc = 1;
    char* qtArgv[] = {argv0, nullptr};
    QCoreApplication application(qtArgc, qtArgv);
    const idle::IdleReport report = idle::gatherIdleReport();
    for (const std::string& line : idle::describeIdleReport(report)) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return report.watcherPid != 0 ? 0 : kNoIdleWatcherStatus;
}

}  // namespace app
