// Bursts of sparks.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

void Tavrin_ScreenSaverView::spawnSparksAtPoint(CGPoint, int64_t, double, double) {}

}  // namespace tavrin
