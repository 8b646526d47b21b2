// The idle source of X11 sessions without a desktop of their own to ask: the X server's idle time
// (MIT-SCREEN-SAVER), on xcb, in Qt's event loop.
//
// Waiting for idleness, it asks the server how long the user has been idle and sleeps until the
// moment that time can first reach the timeout, then asks again: one wake-up per timeout while the
// user works, none in between. Once idle, it learns of the user's return from XInput 2 raw key,
// button, touch and motion events on the root window, selected only until then: the server sends
// raw events to every client that asks, whoever grabs the input (the saver's windows, a lock
// screen), so the return is seen without polling. A pointer that moves no farther than the saver's
// own jitter allowance is no return, as for the saver.
//
// It serves org.freedesktop.ScreenSaver where nobody else does (screensaver_service.h): while a
// program holds an inhibition the saver is not started, and the idle period counts from the
// release of the last one.
#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <xcb/xcb.h>

#include "idle/idle_source.h"

namespace idle {

class ScreenSaverService;

class X11IdleSource : public IdleSource {
    Q_OBJECT
public:
    /// Pointer travel, in pixels from where the pointer was when the user went idle, that counts
    /// as the user's return: the full-screen saver's own allowance for jitter of the device.
    static constexpr int kPointerJitter = 8;

    /// Takes over `connection`, already checked for MIT-SCREEN-SAVER and XInput 2.2 (whose major
    /// opcode is `xinputOpcode`).
    X11IdleSource(xcb_connection_t* connection, xcb_window_t root, uint8_t xinputOpcode, SourceContext context);
    ~X11IdleSource() override;

    QString name() const override;
    bool watch(std::chrono::milliseconds timeout, std::string* why) override;
    std::vector<Inhibitor> holders() const override;
    void saverStateChanged(bool running) override;

private:
    /// Reads what the server sent: raw input events while idle, or the end of the connection.
    void readEvents();
    /// The timer's moment: the user is idle long enough now, or the timer is set again.
    void checkIdle();
    void scheduleCheck(std::chrono::milliseconds delay);
    /// How long the user has been idle: the server's idle time, counted at most from the last
    /// moment the idle period started afresh here (watch, the last inhibition gone, reported
    /// activity). Nothing when the connection failed.
    std::optional<std::chrono::milliseconds> idleTime();
    bool inhibited() const;
    void selectRawInput(bool on);
    std::optional<std::pair<int, int>> pointerPosition();
    void userReturned(const char* how);
    void inhibitionChanged(bool inhibited);
    void activityReported();
    /// True (and the source ended) when the connection to the server is gone.
    bool connectionLost();

    xcb_connection_t* connection_;
    xcb_window_t root_;
    uint8_t xinputOpcode_;
    SourceContext context_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer checkTimer_;
    std::chrono::milliseconds timeout_{0};
    std::chrono::steady_clock::time_point freshSince_;
    bool idle_ = false;    ///< idle() was sent and active() not yet
    bool ended_ = false;
    std::pair<int, int> idlePointer_{0, 0};
    std::unique_ptr<ScreenSaverService> service_;
};

}  // namespace idle
