// Collision between the two sprites.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

bool circleBoxContact(bool, CGPoint*, double*, CGPoint*, Collider, CGRect) { return false; }

void Tavrin_ScreenSaverView::resolveCollisionBetween(int64_t, int64_t) {}

}  // namespace tavrin
