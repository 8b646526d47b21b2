#include "idle/x11_timers_reader.h"

#include <algorithm>
#include <xcb/dpms.h>

#include "idle/xcb_reply.h"

namespace idle {

DesktopTimers x11Timers(const X11ServerTimes& times) {
    DesktopTimers timers;
    timers.desktop = "the X server";
    timers.known = true;
    timers.blankOffWhileWatching = true;
    if (times.screenSaverTimeout > 0) timers.blank = times.screenSaverTimeout;
    if (times.hasDpms) {
        timers.fix = DesktopTimers::Fix::X11Dpms;
        if (times.dpmsEnabled) {
            for (const uint16_t step : {times.dpms.standby, times.dpms.suspend, times.dpms.off})
                if (step > 0 && (!timers.displaysOff || step < *timers.displaysOff)) timers.displaysOff = step;
            timers.displaysOffOnBattery = timers.displaysOff;
        }
    }
    timers.whereToChange = "the desktop's power settings, or xset dpms";
    return timers;
}

DpmsTimeouts dpmsTimeoutsDarkAfter(DpmsTimeouts timeouts, int64_t seconds) {
    constexpr int64_t kLongest = 65535;
    int64_t first = 0;
    for (const uint16_t step : {timeouts.standby, timeouts.suspend, timeouts.off})
        if (step > 0 && (first == 0 || step < first)) first = step;
    const int64_t later = std::min(seconds, kLongest) - first;
    if (first == 0 || later <= 0) return timeouts;
    for (uint16_t* step : {&timeouts.standby, &timeouts.suspend, &timeouts.off})
        if (*step > 0) *step = static_cast<uint16_t>(std::min(*step + later, kLongest));
    return timeouts;
}

X11TimersReader::X11TimersReader(IdleLog log) : log_(std::move(log)) {
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        timers_.desktop = "the X server";
        timers_.unknownWhy = "its display cannot be reached";
        return;
    }
    if (const std::optional<X11ServerTimes> times = ask()) {
        server_ = *times;
        timers_ = x11Timers(server_);
    }
}

X11TimersReader::~X11TimersReader() {
    if (connection_) xcb_disconnect(connection_);
}

std::optional<X11ServerTimes> X11TimersReader::ask() {
    if (!connection_ || xcb_connection_has_error(connection_)) return std::nullopt;
    X11ServerTimes times;
    // Every question first, then the answers: one round trip.
    const xcb_get_screen_saver_cookie_t saverCookie = xcb_get_screen_saver(connection_);
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(connection_, &xcb_dpms_id);
    const bool dpmsThere = dpms && dpms->present;
    xcb_dpms_capable_cookie_t capableCookie{};
    xcb_dpms_get_timeouts_cookie_t timeoutsCookie{};
    xcb_dpms_info_cookie_t infoCookie{};
    if (dpmsThere) {
        capableCookie = xcb_dpms_capable(connection_);
        timeoutsCookie = xcb_dpms_get_timeouts(connection_);
        infoCookie = xcb_dpms_info(connection_);
    }
    const ReplyPtr<xcb_get_screen_saver_reply_t> saver(xcb_get_screen_saver_reply(connection_, saverCookie, nullptr));
    if (!saver) return std::nullopt;
    times.screenSaverTimeout = saver->timeout;
    if (dpmsThere) {
        const ReplyPtr<xcb_dpms_capable_reply_t> capable(xcb_dpms_capable_reply(connection_, capableCookie, nullptr));
        const ReplyPtr<xcb_dpms_get_timeouts_reply_t> timeouts(
            xcb_dpms_get_timeouts_reply(connection_, timeoutsCookie, nullptr));
        const ReplyPtr<xcb_dpms_info_reply_t> info(xcb_dpms_info_reply(connection_, infoCookie, nullptr));
        if (capable && timeouts && info && capable->capable) {
            times.hasDpms = true;
            times.dpmsEnabled = info->state != 0;
            times.dpms = {timeouts->standby_timeout, timeouts->suspend_timeout, timeouts->off_timeout};
        }
    }
    return times;
}

void X11TimersReader::recheck() {
    if (!connection_) return;
    DesktopTimers now;
    if (const std::optional<X11ServerTimes> times = ask()) {
        server_ = *times;
        now = x11Timers(server_);
    } else {
        now.desktop = "the X server";
        now.unknownWhy = "the connection to it is lost";
    }
    if (now == timers_) return;
    timers_ = std::move(now);
    emit changed();
}

bool X11TimersReader::letBlankAfter(int64_t minutes, std::string* why) {
    auto refuse = [why](std::string reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    recheck();
    if (!timers_.known) return refuse("the X server cannot be asked: " + timers_.unknownWhy);
    if (!server_.hasDpms) return refuse("the X server has no DPMS");
    if (minutes < 1) return refuse("not a time the X server takes");
    const DpmsTimeouts moved = dpmsTimeoutsDarkAfter(server_.dpms, minutes * 60);
    if (moved == server_.dpms) return true;
    const xcb_void_cookie_t cookie = xcb_dpms_set_timeouts_checked(connection_, moved.standby, moved.suspend, moved.off);
    if (const ReplyPtr<xcb_generic_error_t> error{xcb_request_check(connection_, cookie)})
        return refuse("the X server refused the DPMS timeouts (error " + std::to_string(error->error_code) + ")");
    log_(host::LogLevel::Default, "set the X server's DPMS timeouts to " + std::to_string(moved.standby) + ", " +
                                      std::to_string(moved.suspend) + " and " + std::to_string(moved.off) + " seconds");
    recheck();
    return true;
}

}  // namespace idle
