// The run of a screen-saver daemon's hack: the view draws into the window the daemon (or its
// settings tool) made. Input is the daemon's business; the run ends on SIGTERM or when the window
// is destroyed.
#include <QApplication>
#include <QTimer>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/runs.h"
#include "app/half_rate.h"
#include "app/signal_pipe.h"
#include "app/stop_safety_net.h"
#include "app/translations.h"
#include "app/view_trace.h"
#include "platform/qt/qt_foreign_window.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_leak_bridge.h"
#include "platform/qt/qt_view_widget.h"
#include "module/view/tavrin_screensaver_view.h"

namespace app {
namespace {

/// The window to draw into: --window-id, else the daemon's XSCREENSAVER_WINDOW, else the root
/// window. 0 with a message on standard error when none is usable.
uint32_t chosenWindow(const CommandLine& commandLine) {
    if (commandLine.foreignWindowId) return static_cast<uint32_t>(*commandLine.foreignWindowId);
    const char* named = std::getenv("XSCREENSAVER_WINDOW");
    if (named && *named) {
        const std::string text(named);
        const auto id = parseWindowId(text);
        if (!id) {
            printError({QT_TRANSLATE_NOOP("CommandLine", "XSCREENSAVER_WINDOW is not a window id: '%1'"), {text}});
            return 0;
        }
        return static_cast<uint32_t>(*id);
    }
    const uint32_t root = qtbackend::xRootWindow();
    if (root == 0) printError({QT_TRANSLATE_NOOP("CommandLine", "the X server has no root window")});
    return root;
}

/// Whether the session's view shows the display with that frame, within the point the module's
/// own addressing allows.
bool coversDisplay(const qtbackend::ForeignWindowSession& session, const host::CGRect& frame) {
    const qtbackend::ViewWidget* widget = session.widget();
    const std::shared_ptr<host::Screen> screen = widget ? widget->hostWindow()->screen() : nullptr;
    if (!screen) return false;
    const host::CGRect own = screen->frame();
    return std::fabs(own.origin.x - frame.origin.x) <= 1 && std::fabs(own.origin.y - frame.origin.y) <= 1 &&
           std::fabs(own.size.width - frame.size.width) <= 1 && std::fabs(own.size.height - frame.size.height) <= 1;
}

}  // namespace

int runForeignWindow(const CommandLine& commandLine, qtbackend::QtHost& host) {
    if (!qtbackend::hasXConnection()) {
        printError({QT_TRANSLATE_NOOP("CommandLine",
                                      "'--root' and '--window-id' draw into an X window, and Qt is not running on X")});
        return 1;
    }
    const uint32_t windowId = chosenWindow(commandLine);
    if (windowId == 0) return 1;

    // A settings tool's preview passes both --root and --window-id.
    const bool previewRequested = commandLine.root && commandLine.foreignWindowId.has_value();
    qtbackend::ForeignWindowSession session(host, windowId, previewRequested,
                                            [](const host::CGRect& frame, bool isPreview) {
                                                return tavrin::Tavrin_ScreenSaverView::create(frame, isPreview);
                                            });

    // A front-end that sent SIGTERM may wait for its hack to end before it takes the window down
    // (mate-screensaver blocks on it, xsecurelock's saver_multiplex too when the monitors
    // change): the hack ends within a second of the signal, a stuck GUI thread or not.
    StopSafetyNet safetyNet(host, kSignalEndsAtOnceMs, kStopSafetyNetMs);
    StopSignals stopSignals;
    if (!stopSignals.install(
            [&session, &host](int signo) {
                if (takeRateSignal(signo, host)) return;
                // A preview never retires the process by itself: the signal ends it here.
                if (session.isPreview()) {
                    QCoreApplication::exit(0);
                    return;
                }
                session.stop(signo == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT"));
                // The hack ends once the stop is out, not when the idle check would retire it
                // five seconds later.
                QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
            },
            safetyNet.signalFd()))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");
    else
        startFrameRate(commandLine.halfRate, host, stopSignals);
    QObject::connect(&session, &qtbackend::ForeignWindowSession::stopped, [&safetyNet] { safetyNet.arm(); });
    QObject::connect(&session, &qtbackend::ForeignWindowSession::windowGone, [] { QCoreApplication::exit(0); });

    LiveTrace trace;
    if (!commandLine.traceFile.empty() && !openLiveTrace(commandLine.traceFile, trace)) return 1;
    std::string error;
    if (!session.start(&error)) {
        std::fprintf(stderr, "tavrin: %s\n", error.c_str());
        return 1;
    }
    if (commandLine.showFrameRate) session.widget()->setShowFrameRate(true);
    traceWidget(trace, session.widget(), host, displayIndexOf(session.widget()));

    // A daemon runs one process per monitor: sparks for the other monitors go to their processes.
    // A preview computes no neighbours and never throws sparks across.
    std::unique_ptr<qtbackend::SparkLeakBridge> bridge;
    if (!session.isPreview()) {
        bridge = std::make_unique<qtbackend::SparkLeakBridge>(
            host.defaultCenter(), [&session](const host::CGRect& frame) { return coversDisplay(session, frame); },
            [&host](const std::string& line) { host.logLine(host::LogLevel::Default, line); },
            qtbackend::SparkLeakBridgeOptions::fromEnvironment());
        bridge->start();
    }
    return QApplication::exec();
}

}  // namespace app
