// The screen saver on a Wayland compositor through surfaces of our own: a layer surface or a
// fullscreen toplevel on every output, above everything until input, SIGTERM or SIGINT stops it;
// or, with --background, on the background layer until SIGTERM or the end of the connection. Qt
// draws the frames and runs the event loop; it makes no window.
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/runs.h"
#include "app/scene_trace.h"
#include "app/half_rate.h"
#include "app/signal_pipe.h"
#include "app/stop_safety_net.h"
#include "app/view_trace.h"
#include "module/view/tavrin_screensaver_view.h"
#include "platform/qt/qt_host.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_session.h"

namespace app {

int runWaylandSurfaces(const CommandLine& commandLine, qtbackend::QtHost& host,
                       std::unique_ptr<waylandbackend::WaylandConnection> connection,
                       waylandbackend::SurfaceKind kind) {
    LiveTrace trace;
    if (!commandLine.traceFile.empty() && !openLiveTrace(commandLine.traceFile, trace)) return 1;

    waylandbackend::SessionOptions options;
    options.kind = kind;
    options.showFrameRate = commandLine.showFrameRate;
    options.onlyOutput = commandLine.output;
    if (commandLine.mode == Mode::Background) {
        // Under a lock screen: below everything, no keyboard, no input at all; a locker that runs
        // one process per output names it in the environment.
        options.role = {0, false};
        options.stopOnInput = false;
        const char* named = std::getenv("SWAYLOCK_PLUGIN_OUTPUT_NAME");
        if (options.onlyOutput.empty() && named && *named) options.onlyOutput = named;
    }
    waylandbackend::WaylandSession session(host, *connection, options, [](const host::CGRect& frame) {
        return tavrin::Tavrin_ScreenSaverView::create(frame, false);
    });
    // Views are numbered in the order they are made, as in the full-screen run of the Qt backend.
    QObject::connect(&session, &waylandbackend::WaylandSession::viewStepped,
                     [&trace, &host](const host::ScreenSaverView* view, int number) {
                         writeTraceLine(trace, host, view, number);
                     });

    // Once stopped, the surfaces are down and the will-stop notification is out: the program ends
    // as soon as the notification's work has run, without waiting for the idle check; within a
    // second of a signal, a stuck GUI thread or not.
    StopSafetyNet safetyNet(host, kSignalEndsAtOnceMs, kStopSafetyNetMs);
    StopSignals stopSignals;
    if (!stopSignals.install(
            [&session, &host](int signo) {
                if (takeRateSignal(signo, host)) return;
                session.stop(signo == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT"));
            },
            safetyNet.signalFd()))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");
    else
        startFrameRate(commandLine.halfRate, host, stopSignals);
    QObject::connect(&session, &waylandbackend::WaylandSession::stopped, [&safetyNet] {
        safetyNet.arm();
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    });
    QObject::connect(&session, &waylandbackend::WaylandSession::ended, [&host](int status, const QString& why) {
        const std::string line = why.toStdString();
        host.logLine(status == 0 ? host::LogLevel::Default : host::LogLevel::Error, line);
        std::fprintf(stderr, "tavrin: %s\n", line.c_str());
        QCoreApplication::exit(status);
    });

    std::string error;
    if (!session.start(&error)) {
        std::fprintf(stderr, "tavrin: %s\n", error.c_str());
        return 1;
    }
    return QCoreApplication::exec();
}

}  // namespace app
