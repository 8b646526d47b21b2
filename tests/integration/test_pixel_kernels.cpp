// The pixel kernels of the Qt backend on plain memory: what they write stays inside the area, the
// clip and the buffer (rows have padding that must stay untouched), and their 8-bit arithmetic
// rounds as premultiplied blending must.
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "platform/qt/alpha_blur.h"
#include "platform/qt/pixel_kernels.h"
#include "platform/qt/subpixel_shift.h"

using namespace qtbackend;

namespace {

constexpr uint32_t kPadding = 0xdeadbeef;

/// Pixels of width × height with `pad` pixels of padding after each row, all holding `fill`.
struct Pixels {
    Pixels(int width, int height, uint32_t fill = 0, int pad = 3)
        : width(width), height(height), stride(width + pad), memory(static_cast<size_t>(stride) * height, kPadding) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) at(x, y) = fill;
    }
    PixelBuffer buffer() { return {memory.data(), static_cast<std::ptrdiff_t>(stride * 4), width, height}; }
    uint32_t& at(int x, int y) { return memory[static_cast<size_t>(y) * stride + x]; }
    bool paddingIntact() const {
        for (int y = 0; y < height; ++y)
            for (int x = width; x < stride; ++x)
                if (memory[static_cast<size_t>(y) * stride + x] != kPadding) return false;
        return true;
    }
    int width, height, stride;
    std::vector<uint32_t> memory;
};

TEST(PixelKernels, ByteMulScalesEachChannelOnItsOwnWithinRoundingAndExactlyAtTheEnds) {
    // Each channel lands within rounding of c × a / 255 (a handful of products just above a half
    // round down), whatever its neighbours hold; a = 255 keeps a pixel and a = 0 clears it.
    for (uint32_t a = 0; a <= 255; ++a) {
        for (uint32_t c = 0; c <= 255; ++c) {
            const uint32_t channels[4] = {c, 255 - c, c, (c * 7) & 0xff};
            const uint32_t product =
                byteMul(channels[0] << 24 | channels[1] << 16 | channels[2] << 8 | channels[3], a);
            for (int i = 0; i < 4; ++i) {
                const double exact = channels[i] * a / 255.0;
                ASSERT_NEAR((product >> (24 - 8 * i)) & 0xff, exact, 0.51) << channels[i] << " × " << a;
            }
        }
        ASSERT_EQ(byteMul(0xffffffff, a), a * 0x01010101u);
        ASSERT_EQ(byteMul(0x80ff4001, 255), 0x80ff4001u);
        ASSERT_EQ(byteMul(0x80ff4001, 0), 0u);
    }
}

TEST(PixelKernels, FillReplacesOnlyThePixelsOfTheAreaInsideTheClipsAndTheBuffer) {
    // Two bands of clips, the area reaching past the buffer's left and bottom edges; and a row
    // long enough to be stored past the caches, starting off the 16-byte grid.
    Pixels p(40, 20, 0x11111111);
    const PixelRect clips[] = {{0, 0, 10, 5}, {20, 0, 20, 5}, {5, 12, 30, 100}};
    fillPixelRect(p.buffer(), {-3, 2, 30, 30}, clips, 0xff00ff00);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const bool inArea = x < 27 && y >= 2;
            const bool inClip = (y < 5 && (x < 10 || x >= 20)) || (y >= 12 && x >= 5 && x < 35);
            ASSERT_EQ(p.at(x, y), inArea && inClip ? 0xff00ff00 : 0x11111111) << x << "," << y;
        }
    }
    EXPECT_TRUE(p.paddingIntact());

    Pixels wide(3000, 3, 0);
    const PixelRect whole[] = {wide.buffer().rect()};
    fillPixelRect(wide.buffer(), {3, 1, 2990, 1}, whole, 0xff123456);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3000; ++x) ASSERT_EQ(wide.at(x, y), y == 1 && x >= 3 && x < 2993 ? 0xff123456 : 0) << x;
    EXPECT_TRUE(wide.paddingIntact());
}

TEST(PixelKernels, DiscBlendsOverWhatIsThereAndKeepsToItsClipAndBuffer) {
    // Half-transparent white over black: inside, the colour itself; the light added is its area.
    Pixels black(20, 20, 0xff000000);
    const PixelRect all[] = {black.buffer().rect()};
    blendDisc(black.buffer(), 10, 10, 4, 0x80808080, all);
    EXPECT_EQ(black.at(10, 10), 0xff808080);
    double light = 0;
    for (uint32_t pixel : black.memory) light += pixel == kPadding ? 0 : (pixel & 0xff) / 255.0;
    EXPECT_NEAR(light, 0.5 * M_PI * 16, 0.05 * 0.5 * M_PI * 16);

    // Across the corners of the buffer, under a clip larger than the buffer.
    Pixels corners(12, 10, 0);
    const PixelRect beyond[] = {{-10, -10, 40, 40}};
    blendDisc(corners.buffer(), 1, 1, 3, 0xffffffff, beyond);
    blendDisc(corners.buffer(), 11, 9, 3, 0xffffffff, beyond);
    EXPECT_EQ(corners.at(0, 0), 0xffffffff);
    EXPECT_EQ(corners.at(11, 9), 0xffffffff);
    EXPECT_TRUE(corners.paddingIntact());

    // Along the edge of a clip; far off the buffer or at no number at all, nothing.
    Pixels p(12, 10, 0);
    const PixelRect clip[] = {{0, 0, 5, 10}};
    blendDisc(p.buffer(), 4.5, 5, 3, 0xffffffff, clip);
    blendDisc(p.buffer(), 1e12, -1e12, 3, 0xffffffff, clip);
    blendDisc(p.buffer(), NAN, 5, 3, 0xffffffff, clip);
    EXPECT_EQ(p.at(4, 5), 0xffffffff);
    for (int y = 0; y < p.height; ++y)
        for (int x = 5; x < p.width; ++x) ASSERT_EQ(p.at(x, y), 0u) << x << "," << y;
}

TEST(PixelKernels, TintPaintsEveryAlphaOfEachRowWhateverTheWidthAndKeepsToTheRow) {
    // Rows of 7: read four at a time, then the rest one by one.
    uint8_t alpha[14];
    for (int i = 0; i < 14; ++i) alpha[i] = static_cast<uint8_t>(i * 19);
    Pixels p(7, 2);
    tintAlpha(alpha, 0xc0604020, p.buffer());
    for (int i = 0; i < 14; ++i) {
        const uint32_t v = alpha[i], expected = (192 * v + 127) / 255 << 24 | (96 * v + 127) / 255 << 16 |
                                                (64 * v + 127) / 255 << 8 | (32 * v + 127) / 255;
        EXPECT_EQ(p.at(i % 7, i / 7), expected) << i;
    }
    EXPECT_TRUE(p.paddingIntact());
}

TEST(PixelKernels, OpaqueBoundsFindTheNonTransparentPixelsAndIgnoreTheRowPadding) {
    Pixels p(10, 6);
    EXPECT_TRUE(opaquePixelBounds(p.buffer()).isEmpty());  // the padding is opaque: not counted
    p.at(9, 1) = 0x01000000;
    p.at(2, 4) = 0xff000000;
    p.at(5, 3) = 0x00ffffff;  // colour without alpha counts as transparent
    EXPECT_EQ(opaquePixelBounds(p.buffer()), (PixelRect{2, 1, 8, 4}));
}

TEST(PixelKernels, SubpixelShiftMovesTheCentreOfBrightnessByThePhaseAndKeepsItsLight) {
    Pixels source(3, 2, 0);
    source.at(1, 0) = 0xffffffff;
    source.at(2, 1) = 0x80808080;
    for (int phaseX = 0; phaseX < kSubpixelPhases; ++phaseX) {
        const int phaseY = (phaseX * 3) % kSubpixelPhases;
        Pixels out(4, 3, 0x12345678);
        shiftBySubpixelPhase(source.buffer(), phaseX, phaseY, out.buffer());
        double light = 0, sx = 0, sy = 0;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const double v = out.at(x, y) >> 24;
                ASSERT_GE(v, (out.at(x, y) & 0xff)) << "not premultiplied";
                light += v, sx += v * x, sy += v * y;
            }
        EXPECT_NEAR(light, 255 + 128, 5) << phaseX;
        EXPECT_NEAR(sx / light, (255 * 1 + 128 * 2) / 383.0 + phaseX / 8.0, 0.02) << phaseX;
        EXPECT_NEAR(sy / light, 128 / 383.0 + phaseY / 8.0, 0.02) << phaseX;
        EXPECT_TRUE(out.paddingIntact());
    }
    Pixels tooSmall(3, 3, 7);
    shiftBySubpixelPhase(source.buffer(), 1, 1, tooSmall.buffer());
    EXPECT_EQ(tooSmall.at(0, 0), 7u) << "a target that cannot hold the result is left alone";
}

TEST(PixelKernels, BlurSpreadsTheAlphaKeepingItsSumAndReadsOnlyTheImageNotItsPadding) {
    for (const double sigma : {1.5, 9.0}) {  // at full resolution, and downsampled
        Pixels source(32, 24, 0);
        for (int y = 8; y < 16; ++y)
            for (int x = 8; x < 24; ++x) source.at(x, y) = 0xffffffff;
        const SilhouetteGeometry g = silhouetteGeometry(32, 24, sigma);
        std::vector<uint8_t> alpha(static_cast<size_t>(g.width) * g.height);
        blurAlpha(source.buffer(), g, alpha.data());
        double sum = 0;
        for (uint8_t a : alpha) sum += a;
        EXPECT_NEAR(sum * g.step * g.step, 128 * 255, 0.02 * 128 * 255) << sigma;
        // The border of padding is transparent all round: the blur fits inside it.
        for (int x = 0; x < g.width; ++x) EXPECT_EQ(alpha[x] + alpha[alpha.size() - 1 - x], 0) << sigma;
        // Symmetric about the square's centre, left to right.
        const int row = 12 / g.step + g.padding;
        for (int x = 0; x < g.width / 2; ++x)
            EXPECT_NEAR(alpha[row * g.width + x], alpha[row * g.width + (g.width - 1 - x)], 1) << sigma << " " << x;
    }
}

}  // namespace
