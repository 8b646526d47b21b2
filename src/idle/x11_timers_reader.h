// The X server's timers on plain X11, on an xcb connection of the reader's own: its own screen
// saver (GetScreenSaver: the blank after so many seconds, 0 off) and, where the server has DPMS
// and it is enabled, the displays' power (standby, suspend and off after so many seconds each, 0
// off: the displays go dark at the first of them). The server sends no word when they change
// (`xset`): recheck() asks again, and the watcher calls it at the start of every idle period.
// The watcher turns the server's own screen saver off while it runs (x11_server_blanking.h), so
// only DPMS can hide Tavrin here; letBlankAfter() moves the DPMS timeouts so that the displays go
// dark after that many minutes, each timeout as far after the first as before.
#pragma once

#include <cstdint>
#include <xcb/xcb.h>

#include "idle/desktop_timers.h"

namespace idle {

/// The server's DPMS timeouts in seconds, 0 meaning that step is off.
struct DpmsTimeouts {
    uint16_t standby = 0;
    uint16_t suspend = 0;
    uint16_t off = 0;
    bool operator==(const DpmsTimeouts&) const = default;
};

/// What the server said.
struct X11ServerTimes {
    int64_t screenSaverTimeout = 0;  ///< seconds, 0 off
    bool hasDpms = false;            ///< the extension is there and the displays can do it
    bool dpmsEnabled = false;
    DpmsTimeouts dpms;
};

DesktopTimers x11Timers(const X11ServerTimes& times);

/// The timeouts moved later by one amount so that the first that is on comes at `seconds` (each
/// at most 65535, the protocol's limit); unchanged when it already comes no sooner, or none is on.
DpmsTimeouts dpmsTimeoutsDarkAfter(DpmsTimeouts timeouts, int64_t seconds);

class X11TimersReader : public DesktopTimersReader {
public:
    /// Connects to the X server of DISPLAY.
    explicit X11TimersReader(IdleLog log);
    ~X11TimersReader() override;

    DesktopTimers read() override { return timers_; }
    void recheck() override;
    bool letBlankAfter(int64_t minutes, std::string* why) override;

private:
    /// What the server says now; none when the connection is gone.
    std::optional<X11ServerTimes> ask();

    IdleLog log_;
    xcb_connection_t* connection_ = nullptr;
    X11ServerTimes server_;
    DesktopTimers timers_;
};

}  // namespace idle
