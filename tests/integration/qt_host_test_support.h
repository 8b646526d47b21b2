// Shared pieces of the Qt host's integration tests: one QtHost for the whole test program (the
// module's log object lives as long as the process, so its host must too), a view that records
// what the host asks of it, and a helper that spins the event loop until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "host/screen_saver_view.h"
#include "platform/qt/qt_host.h"

namespace qttest {

inline qtbackend::QtHost& sharedHost() {
    static qtbackend::QtHost* host = new qtbackend::QtHost(qtbackend::HostOptions{42, false});
    return *host;
}

/// Runs the event loop until `done` holds or the time is up; returns `done()`.
inline bool spinUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

/// Runs the event loop for a while.
inline void spinFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

/// A view that counts the host's calls and draws a known picture: black, with the lower-left
/// quarter (in its own y-up coordinates) red.
class ProbeView : public host::ScreenSaverView {
public:
    static std::shared_ptr<ProbeView> make(const host::CGRect& frame) {
        auto view = std::make_shared<ProbeView>();
        return view->initWithFrame(frame, false) ? view : nullptr;
    }

    int frames = 0;
    int draws = 0;
    int drawsWithoutContext = 0;
    int windowMoves = 0;
    int backingChanges = 0;
    std::vector<host::CGSize> frameSizes;

    void animateOneFrame() override {
        ++frames;
        setNeedsDisplay(true);
    }
    void drawRect(const host::CGRect&) override {
        ++draws;
        host::GraphicsContext* context = host::currentContext();
        if (!context) {
            ++drawsWithoutContext;
            return;
        }
        const host::CGRect b = bounds();
        context->setFillColor(host::Color::blackColor());
        context->fillRect(b);
        context->setFillColor(host::Color::colorWithCalibratedHue(0, 1, 1, 1));
        context->fillRect(host::NSMakeRect(0, 0, b.size.width / 2, b.size.height / 2));
    }
    void viewDidMoveToWindow() override { ++windowMoves; }
    void viewDidChangeBackingProperties() override { ++backingChanges; }
    void setFrameSize(const host::CGSize& size) override {
        ScreenSaverView::setFrameSize(size);
        frameSizes.push_back(size);
    }
    bool isOpaque() const override { return true; }
};

/// A test that runs on the shared Qt host.
class QtHostTest : public ::testing::Test {
protected:
    void SetUp() override { sharedHost().install(); }
    qtbackend::QtHost& qtHost() { return sharedHost(); }
};

}  // namespace qttest
