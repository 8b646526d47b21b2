#include "host/screen_saver_view.h"

#include <cmath>

namespace host {

bool ScreenSaverView::initWithFrame(const CGRect& frame, bool isPreview) {
    const bool finite = std::isfinite(frame.origin.x) && std::isfinite(frame.origin.y) &&
                        std::isfinite(frame.size.width) && std::isfinite(frame.size.height);
    if (!finite || frame.size.width < 0 || frame.size.height < 0) return false;
    frame_ = frame;
    preview_ = isPreview;
    return true;
}

void ScreenSaverView::startAnimation() { animating_ = true; }

void ScreenSaverView::stopAnimation() { animating_ = false; }

void ScreenSaverView::setFrameSize(const CGSize& size) {
    // A size the window system cannot mean (negative or not finite) is taken as empty.
    const bool usable = std::isfinite(size.width) && std::isfinite(size.height);
    frame_.size = {usable ? std::max(size.width, 0.0) : 0.0, usable ? std::max(size.height, 0.0) : 0.0};
}

NSEdgeInsets ScreenSaverView::safeAreaInsets() const {
    return window_ ? window_->safeAreaInsets() : NSEdgeInsets{};
}

}  // namespace host
