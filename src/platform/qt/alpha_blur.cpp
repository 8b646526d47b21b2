#include "platform/qt/alpha_blur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qtbackend {
namespace {

constexpr int kBoxPasses = 3;

/// Radii of three box filters whose succession approximates a Gaussian of `sigma` (box widths
/// chosen as the two odd integers around the ideal width, mixed to match the variance).
void boxRadiiForGaussian(double sigma, int radii[kBoxPasses]) {
    const double variance12 = 12.0 * sigma * sigma;
    const double idealWidth = std::sqrt(variance12 / kBoxPasses + 1.0);
    int lower = static_cast<int>(std::floor(idealWidth));
    if (lower % 2 == 0) --lower;
    const int upper = lower + 2;
    const double idealLowerCount = (variance12 - kBoxPasses * lower * lower - 4.0 * kBoxPasses * lower -
                                    3.0 * kBoxPasses) / (-4.0 * lower - 4.0);
    const int lowerCount = static_cast<int>(std::lround(idealLowerCount));
    for (int i = 0; i < kBoxPasses; ++i) radii[i] = ((i < lowerCount ? lower : upper) - 1) / 2;
}

/// One box pass along a row of `n` values (outside counts as 0), from `in` to `out`.
void boxRow(const float* in, float* out, int n, int radius) {
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    float sum = 0;
    for (int i = 0; i <= radius && i < n; ++i) sum += in[i];
    for (int x = 0; x < n; ++x) {
        out[x] = sum * scale;
        if (x + radius + 1 < n) sum += in[x + radius + 1];
        if (x - radius >= 0) sum -= in[x - radius];
    }
}

/// One box pass down the columns of a `width` × `height` buffer, all columns at once so that
/// memory is read row by row.
void boxColumns(const float* in, float* out, int width, int height, int radius, std::vector<float>& sums) {
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    sums.assign(static_cast<size_t>(width), 0.0f);
    for (int y = 0; y <= radius && y < height; ++y) {
        const float* row = in + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) sums[x] += row[x];
    }
    for (int y = 0; y < height; ++y) {
        float* dst = out + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) dst[x] = sums[x] * scale;
        if (y + radius + 1 < height) {
            const float* add = in + static_cast<size_t>(y + radius + 1) * width;
            for (int x = 0; x < width; ++x) sums[x] += add[x];
        }
        if (y - radius >= 0) {
            const float* sub = in + static_cast<size_t>(y - radius) * width;
            for (int x = 0; x < width; ++x) sums[x] -= sub[x];
        }
    }
}

}  // namespace

SilhouetteGeometry silhouetteGeometry(int sourceWidth, int sourceHeight, double sigma) {
    if (!(sigma > 0)) sigma = 0;
    SilhouetteGeometry g;
    // Wide blurs lose nothing at a lower resolution: keep the blur at two to four pixels there.
    g.step = sigma >= 4 ? static_cast<int>(sigma / 2) : 1;
    int radii[kBoxPasses];
    boxRadiiForGaussian(sigma / g.step, radii);
    for (int i = 0; i < kBoxPasses; ++i) g.radii[i] = radii[i];
    // The boxes together reach exactly the sum of their radii; one more transparent pixel lets the
    // smooth upscaling fade to nothing at the border.
    g.padding = radii[0] + radii[1] + radii[2] + 1;
    g.width = (sourceWidth + g.step - 1) / g.step + 2 * g.padding;
    g.height = (sourceHeight + g.step - 1) / g.step + 2 * g.padding;
    return g;
}

void blurAlpha(const ConstPixelBuffer& source, const SilhouetteGeometry& g, uint8_t* alpha) {
    const int sw = source.width;
    const int sh = source.height;
    const size_t count = static_cast<size_t>(g.width) * static_cast<size_t>(g.height);

    std::vector<float> a(count, 0.0f);
    std::vector<float> b(count, 0.0f);
    // Downsample: each low-resolution pixel is the mean alpha of its step × step block (pixels
    // beyond the source's edge count as transparent).
    const float blockScale = 1.0f / static_cast<float>(g.step * g.step);
    for (int y = 0; y < sh; ++y) {
        const uint32_t* row = source.row(y);
        float* dst = a.data() + static_cast<size_t>(y / g.step + g.padding) * g.width + g.padding;
        if (g.step == 1) {
            for (int x = 0; x < sw; ++x) dst[x] = static_cast<float>(row[x] >> 24);
        } else {
            for (int x = 0; x < sw; ++x) dst[x / g.step] += static_cast<float>(row[x] >> 24) * blockScale;
        }
    }

    std::vector<float> sums;
    for (int pass = 0; pass < kBoxPasses; ++pass) {
        for (int y = 0; y < g.height; ++y) {
            const size_t offset = static_cast<size_t>(y) * g.width;
            boxRow(a.data() + offset, b.data() + offset, g.width, g.radii[pass]);
        }
        std::swap(a, b);
    }
    for (int pass = 0; pass < kBoxPasses; ++pass) {
        boxColumns(a.data(), b.data(), g.width, g.height, g.radii[pass], sums);
        std::swap(a, b);
    }

    for (size_t i = 0; i < count; ++i) alpha[i] = static_cast<uint8_t>(std::clamp(a[i] + 0.5f, 0.0f, 255.0f));
}

}  // namespace qtbackend
