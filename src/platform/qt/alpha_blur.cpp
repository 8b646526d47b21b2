#include "platform/qt/alpha_blur.h"

#include <cmath>

namespace qtbackend {

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

}  // namespace qtbackend
