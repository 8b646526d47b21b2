#include "platform/qt/pixel_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qtbackend {

namespace {

/// Rows at least this long bypass the caches when filled. Shorter ones, such as the pieces of a
/// frame that changed, would leave the processor's write-combining buffers with part-filled
/// lines, which cost far more than ordinary stores.
constexpr int kStreamedRowPixels = 1024;

/// The share of a pixel covered by a disc, estimated from the distance of the pixel's centre to
/// the disc's centre. Good from a radius of about one pixel.
inline double discCoverage(double radius, double dx, double dy) {
    return std::clamp(radius - std::sqrt(dx * dx + dy * dy) + 0.5, 0.0, 1.0);
}

/// Sets `count` pixels to one value, long rows past the caches where the processor allows
/// (finishStreamedStores orders them).
void fillRow(uint32_t* row, int count, uint32_t value) {
#if defined(__SSE2__)
    if (count < kStreamedRowPixels) {
        std::fill(row, row + count, value);
        return;
    }
    int i = 0;
    while (i < count && (reinterpret_cast<uintptr_t>(row + i) & 15) != 0) row[i++] = value;
    const __m128i four = _mm_set1_epi32(static_cast<int>(value));
    for (; i + 4 <= count; i += 4) _mm_stream_si128(reinterpret_cast<__m128i*>(row + i), four);
    for (; i < count; ++i) row[i] = value;
#else
    std::fill(row, row + count, value);
#endif
}

/// Orders the stores that bypassed the caches before whatever is drawn next.
void finishStreamedStores() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

/// The clip rectangles (in bands from the top) that can meet the rows `top` to `bottom` − 1.
std::span<const PixelRect> clipsAcross(std::span<const PixelRect> clips, int top, int bottom) {
    const auto first = std::lower_bound(clips.begin(), clips.end(), top,
                                        [](const PixelRect& r, int y) { return r.bottom() <= y; });
    const auto last = std::upper_bound(first, clips.end(), bottom, [](int y, const PixelRect& r) { return y <= r.y; });
    return {first, last};
}

}  // namespace

PixelRect intersected(const PixelRect& a, const PixelRect& b) {
    const int x = std::max(a.x, b.x), y = std::max(a.y, b.y);
    const int right = std::min(a.right(), b.right()), bottom = std::min(a.bottom(), b.bottom());
    if (right <= x || bottom <= y) return {};
    return {x, y, right - x, bottom - y};
}

void fillPixelRect(const PixelBuffer& target, const PixelRect& area, std::span<const PixelRect> clips, uint32_t value) {
    const PixelRect inside = intersected(area, target.rect());
    if (inside.isEmpty()) return;
    for (const PixelRect& clip : clipsAcross(clips, inside.y, inside.bottom())) {
        const PixelRect part = intersected(inside, clip);
        for (int y = part.y; y < part.bottom(); ++y) fillRow(target.row(y) + part.x, part.width, value);
    }
    finishStreamedStores();
}

void blendDisc(const PixelBuffer& target, double centreX, double centreY, double radius, uint32_t color,
               std::span<const PixelRect> clips) {
    if (!(radius > 0)) return;
    const double r = std::max(radius, 1.0);
    // The pixels the disc can reach, found in floating point so that a disc far off the buffer
    // (or at no number at all) is turned away before anything becomes an integer.
    const double reachLeft = std::floor(centreX - r - 0.5), reachRight = std::ceil(centreX + r + 0.5);
    const double reachTop = std::floor(centreY - r - 0.5), reachBottom = std::ceil(centreY + r + 0.5);
    if (!(reachRight >= 0 && reachLeft < target.width && reachBottom >= 0 && reachTop < target.height)) return;
    const int left = static_cast<int>(std::max(reachLeft, 0.0));
    const int right = static_cast<int>(std::min(reachRight, target.width - 1.0));
    const int top = static_cast<int>(std::max(reachTop, 0.0));
    const int bottom = static_cast<int>(std::min(reachBottom, target.height - 1.0));
    const PixelRect box{left, top, right - left + 1, bottom - top + 1};
    double weight = 1;
    if (radius < 1) {
        double total = 0;
        const int x0 = static_cast<int>(reachLeft);
        const int y0 = static_cast<int>(reachTop);
        for (int y = y0; y <= y0 + 3; ++y)
            for (int x = x0; x <= x0 + 3; ++x) total += discCoverage(r, x + 0.5 - centreX, y + 0.5 - centreY);
        weight = total > 0 ? M_PI * radius * radius / total : 0;
    }
    for (const PixelRect& clip : clipsAcross(clips, box.y, box.bottom())) {
        const PixelRect part = intersected(box, clip);
        for (int y = part.y; y < part.bottom(); ++y) {
            uint32_t* row = target.row(y);
            const double dy = y + 0.5 - centreY;
            for (int x = part.x; x < part.right(); ++x) {
                const double coverage = std::min(1.0, discCoverage(r, x + 0.5 - centreX, dy) * weight);
                const uint32_t a = static_cast<uint32_t>(coverage * 255 + 0.5);
                if (a == 0) continue;
                const uint32_t src = a == 255 ? color : byteMul(color, a);
                row[x] = src + byteMul(row[x], 255 - (src >> 24));
            }
        }
    }
}

void tintAlpha(const uint8_t* alpha, uint32_t color, const PixelBuffer& target) {
    const uint32_t ca = color >> 24, cr = (color >> 16) & 0xff, cg = (color >> 8) & 0xff, cb = color & 0xff;
    uint32_t lut[256];
    for (uint32_t v = 0; v < 256; ++v) {
        lut[v] = ((ca * v + 127) / 255) << 24 | ((cr * v + 127) / 255) << 16 | ((cg * v + 127) / 255) << 8 |
                 (cb * v + 127) / 255;
    }
    // The size in locals: a store through `out` could otherwise be taken to change it. Four
    // alphas are read at once; a table lookup per pixel gains nothing from vector registers.
    const int width = target.width, height = target.height;
    for (int y = 0; y < height; ++y) {
        uint32_t* out = target.row(y);
        const uint8_t* in = alpha + static_cast<size_t>(y) * width;
        int x = 0;
        for (; x + 4 <= width; x += 4) {
            uint32_t four;
            std::memcpy(&four, in + x, 4);
            out[x] = lut[four & 0xff];
            out[x + 1] = lut[(four >> 8) & 0xff];
            out[x + 2] = lut[(four >> 16) & 0xff];
            out[x + 3] = lut[four >> 24];
        }
        for (; x < width; ++x) out[x] = lut[in[x]];
    }
}

PixelRect opaquePixelBounds(const ConstPixelBuffer& pixels) {
    const int width = pixels.width, height = pixels.height;
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels.row(y);
        int first = 0;
        while (first < width && (row[first] >> 24) == 0) ++first;
        if (first == width) continue;
        int last = width - 1;
        while ((row[last] >> 24) == 0) --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (right < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

}  // namespace qtbackend
