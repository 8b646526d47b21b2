// How often the full-screen saver's frames are stepped and drawn, for every view of the process.
// Every frame is stepped at the view's own interval, so the motion on screen never changes; at
// half rate (on battery) only every second one is drawn. A view whose window is off screen (under
// a lock screen or a shield, say) is stepped once a second instead: the view still sees each of
// those frames and does what it does when hidden, and no wake-up is spent on a picture nobody sees.
#pragma once

#include <algorithm>
#include <cstdint>

namespace qtbackend {

class FramePacing {
public:
    /// The longest a view off screen waits for its next step, and so for its first frame once it
    /// is on screen again.
    static constexpr double kOffScreenInterval = 1.0;

    void setHalfRate(bool on) { halfRate_ = on; }
    bool halfRate() const { return halfRate_; }

    /// Whether the frame stepped as number `step` (counted by the caller from 0) is drawn.
    bool drawsStep(uint64_t step) const { return !halfRate_ || step % 2 == 0; }

    /// Seconds until the next step of a view asking for `viewInterval`, on screen or not.
    static double nextInterval(double viewInterval, bool onScreen) {
        return onScreen ? viewInterval : std::max(viewInterval, kOffScreenInterval);
    }

private:
    bool halfRate_ = false;
};

}  // namespace qtbackend
