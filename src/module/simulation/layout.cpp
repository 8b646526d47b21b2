// Layout of the scene for the view's size: sprite sizes, a random start, the starfield, the usable
// area, and rescaling of a running scene when the view changes size. Every length is a fraction of
// the view's width or height, so the scene looks the same on any display.
#include <algorithm>
#include <cmath>

#include "module/simulation/sprite_geometry.h"
#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kMinSpeedFraction = 0.00052;  // of the width, points per frame
constexpr double kMaxSpeedFraction = 0.0013;
constexpr double kMaxSpin = 0.05;  // radians per frame
constexpr double kMinSpin = 0.02;  // a slower wheel would look stuck
constexpr double kResizeTolerance = 0.5;  // points; smaller changes keep the layout as it is
constexpr double kSmallestLaidOutSide = 1.0;

}  // namespace

double Tavrin_ScreenSaverView::effectiveMaxY() const { return bounds().size.height - safeAreaInsets().top; }

void Tavrin_ScreenSaverView::clampObjectToBounds(SceneObject* object) {
    const double maxX = std::max(0.0, bounds().size.width - object->size.width);
    const double maxY = std::max(0.0, effectiveMaxY() - object->size.height);
    // Upper limit first, then the lower one: a sprite bigger than the area ends at 0.
    object->position.x = std::max(std::min(object->position.x, maxX), 0.0);
    object->position.y = std::max(std::min(object->position.y, maxY), 0.0);
}

void Tavrin_ScreenSaverView::layoutIfNeeded() {
    const CGSize size = bounds().size;
    if (size.width < kSmallestLaidOutSide || size.height < kSmallestLaidOutSide) return;
    if (!layoutValid) {
        layoutFromScratch();
    } else if (std::fabs(size.width - layoutSize.width) > kResizeTolerance ||
               std::fabs(size.height - layoutSize.height) > kResizeTolerance) {
        rescaleLayout();
    }
    if (!isPreviewMode && !edgeNeighborsValid) computeEdgeNeighbors();
}

void Tavrin_ScreenSaverView::layoutFromScratch() {
    const double W = bounds().size.width;
    const double H = bounds().size.height;
    const double lowestSpeed = kMinSpeedFraction * W;
    const double highestSpeed = kMaxSpeedFraction * W;

    // Draw order matters for reproducible runs: x, y, speed, angle, spin; logo before wheel.
    for (int i = 0; i < kObjectCount; ++i) {
        SceneObject& object = objects[i];
        object.size = spriteSizeForType(object.imageType, W);
        const double x = randomInRange(0, W - object.size.width);
        const double y = randomInRange(0, effectiveMaxY() - object.size.height);
        object.position = {x, y};
        clampObjectToBounds(&object);

        const double speed = randomInRange(lowestSpeed, highestSpeed);
        const double angle = randomInRange(0, kTwoPi);
        object.velocity = {speed * std::cos(angle), speed * std::sin(angle)};

        if (object.imageType == ImageTypeWheel) {
            double spin = randomInRange(-kMaxSpin, kMaxSpin);
            if (std::fabs(spin) < kMinSpin) spin = spin < 0 ? -kMinSpin : kMinSpin;
            object.rotationSpeed = spin;
        }
        trails[i].count = 0;
    }

    // All stars, not just the shown ones, so raising the star count later finds them in place.
    // They cover the full height, also behind a top inset.
    for (Star& star : stars) {
        const double x = randomInRange(0, W);
        const double y = randomInRange(0, H);
        star.position = {x, y};
    }

    layoutSize = {W, H};
    layoutValid = true;
}

void Tavrin_ScreenSaverView::rescaleLayout() {
    const double W = bounds().size.width;
    const double H = bounds().size.height;
    const double sx = W / layoutSize.width;
    const double sy = H / layoutSize.height;

    for (int i = 0; i < kObjectCount; ++i) {
        SceneObject& object = objects[i];
        object.size = spriteSizeForType(object.imageType, W);
        object.position = {object.position.x * sx, object.position.y * sy};
        object.velocity = {object.velocity.x * sx, object.velocity.y * sy};
        clampObjectToBounds(&object);
        trails[i].count = 0;  // old trail positions belong to the old scale
    }
    invalidateImageCache();

    for (Star& star : stars) star.position = {star.position.x * sx, star.position.y * sy};
    for (int64_t i = 0; i < activeParticleCount; ++i)
        particles[i].position = {particles[i].position.x * sx, particles[i].position.y * sy};

    layoutSize = {W, H};
    // A new size may mean a new display: find the neighbours again.
    edgeNeighborsValid = false;
}

}  // namespace tavrin
