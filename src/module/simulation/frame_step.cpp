// One frame step of the scene: visibility and diagnostics, the two sprites with their trails,
// curve, spin and wall bounces, their collision, the stars, the colour drift and the sparks.
// Everything is per frame (no time delta) and works in place on the view's fixed arrays.
#include <algorithm>
#include <cmath>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr uint64_t kLogEveryFrames = 150;
constexpr double kCurveMinSpeed = 0.0001;  // points per frame; slower wheels do not curve
constexpr double kCurveGain = 0.05;        // turn per frame as a share of the spin
constexpr double kCurveMinViewSide = 1;    // points
constexpr double kFlashDecay = 0.9;
constexpr double kFlashCutoff = 0.01;
constexpr int64_t kWallSparkCount = 10;
constexpr int64_t kLeakSparkCount = 10;
constexpr double kWallSparkSpread = kPi / 2;
constexpr double kColorDriftStep = 0.03;  // radians per frame
constexpr double kSparkDamping = 0.96;

/// What one frame knows about the view: read once, used by both sprites.
struct FrameBounds {
    double width;
    double height;
    double topLimit;  ///< highest y a sprite's top edge may reach
};

/// A wall bounce: where the local burst starts and where it heads (back into the view), and the
/// side and heading of the burst that may continue on the neighbouring display (out of the view).
struct WallHit {
    int64_t edge;
    CGPoint sparkPoint;
    double sparkAngle;
    double contact;  ///< position along the wall, view points
    double leakAngle;
};

void recordTrail(TrailHistory& trail, const SceneObject& object, int64_t trailLength) {
    const int64_t length = std::min<int64_t>(trailLength, kTrailCapacity);
    for (int64_t i = length - 1; i >= 1; --i) {
        trail.positions[i] = trail.positions[i - 1];
        trail.rotations[i] = trail.rotations[i - 1];
    }
    trail.positions[0] = object.position;
    trail.rotations[0] = object.rotation;
    if (trail.count < length) ++trail.count;
}

/// Turns the wheel's heading in the direction of its spin, keeping its speed. The turn is limited
/// so that a fast spin cannot make the wheel circle on the spot in a small view.
void curveFlight(SceneObject& wheel, const FrameBounds& frame) {
    const double speed = std::hypot(wheel.velocity.x, wheel.velocity.y);
    if (!(speed > kCurveMinSpeed)) return;
    const double smallerSide = std::min(frame.width, frame.height);
    const double limit = smallerSide > kCurveMinViewSide ? speed / smallerSide : 0;
    double angle = wheel.rotationSpeed * kCurveGain;
    angle = std::min(angle, limit);
    angle = std::max(angle, -limit);
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const CGPoint v = wheel.velocity;
    wheel.velocity = {v.x * c - v.y * s, v.x * s + v.y * c};
}

void emitWallSparks(Tavrin_ScreenSaverView& view, const WallHit& hit) {
    if (!view.enableCollisionSparks) return;
    view.spawnSparksAtPoint(hit.sparkPoint, kWallSparkCount, hit.sparkAngle, kWallSparkSpread);
    if (!view.enableCrossMonitorSparks) return;
    const EdgeNeighbor& neighbor = view.edgeNeighbors[hit.edge];
    if (!neighbor.hasNeighbor) return;
    // The contact in view points is compared with the shared stretch measured from the display's
    // lower-left corner: the view covers its display from that corner.
    if (hit.contact < neighbor.overlapMin || hit.contact > neighbor.overlapMax) return;
    const double fraction = (hit.contact - neighbor.overlapMin) / (neighbor.overlapMax - neighbor.overlapMin);
    view.postSparkLeakToEdge(hit.edge, fraction, kLeakSparkCount, hit.leakAngle, kWallSparkSpread);
}

void stepSprite(Tavrin_ScreenSaverView& view, int index, const FrameBounds& frame) {
    SceneObject& object = view.objects[index];
    const bool isWheel = object.imageType == ImageTypeWheel;
    const double w = object.size.width;
    const double h = object.size.height;

    if (view.enableFadeTrails) recordTrail(view.trails[index], object, view.trailLength);
    if (view.enableBallCurve && isWheel) curveFlight(object, frame);

    object.position.x += object.velocity.x;
    object.position.y += object.velocity.y;
    if (isWheel) object.rotation += object.rotationSpeed;
    if (object.collisionCooldown > 0) --object.collisionCooldown;
    object.flashIntensity = object.flashIntensity > kFlashCutoff ? object.flashIntensity * kFlashDecay : 0;

    bool bounced = false;
    // The vertical walls' contact point uses x as moved, before the horizontal clamp.
    const double movedX = object.position.x;

    const double maxX = std::max(frame.width - w, 0.0);
    const double cy = object.position.y + h / 2;
    if (maxX == 0) {
        // No room to fly sideways: pinned, not a bounce.
        object.position.x = 0;
        object.velocity.x = 0;
    } else if (object.position.x < 0) {
        object.position.x = 0;
        object.velocity.x = -object.velocity.x;
        bounced = true;
        emitWallSparks(view, {EdgeLeft, {0, cy}, 0, cy, kPi});
    } else if (object.position.x > maxX) {
        object.position.x = maxX;
        object.velocity.x = -object.velocity.x;
        bounced = true;
        emitWallSparks(view, {EdgeRight, {frame.width, cy}, kPi, cy, 0});
    }

    const double maxY = std::max(frame.topLimit - h, 0.0);
    const double cx = movedX + w / 2;
    if (maxY == 0) {
        object.position.y = 0;
        object.velocity.y = 0;
    } else if (object.position.y < 0) {
        object.position.y = 0;
        object.velocity.y = -object.velocity.y;
        bounced = true;
        emitWallSparks(view, {EdgeBottom, {cx, 0}, kPi / 2, cx, -kPi / 2});
    } else if (object.position.y > maxY) {
        object.position.y = maxY;
        object.velocity.y = -object.velocity.y;
        bounced = true;
        emitWallSparks(view, {EdgeTop, {cx, frame.topLimit}, -kPi / 2, cx, kPi / 2});
    }

    // A corner hit reverses the spin once, not twice.
    if (isWheel && bounced) object.rotationSpeed = -object.rotationSpeed;
}

void stepStars(Tavrin_ScreenSaverView& view, const FrameBounds& frame) {
    const int64_t shown = std::clamp<int64_t>(view.starCount, 0, kStarCapacity);
    for (int64_t i = 0; i < shown; ++i) {
        Star& star = view.stars[i];
        star.position.x += star.velocity.x;
        star.position.y += star.velocity.y;
        star.twinklePhase += star.twinkleSpeed;
        // Wrap over the full bounds; a star exactly on an edge stays there.
        if (star.position.x < 0) star.position.x += frame.width;
        if (star.position.x > frame.width) star.position.x -= frame.width;
        if (star.position.y < 0) star.position.y += frame.height;
        if (star.position.y > frame.height) star.position.y -= frame.height;
    }
}

void ageSparks(Tavrin_ScreenSaverView& view) {
    // Walking from the end, the record moved into a freed slot has already been aged this frame.
    for (int64_t i = view.activeParticleCount - 1; i >= 0; --i) {
        Particle& spark = view.particles[i];
        spark.position.x += spark.velocity.x;
        spark.position.y += spark.velocity.y;
        spark.velocity.x *= kSparkDamping;
        spark.velocity.y *= kSparkDamping;
        spark.lifetime -= spark.decay;
        if (spark.lifetime <= 0) {
            spark = view.particles[view.activeParticleCount - 1];
            --view.activeParticleCount;
        }
    }
}

}  // namespace

void Tavrin_ScreenSaverView::animateOneFrame() {
    const bool onScreen = isActuallyOnScreen();
    if (onScreen != wasOnScreenLastFrame || frameCounter % kLogEveryFrames == 0) {
        logAnimationState(onScreen);
        wasOnScreenLastFrame = onScreen;
    }
    ++frameCounter;
    if (!onScreen) {
        // Nothing moves while hidden, and the last drawn frame stays.
        scheduleIdleTerminationCheck();
        return;
    }
    hasRenderedVisibleFrame = true;
    cancelIdleTerminationCheck();

    if (!layoutValid) {
        layoutIfNeeded();
        if (!layoutValid) return;  // no usable size yet
    }

    const CGRect b = bounds();
    const FrameBounds frame{b.size.width, b.size.height, effectiveMaxY()};
    for (int i = 0; i < kObjectCount; ++i) stepSprite(*this, i, frame);

    resolveCollisionBetween(0, 1);

    if (enableStarfield) stepStars(*this, frame);
    if (enableColorDrift) {
        colorDriftPhase += kColorDriftStep;
        if (colorDriftPhase > kTwoPi) colorDriftPhase -= kTwoPi;
    }
    ageSparks(*this);
    setNeedsDisplay(true);
}

}  // namespace tavrin
