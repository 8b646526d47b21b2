#include "idle/x11_server_blanking.h"

#include <algorithm>

#include "idle/desktop_timers.h"
#include "idle/xcb_reply.h"

namespace idle {

X11ServerBlanking::X11ServerBlanking(IdleLog log) : log_(std::move(log)) {
    connection_ = xcb_connect(nullptr, nullptr);
    const ReplyPtr<xcb_get_screen_saver_reply_t> saver(
        xcb_connection_has_error(connection_) ? nullptr
                                              : xcb_get_screen_saver_reply(connection_, xcb_get_screen_saver(connection_), nullptr));
    if (!saver) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        log_(host::LogLevel::Error, "cannot ask the X server about its own screen saver: it is left as it is");
        return;
    }
    timeout_ = saver->timeout;
    interval_ = saver->interval;
    preferBlanking_ = saver->prefer_blanking;
    allowExposures_ = saver->allow_exposures;
    if (timeout_ == 0) {
        log_(host::LogLevel::Default, "the X server's own screen saver is off already");
        return;
    }
    setServerBlanking(false);
}

X11ServerBlanking::~X11ServerBlanking() {
    if (!connection_) return;
    if (timeout_ > 0 && !serverBlanks_) {
        // Put back only what this object turned off: a timeout set meanwhile (xset s) stays.
        const ReplyPtr<xcb_get_screen_saver_reply_t> saver(
            xcb_get_screen_saver_reply(connection_, xcb_get_screen_saver(connection_), nullptr));
        if (saver && saver->timeout == 0 && setTimeout(timeout_))
            log_(host::LogLevel::Default, "put the X server's own screen saver back: it blanks after " +
                                              describeTime(timeout_) + " again");
    }
    xcb_disconnect(connection_);
}

void X11ServerBlanking::setServerBlanking(bool serverBlanks) {
    if (serverBlanks == serverBlanks_) return;
    serverBlanks_ = serverBlanks;
    if (!connection_ || timeout_ == 0) return;
    if (!setTimeout(serverBlanks ? timeout_ : 0)) {
        log_(host::LogLevel::Error, "the X server did not take its screen saver's new timeout");
        return;
    }
    log_(host::LogLevel::Default,
         serverBlanks ? "turned the X server's own screen saver back on: it blanks after " + describeTime(timeout_)
                      : "turned the X server's own screen saver off while the idle watcher runs (it blanks after " +
                            describeTime(timeout_) + "); it is put back when the watcher ends");
}

bool X11ServerBlanking::setTimeout(int64_t seconds) {
    if (xcb_connection_has_error(connection_)) return false;
    // The request takes 16-bit signed seconds, the reply gave 16-bit unsigned ones.
    constexpr int64_t kLongest = 32767;
    const xcb_void_cookie_t cookie = xcb_set_screen_saver_checked(
        connection_, static_cast<int16_t>(std::min(seconds, kLongest)), static_cast<int16_t>(std::min(interval_, kLongest)),
        preferBlanking_, allowExposures_);
    const ReplyPtr<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
    return !error && !xcb_connection_has_error(connection_);
}

}  // namespace idle
