// Retirement of an idle host process, and the module's diagnostics.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kIdleDelay = 5.0;
constexpr double kStartupGrace = 30.0;
constexpr int kExitStatus = 0;
constexpr std::string_view kTerminateSelector = "terminateIfHostIdle";

}  // namespace

host::LogObject* tavrinLog() {
    // A function-local static is initialised once, safely against concurrent first calls.
    static host::LogObject* log =
        host::currentHost().log->createLog(host::currentHost().bundle->bundleIdentifier(), "lifecycle");
    return log;
}

bool Tavrin_ScreenSaverView::isActuallyOnScreen() const {
    const host::Window* w = window();
    return w != nullptr && w->isVisible();
}

bool Tavrin_ScreenSaverView::isLiveOnScreen() const { return isActuallyOnScreen() && isAnimating(); }

void Tavrin_ScreenSaverView::logAnimationState(bool onScreen) {
    const host::Window* w = window();
    host::LogObject* log = tavrinLog();
    if (!log->isEnabled(host::LogLevel::Default)) return;
    const std::shared_ptr<host::Screen> screen = w ? w->screen() : nullptr;
    const CGRect b = bounds();
    char line[512];
    std::snprintf(line, sizeof line,
                  "view=%p frame=%llu onScreen=%d animating=%d rendered=%d preview=%d window=%p visible=%d "
                  "occlusion=0x%lx screen=%p bounds=%.0fx%.0f",
                  static_cast<const void*>(this), static_cast<unsigned long long>(frameCounter), onScreen ? 1 : 0,
                  isAnimating() ? 1 : 0, hasRenderedVisibleFrame ? 1 : 0, isPreviewMode ? 1 : 0,
                  static_cast<const void*>(w), w && w->isVisible() ? 1 : 0,
                  static_cast<unsigned long>(w ? w->occlusionState() : 0), static_cast<const void*>(screen.get()),
                  b.size.width, b.size.height);
    log->write(host::LogLevel::Default, line);
}

void Tavrin_ScreenSaverView::scheduleIdleTerminationCheck() {
    if (isPreviewMode) return;
    if (!hasRenderedVisibleFrame) return;
    cancelIdleTerminationCheck();
    // The run loop holds only the raw target: dealloc cancels every call aimed at this view.
    host::currentHost().runLoop->performAfterDelay(this, kTerminateSelector, kIdleDelay,
                                                   [this] { terminateIfHostIdle(); });
}

void Tavrin_ScreenSaverView::cancelIdleTerminationCheck() {
    host::currentHost().runLoop->cancelPreviousPerformRequests(this, kTerminateSelector);
}

void Tavrin_ScreenSaverView::terminateIfHostIdle() {
    host::Host& h = host::currentHost();
    const double now = h.clock->now();
    for (Tavrin_ScreenSaverView* view : sLiveViews()) {
        const char* reason = nullptr;
        if (view->isPreviewMode)
            reason = "preview instance";
        else if (view->configSheet)
            reason = "options sheet open";
        else if (!view->hasRenderedVisibleFrame && now - view->createdAt < kStartupGrace)
            reason = "still starting up";
        else if (view->isLiveOnScreen())
            reason = "still on screen";
        if (reason) {
            char line[160];
            std::snprintf(line, sizeof line, "not retiring host: view %p %s", static_cast<const void*>(view), reason);
            tavrinLog()->write(host::LogLevel::Default, line);
            return;
        }
    }
    char line[96];
    std::snprintf(line, sizeof line, "all views idle for %.0fs - retiring host process", kIdleDelay);
    tavrinLog()->write(host::LogLevel::Default, line);
    h.process->exitImmediately(kExitStatus);
}

}  // namespace tavrin
