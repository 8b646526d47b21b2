#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QWindow>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "app/runs.h"
#include "app/scene_trace.h"
#include "app/translations.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_saver_session.h"
#include "module/view/tavrin_screensaver_view.h"

namespace app {
namespace {

/// How long the offscreen windows may take to be shown before frames are stepped anyway.
constexpr int kExposeWaitMs = 5000;
/// Seconds between progress lines of a long run.
constexpr qint64 kProgressIntervalMs = 2000;

bool allExposed(const std::vector<qtbackend::ViewWidget*>& widgets) {
    for (const qtbackend::ViewWidget* w : widgets)
        if (!w->windowHandle() || !w->windowHandle()->isExposed()) return false;
    return true;
}

QString picturePath(const QString& folder, size_t display, int64_t frame) {
    return QStringLiteral("%1/display%2-frame%3.png").arg(folder).arg(display).arg(frame, 5, 10, QLatin1Char('0'));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

/// Says that the trace cannot be written, and why (errno).
void printTraceError(const std::string& path) {
    printError({QT_TRANSLATE_NOOP("CommandLine", "cannot write the trace '%1': %2"), {path, std::strerror(errno)}});
}

}  // namespace

int runRender(const CommandLine& commandLine, qtbackend::QtHost& host) {
    const QString folder = QString::fromStdString(commandLine.renderFolder);
    if (!QDir().mkpath(folder)) {
        printError({QT_TRANSLATE_NOOP("CommandLine", "cannot create the folder '%1'"), {commandLine.renderFolder}});
        return 1;
    }
    std::unique_ptr<std::FILE, FileCloser> trace;
    const std::string tracePath = expandTracePath(commandLine.traceFile, static_cast<long>(::getpid()));
    if (!tracePath.empty()) {
        trace.reset(std::fopen(tracePath.c_str(), "w"));
        if (!trace) {
            printTraceError(tracePath);
            return 1;
        }
    }

    using Session = qtbackend::ScreenSaverSession;
    Session session(host, Session::Mode::Headless, [](const host::CGRect& frame) {
        return tavrin::Tavrin_ScreenSaverView::create(frame, false);
    });
    if (!session.start()) {
        printError({QT_TRANSLATE_NOOP("CommandLine", "no display to draw on")});
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    while (!allExposed(session.widgets()) && clock.elapsed() < kExposeWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    const int64_t frames = commandLine.frames;
    size_t written = 0;
    std::string traceText;
    qint64 lastProgress = clock.elapsed();
    for (int64_t frame = 1; frame <= frames; ++frame) {
        const std::vector<qtbackend::ViewWidget*> widgets = session.widgets();
        for (qtbackend::ViewWidget* w : widgets) w->view().animateOneFrame();
        QCoreApplication::processEvents();

        const bool save = frame % commandLine.every == 0 || frame == frames;
        traceText.clear();
        for (size_t i = 0; i < widgets.size(); ++i) {
            const QImage& image = widgets[i]->renderImage();
            if (trace) {
                if (const auto* view = dynamic_cast<const tavrin::Tavrin_ScreenSaverView*>(&widgets[i]->view()))
                    appendTraceLine(traceText, static_cast<int>(i), *view);
            }
            if (!save) continue;
            const QString path = picturePath(folder, i, frame);
            if (image.isNull() || !image.save(path, "PNG")) {
                printError({QT_TRANSLATE_NOOP("CommandLine", "cannot write '%1'"), {path.toStdString()}});
                return 1;
            }
            ++written;
        }
        if (trace && std::fwrite(traceText.data(), 1, traceText.size(), trace.get()) != traceText.size()) {
            printTraceError(tracePath);
            return 1;
        }
        if (clock.elapsed() - lastProgress >= kProgressIntervalMs && frame < frames) {
            lastProgress = clock.elapsed();
            std::fprintf(stderr, "tavrin: frame %lld of %lld\n", static_cast<long long>(frame),
                         static_cast<long long>(frames));
        }
    }
    if (trace && std::fflush(trace.get()) != 0) {
        printTraceError(tracePath);
        return 1;
    }
    std::printf("tavrin: wrote %zu picture(s) of %zu display(s) to %s (display<i>-frame<n>.png)\n", written,
                session.widgets().size(), QDir(folder).absolutePath().toLocal8Bit().constData());
    if (trace) std::printf("tavrin: wrote the trace to %s\n", tracePath.c_str());
    return 0;
}

}  // namespace app
