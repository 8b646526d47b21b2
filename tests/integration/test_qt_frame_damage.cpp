// Frames that repaint only what changed: the picture kept between frames and patched where the
// damage says must be the picture drawn whole, frame after frame, with every effect on.
#include <QImage>
#include <QRandomGenerator>
#include <QScreen>
#include <QWindow>
#include <cmath>

#include "platform/qt/qt_frame_damage.h"
#include "platform/qt/qt_graphics.h"
#include "platform/qt/qt_view_widget.h"
#include "qt_host_test_support.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

using qtbackend::coalesceDamage;

class FrameDamage : public qttest::QtHostTest {};

/// The view's scene drawn whole into `image`, as a frame without damage tracking is drawn.
void drawWhole(host::ScreenSaverView& view, QImage& image) {
    image.fill(Qt::black);
    QPainter painter(&image);
    qtbackend::QPainterContext context(painter, view.bounds().size.height);
    const host::CurrentContextScope drawing(&context);
    view.drawRect(view.bounds());
}

/// The largest difference of a colour channel between two pictures of one size, and how many
/// pixels differ.
std::pair<int, int> largestDifference(const QImage& a, const QImage& b) {
    int differing = 0, largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((p[x] & 0xffffff) == (q[x] & 0xffffff)) continue;
            ++differing;
            largest = std::max({largest, std::abs(qRed(p[x]) - qRed(q[x])), std::abs(qGreen(p[x]) - qGreen(q[x])),
                                std::abs(qBlue(p[x]) - qBlue(q[x]))});
        }
    }
    return {largest, differing};
}

TEST_F(FrameDamage, PatchedFramesEqualWholeFramesWithEveryEffectOn) {
    // Sprites sped up so that they hit the walls often, with sparks flying out across the edges
    // and glowing trails along them; flashes and bursts over the edge are set off as well.
    auto view = tavrin::Tavrin_ScreenSaverView::create(host::NSMakeRect(0, 0, 1280, 720), false);
    ASSERT_TRUE(view);
    auto& v = *view;
    fake::setEveryEffect(v, true);
    v.trailLength = 30;
    v.glowSize = 20;
    v.starCount = 50;
    qtbackend::ViewWidget widget(view, qtHost().screens());
    widget.setFrameTimerEnabled(false);
    widget.show();
    ASSERT_TRUE(qttest::spinUntil([&] { return widget.windowHandle() && widget.windowHandle()->isExposed(); }));
    widget.startAnimation();

    QImage whole;
    int64_t damagedPixels = 0, flashFrames = 0, sparksOutside = 0, offByOne = 0;
    constexpr int kFrames = 300;
    for (int frame = 1; frame <= kFrames; ++frame) {
        if (frame == 2)
            for (auto& object : v.objects) object.velocity = {object.velocity.x * 6, object.velocity.y * 6};
        if (frame % 100 == 50) {
            v.objects[0].flashIntensity = v.objects[1].flashIntensity = 1;
            v.spawnSparksAtPoint({3, 360}, 20, std::acos(-1.0), 1.5);
            v.spawnSparksAtPoint({640, 717}, 20, std::acos(-1.0) / 2, 1.5);
        }
        v.animateOneFrame();
        const QRegion damage = widget.renderFrame();
        if (frame > 1)
            for (const QRect& r : damage) damagedPixels += static_cast<int64_t>(r.width()) * r.height();
        const QImage& patched = widget.frameImage();
        if (whole.size() != patched.size()) {
            whole = QImage(patched.size(), QImage::Format_ARGB32_Premultiplied);
            whole.setDevicePixelRatio(patched.devicePixelRatio());
        }
        drawWhole(v, whole);
        ASSERT_EQ(whole.size(), patched.size());
        const auto [largest, differing] = largestDifference(whole, patched);
        // Byte for byte, but for smooth draws (the glow under the turning wheel): the raster
        // engine's bilinear fetch walks each span in fixed point from its first pixel, so a span
        // cut at a piece's edge can land one level away from the same span drawn whole.
        ASSERT_LE(largest, 1) << "frame " << frame << ": " << differing << " pixels differ";
        offByOne += differing;

        flashFrames += v.objects[0].flashIntensity > 0 || v.objects[1].flashIntensity > 0;
        for (int64_t i = 0; i < v.activeParticleCount; ++i) {
            const auto& p = v.particles[i].position;
            sparksOutside += p.x < 0 || p.y < 0 || p.x > 1280 || p.y > 720;
        }
    }
    EXPECT_LT(offByOne, kFrames * 10);
    EXPECT_GT(flashFrames, 30);
    EXPECT_GT(sparksOutside, 0) << "no spark crossed an edge";
    // Far less than whole frames, though sped-up sprites draw long trails with wide glows.
    EXPECT_LT(static_cast<double>(damagedPixels) / (kFrames - 1), 0.3 * 1280 * 720);

    // Painting draws the scene into the region being painted, at the painter's offset.
    QImage shown(widget.width() + 10, widget.height() + 5, QImage::Format_RGB32);
    shown.fill(Qt::red);
    widget.render(&shown, QPoint(10, 5), QRegion(100, 50, 700, 300), QWidget::RenderFlags());
    EXPECT_EQ(shown.copy(10, 5, 700, 300), widget.frameImage().copy(100, 50, 700, 300).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(shown.pixel(9, 200), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(710, 200), qRgb(255, 0, 0));

    // What the bounds cannot see is drawn whole.
    v.animateOneFrame();
    widget.invalidateFrame();
    EXPECT_EQ(widget.renderFrame(), QRegion(widget.rect()));
    v.animateOneFrame();
    EXPECT_NE(widget.renderFrame(), QRegion(widget.rect()));
    widget.resize(1200, 700);
    v.animateOneFrame();
    EXPECT_EQ(widget.renderFrame(), QRegion(widget.rect()));
    widget.stopAnimation();
}

TEST_F(FrameDamage, TheWindowPatchedFrameByFrameShowsWholeFrames) {
    // On screen the frames are drawn straight into the window, which keeps its pixels between
    // paints; whatever a paint that the frames did not ask for shows must be cleared by the
    // frames after, though the scene changed between two frames.
    auto view = tavrin::Tavrin_ScreenSaverView::create(host::NSMakeRect(0, 0, 640, 360), false);
    ASSERT_TRUE(view);
    auto& v = *view;
    fake::setEveryEffect(v, true);
    v.starCount = 10;  // few, so that the frames' damage is not most of the view
    qtbackend::ViewWidget widget(view, qtHost().screens());
    widget.setFrameTimerEnabled(false);
    widget.show();
    ASSERT_TRUE(qttest::spinUntil([&] { return widget.windowHandle() && widget.windowHandle()->isExposed(); }));
    widget.startAnimation();
    for (auto& object : v.objects) object.velocity = {object.velocity.x * 4, object.velocity.y * 4};

    QImage whole;
    for (int frame = 1; frame <= 90; ++frame) {
        if (frame % 30 == 10) {
            // Shown by a paint of the window system's, then gone before the next frame.
            v.spawnSparksAtPoint({320, 180}, 30, 0, 3);
            widget.repaint(QRect(280, 140, 80, 80));
            v.activeParticleCount = 0;
        }
        v.animateOneFrame();
        widget.showFrame();
        const QImage shown = widget.screen()->grabWindow(widget.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(shown.size(), QSize(640, 360));
        if (whole.size() != shown.size()) whole = QImage(shown.size(), QImage::Format_ARGB32_Premultiplied);
        drawWhole(v, whole);
        const auto [largest, differing] = largestDifference(whole, shown);
        ASSERT_LE(largest, 1) << "frame " << frame << ": " << differing << " pixels differ";
    }
    widget.stopAnimation();
}

TEST(DamageRects, MergedRectanglesCoverEveryInputAndStayFewWithoutSwallowingTheView) {
    // Fifty star-sized rectangles scattered over a 1920 × 1080 view, and a sprite with its trail
    // made of overlapping ghosts.
    QRandomGenerator random(7);
    std::vector<QRect> input;
    for (int i = 0; i < 50; ++i) input.emplace_back(random.bounded(1914), random.bounded(1074), 6, 6);
    for (int i = 0; i < 30; ++i) input.emplace_back(600 + 5 * i, 400 + 3 * i, 480, 110);
    std::vector<QRect> merged = input;
    coalesceDamage(merged, qtbackend::kMaxDamageRects, qtbackend::kDamageRectCost);
    EXPECT_LE(merged.size(), static_cast<size_t>(qtbackend::kMaxDamageRects));
    int64_t area = 0;
    for (const QRect& r : merged) area += static_cast<int64_t>(r.width()) * r.height();
    for (const QRect& r : input) {
        bool covered = false;
        for (const QRect& m : merged) covered = covered || m.contains(r);
        EXPECT_TRUE(covered) << r.x() << "," << r.y();
    }
    EXPECT_LT(area, 1920 * 1080 / 5);

    // Below the cap, rectangles far apart stay apart and overlapping ones become one.
    std::vector<QRect> few = {QRect(0, 0, 10, 10), QRect(1000, 500, 10, 10), QRect(5, 5, 10, 10), QRect()};
    coalesceDamage(few, qtbackend::kMaxDamageRects, qtbackend::kDamageRectCost);
    ASSERT_EQ(few.size(), 2u);
    EXPECT_TRUE(few[0] == QRect(0, 0, 15, 15) || few[1] == QRect(0, 0, 15, 15));
}

}  // namespace
