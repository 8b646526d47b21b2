// The damage-tracked frame renderer: brings a picture that is kept from frame to frame up to a
// view's scene, drawing it again only where the two differ. One piece for every place a view is
// drawn: the Qt view widget (its kept picture and the window's own pixels), headless frames, and
// the buffers of a Wayland surface, each of which shows a frame of its own.
//
// A frame is measured once (a bounds pass over the view's drawing calls, see qt_frame_damage.h);
// each picture then takes its damage against that measure: where it differs from the scene now
// is where either its own last frame or the scene now drew anything.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QSize>
#include <vector>

#include "host/screen_saver_view.h"
#include "platform/qt/qt_frame_damage.h"

class QPainter;

namespace qtbackend {

/// What a picture that is patched from frame to frame shows.
struct ShownFrame {
    std::vector<QRect> bounds;  ///< device rectangles of what it shows beyond black, merged
    bool valid = false;         ///< it shows the scene it was last drawn from, everywhere
};

class FrameRenderer {
public:
    /// The view must outlive the renderer.
    explicit FrameRenderer(host::ScreenSaverView& view) : view_(view) {}

    /// Measures where the scene as it is now draws, for a view `heightPoints` high shown at
    /// `devicePixelRatio` on `devicePixels`: device rectangles, merged, valid until the next call.
    const std::vector<QRect>& measure(double heightPoints, double devicePixelRatio, QSize devicePixels);
    /// After measure: leaves in changed() the device rectangles where `shown` differs from the
    /// scene measured and returns false, or returns true when it must be drawn whole (it was not
    /// valid); either way `shown` then holds the measured bounds and is valid.
    bool takeDamage(ShownFrame& shown);
    /// After measure: adds the measured bounds to what `shown` shows, for a paint outside the
    /// frame cycle that drew the scene as it is now over what was there.
    void addMeasured(ShownFrame& shown);
    /// The device rectangles of the last takeDamage.
    const std::vector<QRect>& changed() const { return changed_; }
    /// Adds a device rectangle to changed(), for something drawn over the scene every frame.
    void includeInChanged(const QRect& deviceRect) { changed_.push_back(deviceRect); }

    /// Draws the scene into `image` (whose device pixel ratio says its density), whole or only
    /// inside changed(). The image must be as large as the measured device.
    void draw(QImage& image, double heightPoints, bool whole);

private:
    host::ScreenSaverView& view_;
    DamageRecorder damage_;
    std::vector<QRect> changed_;
};

/// When frames are due: on a fixed grid of the view's animation interval, so that the rate averages
/// the interval exactly even though timers count whole milliseconds; after a stall the grid
/// restarts instead of bursting.
class FrameGrid {
public:
    /// The grid starts now.
    void restart() {
        clock_.start();
        nextMs_ = 0;
    }
    /// Milliseconds from now until the next frame at `intervalSeconds` (at least 1 ms apart).
    int nextDelayMs(double intervalSeconds);
    /// Milliseconds since the grid started.
    qint64 elapsedMs() const { return clock_.elapsed(); }

private:
    QElapsedTimer clock_;
    double nextMs_ = 0;  ///< when the next frame is due, on clock_
};

/// The frame rate drawn over a view's bottom-left corner (--fps): the frames painted in the last
/// whole second.
class FrameRateOverlay {
public:
    /// Counts a frame and draws the rate with `painter` (device pixels at the painter's own
    /// scale) over a view `heightPoints` high.
    void draw(QPainter& painter, int heightPoints);
    /// Where the last draw put the rate, in points from the view's top-left corner, wide enough
    /// for any rate: the next frames repaint it whatever they draw.
    QRect box() const { return box_; }
    int rate() const { return rate_; }

private:
    QElapsedTimer clock_;
    int framesThisSecond_ = 0;
    int rate_ = 0;
    QRect box_;
};

}  // namespace qtbackend
