// Bitmaps of the two sprites at their current size and pixel density.
#include "view/tavrin_screensaver_view.h"

namespace tavrin {

std::shared_ptr<Image> Tavrin_ScreenSaverView::cachedImageForType(int64_t, CGSize) { return nullptr; }
void Tavrin_ScreenSaverView::invalidateImageCache() {}
void Tavrin_ScreenSaverView::viewDidChangeBackingProperties() { ScreenSaverView::viewDidChangeBackingProperties(); }

}  // namespace tavrin
