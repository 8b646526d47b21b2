#include "platform/qt/subpixel_shift.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qtbackend {

int subpixelPhasesFor(int64_t pixelCount) {
    int phases = kSubpixelPhases;
    while (phases > 1 && static_cast<int64_t>(phases) * phases * pixelCount * 4 > kSubpixelPhaseBytes) phases /= 2;
    return phases;
}

SubpixelPosition splitSubpixel(double position, int phases) {
    if (!(std::fabs(position) < 1e9) || phases < 1) return {};  // far off any device, or not a number
    const double steps = std::round(position * phases);
    const double pixel = std::floor(steps / phases);
    return {static_cast<int>(pixel), static_cast<int>(steps - pixel * phases) * (kSubpixelPhases / phases)};
}

namespace {

constexpr int kWeightShift = 6;  // the four weights add up to kSubpixelPhases² = 64
static_assert(kSubpixelPhases * kSubpixelPhases == 1 << kWeightShift);

/// Σ weight × channel over four pixels, per 8-bit channel, with the two channel pairs of a pixel
/// worked on side by side in one 64-bit word.
inline uint32_t mix4(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint64_t wa, uint64_t wb, uint64_t wc,
                     uint64_t wd) {
    const auto spread = [](uint32_t p) {
        return (static_cast<uint64_t>(p) & 0x00ff00ffu) | ((static_cast<uint64_t>(p) & 0xff00ff00u) << 24);
    };
    constexpr uint64_t kHalf = 0x0020'0020'0020'0020ull;  // rounding: half of 64 in each 16-bit lane
    const uint64_t sum = (spread(a) * wa + spread(b) * wb + spread(c) * wc + spread(d) * wd + kHalf) >> kWeightShift;
    const uint64_t lanes = sum & 0x00ff'00ff'00ff'00ffull;
    return static_cast<uint32_t>(lanes & 0x00ff00ffu) | static_cast<uint32_t>((lanes >> 24) & 0xff00ff00u);
}

}  // namespace

void shiftBySubpixelPhase(const ConstPixelBuffer& source, int phaseX, int phaseY, const PixelBuffer& target) {
    const int width = source.width, height = source.height;
    if (width < 0 || height < 0 || target.width < width + 1 || target.height < height + 1 || phaseX < 0 ||
        phaseX >= kSubpixelPhases || phaseY < 0 || phaseY >= kSubpixelPhases)
        return;
    // Output pixel (x, y) takes the source pixels (x − 1 … x, y − 1 … y); those outside are
    // transparent. The weight of the nearer one (x, y) grows as the phase shrinks.
    const uint64_t fx = static_cast<uint64_t>(phaseX), fy = static_cast<uint64_t>(phaseY);
    const uint64_t gx = kSubpixelPhases - fx, gy = kSubpixelPhases - fy;
    const uint64_t wHere = gx * gy, wLeft = fx * gy, wUp = gx * fy, wUpLeft = fx * fy;
    // Rows padded with a transparent pixel on the left, so that every output pixel reads the
    // same four places; a transparent row stands above the first and below the last.
    std::vector<uint32_t> rows(static_cast<size_t>(width + 2) * 2, 0);
    uint32_t* padded[2] = {rows.data(), rows.data() + width + 2};
    const std::vector<uint32_t> blank(static_cast<size_t>(width + 2), 0);
    const uint32_t* up = blank.data();  // row y − 1, padded
    for (int y = 0; y <= height; ++y) {
        const uint32_t* here = blank.data();
        if (y < height) {
            uint32_t* copy = padded[y & 1];
            const uint32_t* in = source.row(y);
            std::copy(in, in + width, copy + 1);
            here = copy;
        }
        uint32_t* out = target.row(y);
        // here[x + 1] is source pixel x; here[x] the one left of it.
        for (int x = 0; x <= width; ++x) {
            const uint32_t a = here[x + 1], b = here[x], c = up[x + 1], d = up[x];
            out[x] = (a | b | c | d) == 0 ? 0 : mix4(a, b, c, d, wHere, wLeft, wUp, wUpLeft);
        }
        up = here;
    }
}

void upscaleAlphaBilinear(const uint8_t* source, int sourceWidth, int sourceHeight, double scaleX, double scaleY,
                          double offsetX, double offsetY, uint8_t* target, int targetWidth, int targetHeight) {
    // Separably: each source row is widened once (in 1/256 steps of weight), then each target row
    // mixes the two widened rows around it.
    const auto samples = [](int count, double scale, double offset, std::vector<int>& first, std::vector<int>& weight) {
        first.resize(static_cast<size_t>(count));
        weight.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const double u = (i + 0.5 - offset) / scale - 0.5;
            const double lower = std::floor(u);
            first[i] = static_cast<int>(std::max(-2.0, std::min(lower, 1e9)));
            weight[i] = static_cast<int>(std::lround((u - lower) * 256));
        }
    };
    std::vector<int> column, columnWeight, row, rowWeight;
    samples(targetWidth, scaleX, offsetX, column, columnWeight);
    samples(targetHeight, scaleY, offsetY, row, rowWeight);
    // Widened source rows, with a transparent row above and below: index r + 1 holds row r.
    std::vector<uint16_t> wide(static_cast<size_t>(sourceHeight + 2) * targetWidth, 0);
    for (int r = 0; r < sourceHeight; ++r) {
        const uint8_t* in = source + static_cast<size_t>(r) * sourceWidth;
        uint16_t* out = wide.data() + static_cast<size_t>(r + 1) * targetWidth;
        for (int x = 0; x < targetWidth; ++x) {
            const int c = column[x];
            const int left = c >= 0 && c < sourceWidth ? in[c] : 0;
            const int right = c + 1 >= 0 && c + 1 < sourceWidth ? in[c + 1] : 0;
            out[x] = static_cast<uint16_t>((left * (256 - columnWeight[x]) + right * columnWeight[x] + 128) >> 8);
        }
    }
    const auto wideRow = [&](int r) -> const uint16_t* {
        return wide.data() + static_cast<size_t>(std::clamp(r + 1, 0, sourceHeight + 1)) * targetWidth;
    };
    for (int y = 0; y < targetHeight; ++y) {
        const uint16_t* upper = wideRow(row[y]);
        const uint16_t* lower = wideRow(row[y] + 1);
        const int wy = rowWeight[y];
        uint8_t* out = target + static_cast<size_t>(y) * targetWidth;
        for (int x = 0; x < targetWidth; ++x) out[x] = static_cast<uint8_t>((upper[x] * (256 - wy) + lower[x] * wy + 128) >> 8);
    }
}

}  // namespace qtbackend
