// Bitmaps of the two sprites at their current size and pixel density. Each image type has one
// slot; the source image is rendered again only when the size or the density changes or after the
// cache was emptied.
#include <cmath>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kSizeTolerance = 0.5;      ///< points; a smaller change reuses the bitmap
constexpr double kDensityTolerance = 0.01;  ///< pixels per point
/// Pixel counts beyond this are refused before they reach the host (an absurd size would
/// otherwise overflow the conversion to an integer).
constexpr double kMaxPixelSide = 1 << 30;

struct Slot {
    std::shared_ptr<Image>* source;
    std::shared_ptr<Image>* cache;
    CGSize* cacheSize;
    std::shared_ptr<Image>* otherCache;
    CGSize* otherCacheSize;
};

}  // namespace

std::shared_ptr<Image> Tavrin_ScreenSaverView::cachedImageForType(int64_t type, CGSize size) {
    const Slot slot = type == ImageTypeLogo
                          ? Slot{&tavrinImage, &tavrinCache, &tavrinCacheSize, &wheelCache, &wheelCacheSize}
                          : Slot{&wheelImage, &wheelCache, &wheelCacheSize, &tavrinCache, &tavrinCacheSize};
    const std::shared_ptr<Image>& source = *slot.source;
    if (!source) return nullptr;
    const double w = size.width;
    const double h = size.height;
    // Written so that a size that is not a number counts as too small as well.
    if (!(w >= 1) || !(h >= 1)) return nullptr;

    double scale = window() ? window()->backingScaleFactor() : 0.0;
    if (!(scale >= 1)) scale = 1;

    if (*slot.cache && std::fabs(slot.cacheSize->width - w) < kSizeTolerance &&
        std::fabs(slot.cacheSize->height - h) < kSizeTolerance &&
        std::fabs(cacheBackingScale - scale) < kDensityTolerance) {
        return *slot.cache;
    }

    const double pixelsWide = std::ceil(w * scale);
    const double pixelsHigh = std::ceil(h * scale);
    if (!(pixelsWide <= kMaxPixelSide) || !(pixelsHigh <= kMaxPixelSide)) return source;

    host::Graphics& graphics = *host::currentHost().graphics;
    std::shared_ptr<host::BitmapImageRep> bitmap =
        graphics.createBitmap(static_cast<int64_t>(pixelsWide), static_cast<int64_t>(pixelsHigh));
    if (!bitmap) return source;
    bitmap->setSize(size);
    {
        // The context must be finished with before the bitmap is drawn anywhere else.
        std::unique_ptr<host::GraphicsContext> context = graphics.contextForBitmap(*bitmap);
        if (!context) return source;
        const host::CurrentContextScope drawingIntoTheBitmap(context.get());
        host::currentContext()->drawImage(*source, host::NSMakeRect(0, 0, w, h),
                                          host::CompositingOperation::SourceOver, 1.0);
    }

    // The bitmap is the cached image: it carries its size in points, so it draws at the sprite's
    // size whatever its pixel count.
    *slot.cache = std::move(bitmap);
    *slot.cacheSize = size;
    // Both slots share one density record. When it moves on, the other slot's bitmap was made for
    // the old density and would otherwise pass for current: it is emptied and made again when
    // next asked for.
    if (!(std::fabs(cacheBackingScale - scale) < kDensityTolerance)) {
        slot.otherCache->reset();
        *slot.otherCacheSize = host::NSZeroSize;
    }
    cacheBackingScale = scale;
    return *slot.cache;
}

void Tavrin_ScreenSaverView::invalidateImageCache() {
    tavrinCache.reset();
    wheelCache.reset();
    tavrinCacheSize = host::NSZeroSize;
    wheelCacheSize = host::NSZeroSize;
}

void Tavrin_ScreenSaverView::viewDidChangeBackingProperties() {
    ScreenSaverView::viewDidChangeBackingProperties();
    invalidateImageCache();
}

}  // namespace tavrin
