// How often the full-screen saver's frames are stepped and drawn, for every view of the process.
// Every frame is stepped, so the motion on screen never changes. At half rate (on battery) a tick
// comes every second frame's time and steps the view twice before drawing: half the pictures and
// half the wake-ups. A view whose window is off screen (under a lock screen or a shield, say) is
// stepped once a second instead: the view still sees each of those frames and does what it does
// when hidden, and no wake-up is spent on a picture nobody sees.
#pragma once

#include <algorithm>

namespace qtbackend {

class FramePacing {
public:
    /// The longest a view off screen waits for its next step, and so for its first frame once it
    /// is on screen again.
    static constexpr double kOffScreenInterval = 1.0;

    void setHalfRate(bool on) { halfRate_ = on; }
    bool halfRate() const { return halfRate_; }

    /// Frames stepped at one tick, before the one drawing.
    int stepsPerTick(bool onScreen) const { return halfRate_ && onScreen ? 2 : 1; }

    /// Seconds until the next tick of a view asking for `viewInterval` between frames.
    double tickInterval(double viewInterval, bool onScreen) const {
        return onScreen ? viewInterval * stepsPerTick(true) : std::max(viewInterval, kOffScreenInterval);
    }

private:
    bool halfRate_ = false;
};

}  // namespace qtbackend
