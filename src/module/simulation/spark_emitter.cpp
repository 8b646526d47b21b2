// Bursts of sparks, appended to the view's fixed pool.
#include <cmath>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kMinSparkSpeed = 2;       // points per frame
constexpr double kSparkSpeedRange = 6;     // up to 8
constexpr double kMinLifeFrames = 10;      // frames until the lifetime of 1 runs out
constexpr double kLifeFramesRange = 15;    // up to 25
constexpr double kMinSparkRadius = 1;      // points
constexpr double kSparkRadiusRange = 2;    // up to 3
constexpr double kSparkHueRange = 0.17;    // red through yellow on the 0-to-1 hue circle

}  // namespace

void Tavrin_ScreenSaverView::spawnSparksAtPoint(CGPoint point, int64_t count, double angleCenter,
                                                double angleSpread) {
    if (count <= 0) return;
    for (int64_t made = 0; made < count; ++made) {
        if (activeParticleCount >= kParticleCapacity) return;  // a full pool drops the rest
        Particle& spark = particles[activeParticleCount];
        spark.position = point;
        // Draw order per spark: direction (only for a real fan), speed, decay, size, hue.
        const double theta =
            angleSpread > 0 ? angleCenter - angleSpread + 2 * angleSpread * randomUnit() : angleCenter - angleSpread;
        const double speed = kMinSparkSpeed + kSparkSpeedRange * randomUnit();
        spark.velocity = {speed * std::cos(theta), speed * std::sin(theta)};
        spark.lifetime = 1;
        spark.decay = 1 / (kMinLifeFrames + kLifeFramesRange * randomUnit());
        spark.size = kMinSparkRadius + kSparkRadiusRange * randomUnit();
        spark.hue = kSparkHueRange * randomUnit();
        ++activeParticleCount;
    }
}

}  // namespace tavrin
