#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/runs.h"
#include "app/scene_trace.h"
#include "app/signal_pipe.h"
#include "app/stop_safety_net.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_saver_session.h"
#include "platform/qt/qt_view_widget.h"
#include "view/tavrin_screensaver_view.h"

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

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

/// A view that appends its scene to the trace (--trace) after each of its frame steps. Views are
/// numbered in the order they are made, so a display plugged in again gets a new number.
class TracedView final : public tavrin::Tavrin_ScreenSaverView {
public:
    TracedView(std::FILE* file, int display) : file_(file), display_(display) {}
    void animateOneFrame() override {
        Tavrin_ScreenSaverView::animateOneFrame();
        line_.clear();
        appendTraceLine(line_, display_, *this);
        std::fwrite(line_.data(), 1, line_.size(), file_);
    }

private:
    std::FILE* file_;
    int display_;
    std::string line_;
};

}  // namespace

int runInteractive(const CommandLine& commandLine, qtbackend::QtHost& host) {
    using Session = qtbackend::ScreenSaverSession;
    const Session::Mode mode = commandLine.mode == Mode::Window ? Session::Mode::Window : Session::Mode::FullScreen;
    std::unique_ptr<std::FILE, FileCloser> trace;
    if (!commandLine.traceFile.empty()) {
        trace.reset(std::fopen(commandLine.traceFile.c_str(), "w"));
        if (!trace) {
            std::fprintf(stderr, "tavrin: cannot write the trace '%s': %s\n", commandLine.traceFile.c_str(),
                         std::strerror(errno));
            return 1;
        }
        // Whole lines reach the file at once: the process may end without flushing (retirement).
        std::setvbuf(trace.get(), nullptr, _IOLBF, 1 << 16);
    }
    int tracedViews = 0;
    Session session(host, mode, [&](const host::CGRect& frame) -> std::shared_ptr<host::ScreenSaverView> {
        if (!trace) return tavrin::Tavrin_ScreenSaverView::create(frame, false);
        auto view = std::make_shared<TracedView>(trace.get(), tracedViews++);
        if (!view->initWithFrame(frame, false)) return nullptr;
        return view;
    });

    StopSignals stopSignals;
    if (!stopSignals.install([&session](int signo) {
            session.stop(signo == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT"));
        }))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");

    StopSafetyNet safetyNet(host);
    QObject::connect(&session, &Session::stopped, [&safetyNet] { safetyNet.arm(); });
    QObject::connect(&session, &Session::windowClosed, [] { QCoreApplication::exit(0); });

    const PixelSize size = commandLine.windowSize;
    if (!session.start(QSize(size.width, size.height))) {
        std::fputs("tavrin: no display to show the screen saver on\n", stderr);
        return 1;
    }
    for (qtbackend::ViewWidget* widget : session.widgets()) widget->setShowFrameRate(commandLine.showFrameRate);
    if (mode == Session::Mode::FullScreen && QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        QTimer::singleShot(kFullScreenCheckMs, &session, [&session, &host] { reportUncoveredOutputs(session, host); });
    return QApplication::exec();
}

}  // namespace app
