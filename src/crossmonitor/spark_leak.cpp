// Sparks that cross to the neighbouring display.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

void Tavrin_ScreenSaverView::postSparkLeakToEdge(int64_t, double, int64_t, double, double) {}
void Tavrin_ScreenSaverView::handleSparkLeak(const Notification&) {}

}  // namespace tavrin
