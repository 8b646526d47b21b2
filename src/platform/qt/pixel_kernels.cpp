#include "platform/qt/pixel_kernels.h"

#include <algorithm>
#include <cmath>
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

}  // namespace

/// Blends an antialiased disc of a premultiplied colour over 32-bit premultiplied pixels, inside
/// `clip` (device pixels). A disc of less than a pixel's radius has no inside: it is spread like
/// a disc of one pixel's radius, its coverage scaled so that the total equals its area.
void blendSmallDisc(uchar* bits, qsizetype bytesPerLine, const QRect& clip, QPointF centre, double radius,
                    QRgb color) {
    const double r = std::max(radius, 1.0);
    const int left = std::max(clip.left(), static_cast<int>(std::floor(centre.x() - r - 0.5)));
    const int right = std::min(clip.right(), static_cast<int>(std::ceil(centre.x() + r + 0.5)));
    const int top = std::max(clip.top(), static_cast<int>(std::floor(centre.y() - r - 0.5)));
    const int bottom = std::min(clip.bottom(), static_cast<int>(std::ceil(centre.y() + r + 0.5)));
    double weight = 1;
    if (radius < 1) {
        double total = 0;
        const int x0 = static_cast<int>(std::floor(centre.x() - r - 0.5));
        const int y0 = static_cast<int>(std::floor(centre.y() - r - 0.5));
        for (int y = y0; y <= y0 + 3; ++y)
            for (int x = x0; x <= x0 + 3; ++x) total += discCoverage(r, x + 0.5 - centre.x(), y + 0.5 - centre.y());
        weight = total > 0 ? M_PI * radius * radius / total : 0;
    }
    for (int y = top; y <= bottom; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(bits + y * bytesPerLine);
        const double dy = y + 0.5 - centre.y();
        for (int x = left; x <= right; ++x) {
            const double coverage = std::min(1.0, discCoverage(r, x + 0.5 - centre.x(), dy) * weight);
            const uint a = static_cast<uint>(coverage * 255 + 0.5);
            if (a == 0) continue;
            const uint src = a == 255 ? color : byteMul(color, a);
            row[x] = src + byteMul(row[x], 255 - qAlpha(src));
        }
    }
}

/// Sets `count` pixels to one value. A frame's background is larger than the caches, so the stores
/// of long rows bypass them where the processor allows, which halves the memory traffic of the fill.
void fillPixels(QRgb* row, int count, QRgb value) {
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

/// Orders the bypassing stores of fillPixels before whatever is drawn next.
void finishPixelFill() {
#if defined(__SSE2__)
    _mm_sfence();
#endif
}

}  // namespace qtbackend
