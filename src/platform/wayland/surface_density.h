// The size of a surface's buffers at its density. Plain arithmetic, so that a wrong buffer size
// is caught without a compositor that offers fractional scales.
#pragma once

#include <cstdint>

namespace waylandbackend {

/// Largest side, in logical units or buffer pixels, a surface is given.
inline constexpr int32_t kMaxSurfaceSide = 16384;
/// Fractional scales are told in 120ths.
inline constexpr uint32_t kScaleDenominator = 120;

struct BufferGeometry {
    int32_t width = 0, height = 0;  ///< the buffer, pixels
    int32_t bufferScale = 1;        ///< wl_surface.set_buffer_scale
    bool viewport = false;          ///< the buffer is shown at the logical size through wp_viewport
    double devicePixelRatio = 1;    ///< buffer pixels per logical unit, for drawing

    bool operator==(const BufferGeometry&) const = default;
};

/// One side of a buffer at a fractional scale: the logical length times scale/120, rounded half
/// away from zero, as the fractional-scale protocol has it.
constexpr int32_t fractionalLength(int32_t logical, uint32_t scale120) {
    const int64_t product = static_cast<int64_t>(logical) * scale120;
    const int64_t half = kScaleDenominator / 2;
    return static_cast<int32_t>(product >= 0 ? (product + half) / kScaleDenominator
                                             : -((-product + half) / kScaleDenominator));
}

/// The buffer for a surface of `width` × `height` logical units: at the preferred fractional
/// scale (`scale120`, 0 when none was told) where a viewport can show it at the logical size,
/// else at the output's integer scale. Width 0 when the size is unusable: a side not from 1 to
/// kMaxSurfaceSide, in logical units or in pixels, or a scale below 1.
constexpr BufferGeometry bufferGeometry(int32_t width, int32_t height, int32_t outputScale, uint32_t scale120,
                                        bool canViewport) {
    BufferGeometry g;
    if (width < 1 || height < 1 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return g;
    if (scale120 > 0 && canViewport) {
        g.width = fractionalLength(width, scale120);
        g.height = fractionalLength(height, scale120);
        g.viewport = true;
        g.devicePixelRatio = static_cast<double>(scale120) / kScaleDenominator;
    } else {
        const int32_t scale = outputScale >= 1 && outputScale <= 16 ? outputScale : 1;
        g.width = width * scale;
        g.height = height * scale;
        g.bufferScale = scale;
        g.devicePixelRatio = scale;
    }
    if (g.width < 1 || g.height < 1 || g.width > kMaxSurfaceSide || g.height > kMaxSurfaceSide) return {};
    return g;
}

}  // namespace waylandbackend
