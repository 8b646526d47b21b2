// Drawing one frame.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

void Tavrin_ScreenSaverView::drawRect(const CGRect&) {
    host::GraphicsContext* ctx = host::currentContext();
    if (!ctx) return;
    ctx->setFillColor(host::Color::blackColor());
    ctx->fillRect(bounds());
}

}  // namespace tavrin
