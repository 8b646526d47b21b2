// The pixel loops of the Qt backend's drawing, over plain memory: fills, blended discs, tints,
// copies and the search for the opaque part of an image. Pixels are 32-bit premultiplied ARGB values, alpha
// in the top byte (QImage's ARGB32_Premultiplied and RGB32 in memory); pixel (x, y) covers the
// square [x, x + 1) × [y, y + 1). Every kernel keeps to its buffer, whatever it is asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qtbackend {

/// Whole pixels: columns x … x + width − 1, rows y … y + height − 1.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    int right() const { return x + width; }    ///< one past the last column
    int bottom() const { return y + height; }  ///< one past the last row
    bool operator==(const PixelRect&) const = default;
};
/// The pixels in both; empty when they do not meet.
PixelRect intersected(const PixelRect& a, const PixelRect& b);

/// Writable pixels, `stride` bytes from the start of one row to the next.
struct PixelBuffer {
    uint32_t* pixels = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0, height = 0;

    uint32_t* row(int y) const { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(pixels) + y * stride); }
    PixelRect rect() const { return {0, 0, width, height}; }
};

/// Pixels that are only read.
struct ConstPixelBuffer {
    const uint32_t* pixels = nullptr;
    std::ptrdiff_t stride = 0;
    int width = 0, height = 0;

    ConstPixelBuffer() = default;
    ConstPixelBuffer(const uint32_t* pixels, std::ptrdiff_t stride, int width, int height)
        : pixels(pixels), stride(stride), width(width), height(height) {}
    ConstPixelBuffer(const PixelBuffer& b) : pixels(b.pixels), stride(b.stride), width(b.width), height(b.height) {}
    const uint32_t* row(int y) const {
        return reinterpret_cast<const uint32_t*>(reinterpret_cast<const char*>(pixels) + y * stride);
    }
};

/// x × a / 255 on each of the four 8-bit channels of x, rounded.
inline uint32_t byteMul(uint32_t x, uint32_t a) {
    uint32_t t = (x & 0xff00ff) * a;
    t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
    t &= 0xff00ff;
    x = ((x >> 8) & 0xff00ff) * a;
    x = x + ((x >> 8) & 0xff00ff) + 0x800080;
    x &= 0xff00ff00;
    return x | t;
}

/// Sets every pixel of `area` that lies in one of `clips` to `value`, replacing what was there.
/// `clips` are disjoint and in bands from the top, as a region keeps its rectangles. A frame's
/// background is larger than the processor's caches, so long rows are stored past them, which
/// halves the memory traffic of the fill; the stores are complete when the call returns.
void fillPixelRect(const PixelBuffer& target, const PixelRect& area, std::span<const PixelRect> clips, uint32_t value);

/// Blends an antialiased disc of the premultiplied colour `color`, centred at (centreX, centreY)
/// with `radius` (all in pixels), over the pixels in `clips` (as for fillPixelRect). A disc of
/// less than a pixel's radius has no inside: it is spread like a disc of one pixel's radius, its
/// coverage scaled so that the light it adds equals its area. Meant for discs of a few pixels.
void blendDisc(const PixelBuffer& target, double centreX, double centreY, double radius, uint32_t color,
               std::span<const PixelRect> clips);

/// Paints an alpha map of target.width × target.height values (row after row, no gaps) in the
/// premultiplied colour `color`: each pixel becomes the colour scaled by its alpha / 255.
void tintAlpha(const uint8_t* alpha, uint32_t color, const PixelBuffer& target);

/// The smallest rectangle holding every pixel whose alpha is not 0; empty when there is none.
PixelRect opaquePixelBounds(const ConstPixelBuffer& pixels);

}  // namespace qtbackend
