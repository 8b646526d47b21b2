// One frame step of the scene.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

void Tavrin_ScreenSaverView::animateOneFrame() {}

}  // namespace tavrin
