// Which display adjoins each side of the view's display.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

void Tavrin_ScreenSaverView::computeEdgeNeighbors() {}

}  // namespace tavrin
