// Sub-pixel placement of bitmaps. A bitmap drawn pixel for pixel can only land on whole device
// pixels; to follow a position that moves by fractions of a pixel, the bitmap is kept shifted
// by a few fixed fractions (phases), like the sub-pixel positions of a glyph cache, and the copy
// whose phase is nearest the fraction is blitted at the whole pixel below the position.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/qt/pixel_kernels.h"

namespace qtbackend {

/// Phases per pixel on each axis, at most: a bitmap lands within 1/(2·kSubpixelPhases) of a pixel
/// of its exact position.
inline constexpr int kSubpixelPhases = 8;

/// All phases of a bitmap are kept in about this many bytes: a large bitmap gets fewer phases
/// (a quarter of a pixel on a display four thousand pixels wide is as fine as an eighth on one
/// of two thousand), so four 4K displays do not hold hundreds of megabytes of copies.
inline constexpr int64_t kSubpixelPhaseBytes = 16 << 20;

/// The phases per pixel (8, 4, 2 or 1) for a bitmap of `pixelCount` 32-bit pixels.
int subpixelPhasesFor(int64_t pixelCount);

/// A position on one axis split into the whole pixel and the nearest of `phases` phases per
/// pixel, counted in steps of 1/kSubpixelPhases: position ≈ pixel + phase / kSubpixelPhases.
struct SubpixelPosition {
    int pixel = 0;
    int phase = 0;
};
SubpixelPosition splitSubpixel(double position, int phases = kSubpixelPhases);

/// Writes `source` (premultiplied pixels) moved right by phaseX / kSubpixelPhases and down by
/// phaseY / kSubpixelPhases of a pixel, with bilinear weights, into the first (width + 1) ×
/// (height + 1) pixels of `target`; nothing when `target` cannot hold them or a phase is not one
/// of 0 … kSubpixelPhases − 1. Every channel is the same weighted mean of four premultiplied
/// pixels, so the result stays premultiplied and its centre of brightness moves by exactly the
/// phase (up to rounding to 8 bits).
void shiftBySubpixelPhase(const ConstPixelBuffer& source, int phaseX, int phaseY, const PixelBuffer& target);

/// Scales an 8-bit alpha image of `sourceWidth` × `sourceHeight` up by (scaleX, scaleY) with
/// bilinear weights (pixel centres mapped onto pixel centres, transparent outside) into `target`
/// of `targetWidth` × `targetHeight`, its picture moved right and down by (offsetX, offsetY)
/// target pixels.
void upscaleAlphaBilinear(const uint8_t* source, int sourceWidth, int sourceHeight, double scaleX, double scaleY,
                          double offsetX, double offsetY, uint8_t* target, int targetWidth, int targetHeight);

}  // namespace qtbackend
