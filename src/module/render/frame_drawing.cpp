// Drawing one frame: black background, starfield, each sprite with its trail and glow, then the
// sparks. The drawing only reads the scene; every bitmap comes from the sprite cache.
#include <algorithm>
#include <cmath>

#include "module/render/glow.h"
#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kStarTwinkleAmplitude = 0.4;
constexpr double kStarMinAlpha = 0.05;
constexpr double kStarMaxAlpha = 1.0;
constexpr double kTrailAlphaScale = 0.25;
constexpr double kTrailAlphaCutoff = 0.01;

/// Alpha of a star: its base brightness moved by the twinkle, kept within [0.05, 1].
double starAlpha(const Star& star) {
    double alpha = star.brightness + kStarTwinkleAmplitude * std::sin(star.twinklePhase);
    alpha = std::min(alpha, kStarMaxAlpha);
    alpha = std::max(alpha, kStarMinAlpha);
    return alpha;
}

CGRect discRect(CGPoint center, double radius) {
    return host::NSMakeRect(center.x - radius, center.y - radius, 2 * radius, 2 * radius);
}

/// Places the image's box at `corner`, turned by `radians` about the box's centre: translate to
/// the centre, rotate, translate back by half the size. Drawing then happens at the origin.
void transformToBox(host::GraphicsContext& ctx, CGPoint corner, CGSize size, double radians) {
    ctx.translateCTM(size.width / 2 + corner.x, size.height / 2 + corner.y);
    ctx.rotateCTM(radians);
    ctx.translateCTM(-size.width / 2, -size.height / 2);
}

}  // namespace

GlowParameters glowParametersFor(double glowSize, double flashIntensity, bool collisionFlash, bool colorDrift,
                                 double colorDriftPhase) {
    GlowParameters glow;
    const bool flashing = collisionFlash && flashIntensity > 0;
    double blur = glowSize;
    if (flashing) blur = blur + (std::min(kGlowBlurCap, 4 * blur) - blur) * flashIntensity;
    glow.blur = std::min(blur, kGlowBlurCap);

    glow.hue = kGlowHue;
    if (colorDrift) {
        glow.hue = kGlowHue + kGlowHueDrift * std::sin(colorDriftPhase);
        if (glow.hue < 0) glow.hue += 1;
        if (glow.hue > 1) glow.hue -= 1;
    }
    glow.saturation = kGlowSaturation;
    glow.brightness = kGlowBrightness;
    glow.alpha = kGlowAlpha;
    if (flashing) {
        glow.brightness = std::min(1.0, kGlowBrightness + 0.3 * flashIntensity);
        glow.alpha = std::min(1.0, kGlowAlpha + 0.2 * flashIntensity);
    }
    return glow;
}

void Tavrin_ScreenSaverView::drawRect(const CGRect&) {
    if (!host::currentContext()) return;

    // The whole bounds, whatever rectangle was asked for: the view is opaque.
    host::currentContext()->setFillColor(host::Color::blackColor());
    host::currentContext()->fillRect(bounds());

    if (enableStarfield && starCount >= 1) {
        host::GraphicsContext& ctx = *host::currentContext();
        const int64_t n = std::min<int64_t>(starCount, kStarCapacity);
        for (int64_t i = 0; i < n; ++i) {
            const Star& star = stars[i];
            ctx.setFillColor(host::Color::colorWithCalibratedWhite(1.0, starAlpha(star)));
            ctx.fillEllipseInRect(discRect(star.position, star.radius));
        }
    }

    for (int k = 0; k < kObjectCount; ++k) {
        const SceneObject& object = objects[k];
        const std::shared_ptr<Image> image = cachedImageForType(object.imageType, object.size);
        if (!image) continue;
        // Asked after the cache: a rebuild switches the current context and switches it back.
        host::GraphicsContext* ctx = host::currentContext();
        if (!ctx) return;
        const double w = object.size.width;
        const double h = object.size.height;
        const CGRect box = host::NSMakeRect(0, 0, w, h);

        const TrailHistory& trail = trails[k];
        if (enableFadeTrails && trail.count >= 2) {
            // Oldest first so newer ghosts lie over older ones; entry 0 is where the sprite stands.
            // Entries at or beyond trailLength come out at alpha 0 or below and are cut off.
            const int64_t newest = std::min<int64_t>(trail.count, kTrailCapacity) - 1;
            for (int64_t i = newest; i >= 1; --i) {
                const double alpha =
                    (1.0 - static_cast<double>(i) / static_cast<double>(trailLength)) * kTrailAlphaScale;
                if (!(alpha >= kTrailAlphaCutoff)) continue;
                ctx->saveGState();
                transformToBox(*ctx, trail.positions[i], object.size, trail.rotations[i]);
                ctx->drawImage(*image, box, host::CompositingOperation::SourceOver, alpha);
                ctx->restoreGState();
            }
        }

        ctx->saveGState();
        if (enableNeonGlow) {
            const GlowParameters glow = glowParametersFor(static_cast<double>(glowSize), object.flashIntensity,
                                                          enableCollisionFlash, enableColorDrift, colorDriftPhase);
            ctx->setShadow(host::NSZeroSize, glow.blur,
                           host::Color::colorWithCalibratedHue(glow.hue, glow.saturation, glow.brightness,
                                                               glow.alpha));
        }
        transformToBox(*ctx, object.position, object.size, object.rotation);
        ctx->drawImage(*image, box, host::CompositingOperation::SourceOver, 1.0);
        ctx->restoreGState();
    }

    if (enableCollisionSparks && activeParticleCount >= 1) {
        host::GraphicsContext& ctx = *host::currentContext();
        const int64_t n = std::min<int64_t>(activeParticleCount, kParticleCapacity);
        for (int64_t i = 0; i < n; ++i) {
            const Particle& spark = particles[i];
            ctx.setFillColor(host::Color::colorWithCalibratedHue(spark.hue, 1.0, 1.0, spark.lifetime));
            ctx.fillEllipseInRect(discRect(spark.position, spark.size));
        }
    }
}

}  // namespace tavrin
