#include <QApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "app/runs.h"
#include "app/signal_pipe.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_saver_session.h"
#include "view/tavrin_screensaver_view.h"

namespace app {
namespace {

/// The module ends the process a few seconds after a stop; should it not, the program ends
/// itself this long after the stop.
constexpr int kStopSafetyNetMs = 30000;

}  // namespace

int runInteractive(const CommandLine& commandLine, qtbackend::QtHost& host) {
    using Session = qtbackend::ScreenSaverSession;
    const Session::Mode mode = commandLine.mode == Mode::Window ? Session::Mode::Window : Session::Mode::FullScreen;
    Session session(host, mode, [](const host::CGRect& frame) {
        return tavrin::Tavrin_ScreenSaverView::create(frame, false);
    });

    StopSignals stopSignals;
    if (!stopSignals.install([&session](int signo) {
            session.stop(signo == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT"));
        }))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");

    QTimer safetyNet;
    safetyNet.setSingleShot(true);
    safetyNet.setInterval(kStopSafetyNetMs);
    QObject::connect(&safetyNet, &QTimer::timeout, [&host] {
        host.logLine(host::LogLevel::Error, "the screen saver was still running 30 s after the stop - exiting");
        QCoreApplication::exit(0);
    });
    QObject::connect(&session, &Session::stopped, &safetyNet, qOverload<>(&QTimer::start));
    QObject::connect(&session, &Session::windowClosed, [] { QCoreApplication::exit(0); });

    const PixelSize size = commandLine.windowSize;
    if (!session.start(QSize(size.width, size.height))) {
        std::fputs("tavrin: no display to show the screen saver on\n", stderr);
        return 1;
    }
    for (qtbackend::ViewWidget* widget : session.widgets()) widget->setShowFrameRate(commandLine.showFrameRate);
    return QApplication::exec();
}

}  // namespace app
