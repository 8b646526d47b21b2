#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "app/runs.h"
#include "app/half_rate.h"
#include "app/signal_pipe.h"
#include "app/stop_safety_net.h"
#include "app/translations.h"
#include "app/view_trace.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_saver_session.h"
#include "platform/qt/qt_view_widget.h"
#include "module/view/tavrin_screensaver_view.h"

namespace app {
namespace {

/// How long a compositor gets to make the views full screen before the program checks.
constexpr int kFullScreenCheckMs = 2000;

/// On Wayland the program cannot place its windows: it asks the compositor for a full-screen
/// window on each output, and the compositor may say no. The user is told which outputs are
/// left uncovered rather than left guessing.
void reportUncoveredOutputs(const qtbackend::ScreenSaverSession& session, qtbackend::QtHost& host) {
    if (session.isStopped()) return;
    for (const qtbackend::ViewWidget* widget : session.widgets()) {
        const QScreen* screen = widget->screen();
        const bool covered = (widget->windowState() & Qt::WindowFullScreen) && screen &&
                             widget->size() == screen->geometry().size();
        if (covered) continue;
        const std::string line = "the compositor did not make the window on output '" +
                                 (screen ? screen->name().toStdString() : std::string("?")) +
                                 "' full screen; that output is not covered";
        host.logLine(host::LogLevel::Error, line);
        std::fprintf(stderr, "tavrin: %s\n", line.c_str());
    }
}

}  // namespace

int runInteractive(const CommandLine& commandLine, qtbackend::QtHost& host) {
    using Session = qtbackend::ScreenSaverSession;
    const Session::Mode mode = commandLine.mode == Mode::Window ? Session::Mode::Window : Session::Mode::FullScreen;
    LiveTrace trace;
    if (!commandLine.traceFile.empty() && !openLiveTrace(commandLine.traceFile, trace)) return 1;
    Session session(host, mode, [](const host::CGRect& frame) {
        return tavrin::Tavrin_ScreenSaverView::create(frame, false);
    });
    // Views are numbered in the order they are made: at the start that is the order of the
    // displays, and a display plugged in later gets a number of its own.
    int viewsMade = 0;
    QObject::connect(&session, &Session::widgetCreated, [&trace, &host, &viewsMade](qtbackend::ViewWidget* widget) {
        traceWidget(trace, widget, host, viewsMade++);
    });

    // After input the module retires the stopped process a few seconds after the stop. A signal
    // ends it as soon as the will-stop notification's work has run, whether it finds the saver
    // running or already stopped and retiring: whoever sent it (the idle watcher when the user is
    // back, a session that ends) does not wait out the retirement; within a second, a stuck GUI
    // thread or not. It ends the way the retirement would have: at once, without exit handlers.
    StopSafetyNet safetyNet(host, kSignalEndsAtOnceMs, kStopSafetyNetMs);
    StopSignals stopSignals;
    if (!stopSignals.install(
            [&session, &host](int signo) {
                if (takeRateSignal(signo, host)) return;
                const char* name = signo == SIGTERM ? "SIGTERM" : "SIGINT";
                if (session.isStopped())
                    host.logLine(host::LogLevel::Default,
                                 std::string(name) + " while the stopped screen saver retires: ending now");
                else
                    session.stop(QString::fromLatin1(name));
                QTimer::singleShot(0, [&host] { host.host().process->exitImmediately(0); });
            },
            safetyNet.signalFd()))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");
    else
        startFrameRate(commandLine.halfRate, host, stopSignals);
    QObject::connect(&session, &Session::stopped, [&safetyNet] { safetyNet.arm(); });
    QObject::connect(&session, &Session::windowClosed, [] { QCoreApplication::exit(0); });

    const PixelSize size = commandLine.windowSize;
    if (!session.start(QSize(size.width, size.height))) {
        printError({QT_TRANSLATE_NOOP("CommandLine", "no display to show the screen saver on")});
        return 1;
    }
    for (qtbackend::ViewWidget* widget : session.widgets()) widget->setShowFrameRate(commandLine.showFrameRate);
    if (mode == Session::Mode::FullScreen && QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        QTimer::singleShot(kFullScreenCheckMs, &session, [&session, &host] { reportUncoveredOutputs(session, host); });
    return QApplication::exec();
}

}  // namespace app
