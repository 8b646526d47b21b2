// The neon glow under a sprite: a shadow with no offset whose blur, hue, brightness and alpha
// follow the glow size, the collision flash and the colour drift.
#pragma once

namespace tavrin {

inline constexpr double kGlowBlurCap = 60;       ///< points
inline constexpr double kGlowHue = 0.63;         ///< a violet blue
inline constexpr double kGlowHueDrift = 0.2;     ///< amplitude of the hue's swing with colour drift
inline constexpr double kGlowSaturation = 0.52;
inline constexpr double kGlowBrightness = 0.73;
inline constexpr double kGlowAlpha = 0.8;

struct GlowParameters {
    double blur = 0;  ///< shadow blur radius, points
    double hue = 0, saturation = 0, brightness = 0, alpha = 0;
};

/// The glow of one sprite. A flash (when enabled and the intensity is above 0) widens the blur
/// towards min(60, 4 × glowSize) and brightens the colour in proportion to the intensity.
GlowParameters glowParametersFor(double glowSize, double flashIntensity, bool collisionFlash, bool colorDrift,
                                 double colorDriftPhase);

}  // namespace tavrin
