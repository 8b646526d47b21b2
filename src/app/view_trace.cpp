#include "app/view_trace.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdio>
#include <unistd.h>

#include "platform/qt/qt_host.h"
#include "platform/qt/qt_view_widget.h"
#include "module/view/tavrin_screensaver_view.h"

namespace app {

bool openLiveTrace(const std::string& pattern, LiveTrace& trace) {
    std::string error;
    if (trace.open(expandTracePath(pattern, static_cast<long>(::getpid())), &error)) return true;
    std::fprintf(stderr, "tavrin: %s\n", error.c_str());
    return false;
}

int displayIndexOf(const qtbackend::ViewWidget* widget) {
    return static_cast<int>(QGuiApplication::screens().indexOf(widget->screen()));
}

void writeTraceLine(LiveTrace& trace, qtbackend::QtHost& host, const host::ScreenSaverView* view, int display) {
    if (!trace.isOpen()) return;
    const auto* tavrinView = dynamic_cast<const tavrin::Tavrin_ScreenSaverView*>(view);
    if (!tavrinView) return;
    std::string error;
    if (!trace.write(display, *tavrinView, &error)) {
        host.logLine(host::LogLevel::Error, error);
        std::fprintf(stderr, "tavrin: %s\n", error.c_str());
    }
}

void traceWidget(LiveTrace& trace, qtbackend::ViewWidget* widget, qtbackend::QtHost& host, int display) {
    if (!trace.isOpen()) return;
    const host::ScreenSaverView* view = &widget->view();
    QObject::connect(widget, &qtbackend::ViewWidget::frameStepped, widget,
                     [&trace, &host, view, display] { writeTraceLine(trace, host, view, display); });
}

}  // namespace app
