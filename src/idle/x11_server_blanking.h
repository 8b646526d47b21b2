// On plain X11 the idle watcher is the session's screen saver (it serves
// org.freedesktop.ScreenSaver), so the X server's own screen saver, which would blank the screen
// over Tavrin's, is turned off while the watcher runs (SetScreenSaver with a timeout of 0, as
// screen-saver daemons do) and put back as it was when the watcher ends: the object's end, which
// SIGTERM and SIGINT reach too (they end the watcher's event loop, and its objects go). A SIGKILL
// leaves it off. On a connection of its own; a server that goes away is left alone.
#pragma once

#include <cstdint>
#include <xcb/xcb.h>

#include "idle/idle_source.h"

namespace idle {

class X11ServerBlanking {
public:
    /// Connects to the X server of DISPLAY and turns its screen saver off; logs what it did.
    explicit X11ServerBlanking(IdleLog log);
    /// Puts the server's screen saver back as it was.
    ~X11ServerBlanking();
    X11ServerBlanking(const X11ServerBlanking&) = delete;
    X11ServerBlanking& operator=(const X11ServerBlanking&) = delete;

    /// True: the server's own screen saver is back on as it was (while the watcher will start no
    /// saver, so that the screen still blanks); false: off again.
    void setServerBlanking(bool serverBlanks);
    bool serverBlanks() const { return serverBlanks_; }

private:
    /// Sets the server's screen-saver timeout, the other values as they were; false when the
    /// server is gone.
    bool setTimeout(int64_t seconds);

    IdleLog log_;
    xcb_connection_t* connection_ = nullptr;
    /// The values found at the start (timeout and cycle in seconds, and the two switches).
    int64_t timeout_ = 0;
    int64_t interval_ = 0;
    uint8_t preferBlanking_ = XCB_BLANKING_DEFAULT;
    uint8_t allowExposures_ = XCB_EXPOSURES_DEFAULT;
    bool serverBlanks_ = true;
};

}  // namespace idle
