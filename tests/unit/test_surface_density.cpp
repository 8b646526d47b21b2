// The buffer size of a Wayland surface at its density: what the compositor shows sharp only when
// the buffer has exactly the size the fractional-scale protocol asks for.
#include <gtest/gtest.h>

#include "platform/wayland/surface_density.h"

namespace waylandbackend {
namespace {

TEST(SurfaceDensity, FractionalScalesRoundEachSideHalfAwayFromZero) {
    // 1.5 (180/120): 1280 × 720 logical is 1920 × 1080 pixels, shown at the logical size.
    BufferGeometry g = bufferGeometry(1280, 720, 1, 180, true);
    EXPECT_EQ(g.width, 1920);
    EXPECT_EQ(g.height, 1080);
    EXPECT_TRUE(g.viewport);
    EXPECT_EQ(g.bufferScale, 1);
    EXPECT_DOUBLE_EQ(g.devicePixelRatio, 1.5);
    // Odd sides land on halves, which round up: 801 × 1.5 = 1201.5, 451 × 1.5 = 676.5.
    g = bufferGeometry(801, 451, 2, 180, true);
    EXPECT_EQ(g.width, 1202);
    EXPECT_EQ(g.height, 677);
    // 1.25 (150): 1366 × 1.25 = 1707.5; 1.1666… (140): 1000 × 140 / 120 = 1166.67 rounds down.
    EXPECT_EQ(bufferGeometry(1366, 768, 1, 150, true).width, 1708);
    EXPECT_EQ(bufferGeometry(1000, 3, 1, 140, true).width, 1167);
    EXPECT_EQ(bufferGeometry(1000, 3, 1, 139, true).width, 1158);  // 1158.33
    EXPECT_EQ(fractionalLength(-3, 180), -5);                      // -4.5, away from zero
    // A preferred scale of 1 still goes through the viewport, at the logical size.
    g = bufferGeometry(333, 222, 2, 120, true);
    EXPECT_EQ(g.width, 333);
    EXPECT_TRUE(g.viewport);
}

TEST(SurfaceDensity, WithoutAFractionalScaleOrAViewportTheOutputScaleIsUsed) {
    const BufferGeometry two = bufferGeometry(800, 450, 2, 0, true);
    EXPECT_EQ(two.width, 1600);
    EXPECT_EQ(two.height, 900);
    EXPECT_EQ(two.bufferScale, 2);
    EXPECT_FALSE(two.viewport);
    // A fractional scale cannot be shown without a viewport: the integer scale it is.
    EXPECT_EQ(bufferGeometry(800, 450, 2, 180, false), two);
    // A scale the compositor should never send counts as 1.
    EXPECT_EQ(bufferGeometry(800, 450, 0, 0, false).width, 800);
    EXPECT_EQ(bufferGeometry(800, 450, -3, 0, false).width, 800);
}

TEST(SurfaceDensity, UnusableSizesGiveNoBuffer) {
    EXPECT_EQ(bufferGeometry(0, 0, 1, 0, true).width, 0);
    EXPECT_EQ(bufferGeometry(1920, 0, 1, 0, true).width, 0);
    EXPECT_EQ(bufferGeometry(kMaxSurfaceSide + 1, 100, 1, 0, true).width, 0);
    EXPECT_EQ(bufferGeometry(INT32_MAX, 1, 1, 0, true).width, 0);
    // Usable logical sizes whose buffer would be too large.
    EXPECT_EQ(bufferGeometry(10000, 100, 2, 0, true).width, 0);
    EXPECT_EQ(bufferGeometry(12000, 100, 1, 180, true).width, 0);
    EXPECT_EQ(bufferGeometry(kMaxSurfaceSide, 100, 1, 0, true).width, kMaxSurfaceSide);
    // A scale so small that a side rounds to nothing.
    EXPECT_EQ(bufferGeometry(1, 1, 1, 1, true).width, 0);
}

}  // namespace
}  // namespace waylandbackend
