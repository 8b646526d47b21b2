// Layout of the scene for the view's size.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

double Tavrin_ScreenSaverView::effectiveMaxY() const { return bounds().size.height - safeAreaInsets().top; }
void Tavrin_ScreenSaverView::clampObjectToBounds(SceneObject*) {}
void Tavrin_ScreenSaverView::layoutIfNeeded() {}
void Tavrin_ScreenSaverView::layoutFromScratch() {}
void Tavrin_ScreenSaverView::rescaleLayout() {}

}  // namespace tavrin
