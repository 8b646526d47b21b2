// The base class of a screen-saver view. The host creates one per display (and a small preview),
// attaches it to a window, starts and stops its animation, calls animateOneFrame at the
// animation interval and drawRect after each frame that asked for display.
#pragma once

#include <memory>

#include "host/controls.h"
#include "host/geometry.h"
#include "host/services.h"

namespace host {

class ScreenSaverView : public std::enable_shared_from_this<ScreenSaverView> {
public:
    ScreenSaverView() = default;
    virtual ~ScreenSaverView() = default;
    ScreenSaverView(const ScreenSaverView&) = delete;
    ScreenSaverView& operator=(const ScreenSaverView&) = delete;

    /// The base initialiser: false when the frame is unusable (not finite, or a negative size).
    bool initWithFrame(const CGRect& frame, bool isPreview);

    virtual void startAnimation();
    virtual void stopAnimation();
    bool isAnimating() const { return animating_; }
    void setAnimationTimeInterval(double seconds) { animationTimeInterval_ = seconds; }
    double animationTimeInterval() const { return animationTimeInterval_; }
    bool isPreview() const { return preview_; }

    virtual void animateOneFrame() {}
    virtual void drawRect(const CGRect& /*dirtyRect*/) {}
    virtual bool isOpaque() const { return false; }

    CGRect frame() const { return frame_; }
    /// The view's own rectangle: origin zero, the frame's size.
    CGRect bounds() const { return {{0, 0}, frame_.size}; }
    virtual void setFrameSize(const CGSize& size);
    void setFrameOrigin(const CGPoint& origin) { frame_.origin = origin; }
    /// The window's insets, or zero without a window.
    NSEdgeInsets safeAreaInsets() const;

    Window* window() const { return window_.get(); }
    virtual void viewDidMoveToWindow() {}
    virtual void viewDidChangeBackingProperties() {}

    void setNeedsDisplay(bool flag) { needsDisplay_ = flag; }
    bool needsDisplay() const { return needsDisplay_; }

    virtual bool hasConfigureSheet() const { return false; }
    virtual std::shared_ptr<SheetWindow> configureSheet() { return nullptr; }

    // --- Called by the host only. ---
    /// Puts the view into a window (or none); the host then calls viewDidMoveToWindow.
    void hostAttachWindow(std::shared_ptr<Window> window) { window_ = std::move(window); }

private:
    CGRect frame_{};
    bool preview_ = false;
    bool animating_ = false;
    bool needsDisplay_ = false;
    double animationTimeInterval_ = 1.0 / 30.0;
    std::shared_ptr<Window> window_;
};

}  // namespace host
