// Frame drawing on the recording context: what is drawn, in which order, with which alphas,
// transforms and glow, and what is left out when a switch is off or a bitmap is missing.
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

using namespace tavrin;
using fake::DrawOp;
using Kind = fake::DrawOp::Kind;

namespace {

class FrameDrawing : public fake::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        window = windowOn(nullptr);
        view = fake::viewOnWindow({{0, 0}, {1000, 500}}, window);
        // A quiet scene: every switch off, the sprites placed and sized, no trails or sparks.
        Tavrin_ScreenSaverView& v = *view;
        fake::setEveryEffect(v, false);
        v.trailLength = v.glowSize = 15;
        v.activeParticleCount = 0;
        v.objects[0].size = {250, 250 / kLogoAspect};
        v.objects[0].position = {100, 200};
        v.objects[1].size = {62.5, 62.5};
        v.objects[1].position = {600, 100};
        v.objects[1].rotation = 0.7;
        for (auto& t : v.trails) t.count = 0;
        host::setCurrentContext(&ctx);
    }
    void TearDown() override {
        host::setCurrentContext(nullptr);
        view.reset();
        HostTest::TearDown();
    }

    void draw() {
        ctx.ops.clear();
        view->drawRect(host::NSMakeRect(10, 10, 20, 20));
    }
    /// The image the view draws for a sprite (its cached bitmap).
    const host::Image* bitmapOf(int k) {
        return view->cachedImageForType(view->objects[k].imageType, view->objects[k].size).get();
    }
    void fillTrail(int k, int64_t count) {
        view->trails[k].count = count;
        for (int i = 0; i < kTrailCapacity; ++i) {
            view->trails[k].positions[i] = {10.0 * i + k, 5.0 * i + 2 * k};
            view->trails[k].rotations[i] = 0.01 * i + k;
        }
    }
    /// The operations as letters: S save, R restore, g shadow, t translate, r rotate, D image,
    /// e ellipse.
    std::string opLetters() const {
        std::string out;
        for (const auto& op : ctx.ops) {
            const char* letters = "..eSRtrgD";  // by Kind, SetFillColor and FillRect left out
            if (letters[static_cast<int>(op.kind)] != '.') out += letters[static_cast<int>(op.kind)];
        }
        return out;
    }
    std::vector<double> fractionsDrawn(const host::Image* image) const {
        std::vector<double> out;
        for (const auto& op : ctx.ops)
            if (op.kind == Kind::DrawImage && op.image == image) out.push_back(op.fraction);
        return out;
    }

    std::shared_ptr<Tavrin_ScreenSaverView> view;
    std::shared_ptr<fake::FakeWindow> window;
    fake::RecordingContext ctx;
};

TEST_F(FrameDrawing, BlackFillsTheWholeBoundsFirstAndLayersFollowInOrder) {
    view->enableStarfield = view->enableCollisionSparks = view->enableFadeTrails = view->enableNeonGlow = true;
    view->starCount = 2;
    view->activeParticleCount = 1;
    fillTrail(0, 2);
    fillTrail(1, 2);
    const host::Image* logo = bitmapOf(0);
    const host::Image* wheel = bitmapOf(1);
    draw();
    ASSERT_GE(ctx.ops.size(), 2u);
    EXPECT_EQ(ctx.ops[0].kind, Kind::SetFillColor);
    EXPECT_EQ(ctx.ops[0].color.rgba().red, 0.0);
    EXPECT_EQ(ctx.ops[0].color.alpha, 1.0);
    EXPECT_EQ(ctx.ops[1].kind, Kind::FillRect);
    EXPECT_EQ(ctx.ops[1].rect, host::NSMakeRect(0, 0, 1000, 500));  // not the rectangle asked for
    // Stars, the logo's ghost and sprite with its glow, the wheel's, then the spark.
    EXPECT_EQ(opLetters(), "ee" "StrtDR" "SgtrtDR" "StrtDR" "SgtrtDR" "e");
    std::vector<const host::Image*> images;
    for (const auto& op : ctx.ops)
        if (op.kind == Kind::DrawImage) images.push_back(op.image);
    EXPECT_EQ(images, (std::vector<const host::Image*>{logo, logo, wheel, wheel}));
    EXPECT_EQ(ctx.depth, 0);
    EXPECT_EQ(ctx.maxDepth, 1);
}

TEST_F(FrameDrawing, StarAlphaFollowsTwinkleWithinLimitsAndDiscIsCentred) {
    view->starCount = 2;
    view->stars[0] = {{40, 30}, {}, 0.3, 3 * kPi / 2, 0.05, 1.5};  // 0.3 − 0.4 → raised to 0.05
    view->stars[1] = {{70, 80}, {}, 0.9, kPi / 2, 0.05, 0.5};      // 0.9 + 0.4 → capped at 1
    draw();
    EXPECT_TRUE(ctx.opsOfKind(Kind::FillEllipse).empty());  // starfield off

    view->enableStarfield = true;
    draw();
    auto fills = ctx.opsOfKind(Kind::FillEllipse);
    ASSERT_EQ(fills.size(), 2u);  // only the first starCount stars
    EXPECT_EQ(fills[0]->rect, host::NSMakeRect(38.5, 28.5, 3, 3));
    EXPECT_EQ(fills[1]->rect, host::NSMakeRect(69.5, 79.5, 1, 1));
    auto colors = ctx.opsOfKind(Kind::SetFillColor);
    ASSERT_EQ(colors.size(), 3u);  // black, then one per star
    EXPECT_EQ(colors[1]->color.model, host::Color::Model::White);
    EXPECT_EQ(colors[1]->color.white, 1.0);
    EXPECT_DOUBLE_EQ(colors[1]->color.alpha, 0.05);
    EXPECT_DOUBLE_EQ(colors[2]->color.alpha, 1.0);
}

TEST_F(FrameDrawing, GhostIsMovedToItsCentreTurnedMovedBackAndDrawnAtTheOrigin) {
    view->enableFadeTrails = true;
    view->trailLength = 10;
    fillTrail(1, 2);
    view->trails[1].positions[1] = {300, 120};
    view->trails[1].rotations[1] = 0.25;
    draw();
    // The wheel's ghost follows the logo's sprite: Save, Translate, Rotate, Translate, Draw, Restore.
    const DrawOp* g = &ctx.ops[2 + 6];
    ASSERT_EQ(g[0].kind, Kind::Save);
    EXPECT_EQ(g[1].a, 300 + 62.5 / 2);
    EXPECT_EQ(g[1].b, 120 + 62.5 / 2);
    EXPECT_EQ(g[2].kind, Kind::Rotate);
    EXPECT_EQ(g[2].a, 0.25);
    EXPECT_EQ(g[3].a, -62.5 / 2);
    EXPECT_EQ(g[3].b, -62.5 / 2);
    EXPECT_EQ(g[4].image, bitmapOf(1));
    EXPECT_EQ(g[4].rect, host::NSMakeRect(0, 0, 62.5, 62.5));
    EXPECT_EQ(g[4].op, host::CompositingOperation::SourceOver);
    EXPECT_DOUBLE_EQ(g[4].fraction, (1 - 1.0 / 10) * 0.25);
    EXPECT_EQ(g[5].kind, Kind::Restore);
}

struct TrailCase {
    int64_t trailLength;
    int64_t count;
    int64_t oldestDrawn;  ///< 0 when no ghost is drawn
};

class TrailAlphas : public FrameDrawing, public ::testing::WithParamInterface<TrailCase> {};

TEST_P(TrailAlphas, GhostsOldestFirstAtFadingAlphaAboveCutOff) {
    const TrailCase c = GetParam();
    view->enableFadeTrails = true;
    view->trailLength = c.trailLength;
    fillTrail(0, c.count);
    draw();
    std::vector<double> expected;
    for (int64_t i = c.oldestDrawn; i >= 1; --i)
        expected.push_back((1 - static_cast<double>(i) / static_cast<double>(c.trailLength)) * 0.25);
    expected.push_back(1.0);  // the sprite itself
    EXPECT_EQ(fractionsDrawn(bitmapOf(0)), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrailAlphas,
                         ::testing::Values(TrailCase{3, 3, 2},     // 1/12 then 1/6
                                           TrailCase{15, 0, 0},    // nothing to draw
                                           TrailCase{15, 1, 0},    // entry 0 is the sprite itself
                                           TrailCase{15, 2, 1},    // exactly one ghost
                                           TrailCase{25, 25, 24},  // oldest lands on 0.01 and is kept
                                           TrailCase{26, 26, 24},  // oldest below 0.01 from 26 on
                                           TrailCase{30, 30, 28},
                                           TrailCase{10, 30, 9}),  // entries past trailLength never drawn
                         [](const ::testing::TestParamInfo<TrailCase>& info) {
                             return "length" + std::to_string(info.param.trailLength) + "count" +
                                    std::to_string(info.param.count);
                         });

struct GlowCase {
    const char* name;
    int64_t glowSize;
    double flash;
    bool flashOn, driftOn;
    double phase;
    double blur, hue, brightness, alpha;
};

class Glow : public FrameDrawing, public ::testing::WithParamInterface<GlowCase> {};

TEST_P(Glow, ShadowHasBlurHueBrightnessAndAlphaWithNoOffset) {
    const GlowCase c = GetParam();
    view->enableNeonGlow = true;
    view->enableCollisionFlash = c.flashOn;
    view->enableColorDrift = c.driftOn;
    view->colorDriftPhase = c.phase;
    view->glowSize = c.glowSize;
    view->objects[0].flashIntensity = c.flash;
    draw();
    auto shadows = ctx.opsOfKind(Kind::SetShadow);
    ASSERT_EQ(shadows.size(), 2u);
    const DrawOp& s = *shadows[0];
    EXPECT_EQ(s.shadowOffset, host::NSZeroSize);
    EXPECT_NEAR(s.a, c.blur, 1e-12);
    EXPECT_EQ(s.color.model, host::Color::Model::HSB);
    EXPECT_NEAR(s.color.hue, c.hue, 1e-12);
    EXPECT_EQ(s.color.saturation, 0.52);
    EXPECT_NEAR(s.color.brightness, c.brightness, 1e-12);
    EXPECT_NEAR(s.color.alpha, c.alpha, 1e-12);
    // The wheel does not flash: a plain glow of the same size.
    EXPECT_EQ(shadows[1]->a, static_cast<double>(c.glowSize));
    EXPECT_EQ(shadows[1]->color.brightness, 0.73);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Glow,
    ::testing::Values(GlowCase{"plain", 10, 0, true, false, 0, 10, 0.63, 0.73, 0.8},
                      GlowCase{"halfFlash", 10, 0.5, true, false, 0, 25, 0.63, 0.88, 0.9},
                      GlowCase{"fullFlashCapped", 50, 1, true, false, 0, 60, 0.63, 1.0, 1.0},
                      GlowCase{"fullFlashSmall", 10, 1, true, false, 0, 40, 0.63, 1.0, 1.0},
                      GlowCase{"flashSwitchedOff", 10, 0.5, false, false, 0, 10, 0.63, 0.73, 0.8},
                      GlowCase{"driftUp", 15, 0, true, true, kPi / 2, 15, 0.83, 0.73, 0.8},
                      GlowCase{"driftDown", 15, 0, true, true, 3 * kPi / 2, 15, 0.43, 0.73, 0.8}),
    [](const ::testing::TestParamInfo<GlowCase>& info) { return std::string(info.param.name); });

TEST_F(FrameDrawing, ShadowIsSetOnlyInsideTheSpritesOwnStateAfterItsTrail) {
    view->enableNeonGlow = view->enableFadeTrails = true;
    fillTrail(1, 3);
    draw();
    EXPECT_EQ(opLetters(), "SgtrtDR" "StrtDR" "StrtDR" "SgtrtDR");
    view->enableNeonGlow = view->enableFadeTrails = false;
    draw();
    EXPECT_EQ(opLetters(), "StrtDR" "StrtDR");
}

TEST_F(FrameDrawing, MissingLogoLeavesOutItsTrailAndGlowButDrawsTheRest) {
    view->enableStarfield = view->enableCollisionSparks = view->enableFadeTrails = view->enableNeonGlow = true;
    view->starCount = 5;
    view->activeParticleCount = 4;
    fillTrail(0, 10);
    fillTrail(1, 3);
    view->tavrinImage.reset();
    draw();
    EXPECT_EQ(opLetters(), "eeeee" "StrtDR" "StrtDR" "SgtrtDR" "eeee");
    EXPECT_EQ(fractionsDrawn(bitmapOf(1)).size(), 3u);
}

TEST_F(FrameDrawing, SparksTakeHueAndUnclampedLifetimeAsAlphaAndOnlyWhenOn) {
    view->objects[0].size = view->objects[1].size = {0, 0};  // before the first layout
    view->activeParticleCount = 2;
    view->particles[0] = {{50, 60}, {}, 0.5, 0.1, 2, 0.1};
    view->particles[1] = {{10, 20}, {}, 1.0, 0.1, 1, 0.16};
    draw();
    EXPECT_EQ(ctx.ops.size(), 2u);  // the background alone

    view->enableCollisionSparks = true;
    draw();
    auto fills = ctx.opsOfKind(Kind::FillEllipse);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0]->rect, host::NSMakeRect(48, 58, 4, 4));
    EXPECT_EQ(fills[1]->rect, host::NSMakeRect(9, 19, 2, 2));
    const host::Color& c = ctx.opsOfKind(Kind::SetFillColor)[1]->color;
    EXPECT_EQ(c.model, host::Color::Model::HSB);
    EXPECT_EQ(c.hue, 0.1);
    EXPECT_EQ(c.saturation, 1.0);
    EXPECT_EQ(c.brightness, 1.0);
    EXPECT_EQ(c.alpha, 0.5);
}

}  // namespace
