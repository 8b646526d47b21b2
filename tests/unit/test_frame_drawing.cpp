// Frame drawing on the recording context: what is drawn, in which order, with which alphas,
// transforms and glow, and what is left out when a switch is off or a bitmap is missing.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/fake_host.h"
#include "view/tavrin_screensaver_view.h"

using namespace tavrin;
using fake::DrawOp;
using Kind = fake::DrawOp::Kind;

namespace {

constexpr CGSize kLogoSize{250, 250 / kLogoAspect};
constexpr CGSize kWheelSize{62.5, 62.5};

class FrameDrawing : public fake::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        view = Tavrin_ScreenSaverView::create({{0, 0}, {1000, 500}}, false);
        window = windowOn(nullptr);
        view->hostAttachWindow(window);
        // A quiet scene: every switch off, sprites placed and sized, no trails, stars or sparks.
        View& v = *view;
        v.enableFadeTrails = v.enableNeonGlow = v.enableCollisionFlash = v.enableColorDrift = false;
        v.enableStarfield = v.enableCollisionSparks = false;
        v.trailLength = 15;
        v.glowSize = 15;
        v.starCount = 50;
        v.activeParticleCount = 0;
        v.objects[0].size = kLogoSize;
        v.objects[0].position = {100, 200};
        v.objects[1].size = kWheelSize;
        v.objects[1].position = {600, 100};
        v.objects[1].rotation = 0.7;
        for (auto& o : v.objects) o.flashIntensity = 0;
        for (auto& t : v.trails) t.count = 0;
        host::setCurrentContext(&ctx);
    }
    void TearDown() override {
        host::setCurrentContext(nullptr);
        view.reset();
        HostTest::TearDown();
    }

    using View = Tavrin_ScreenSaverView;

    void draw() { view->drawRect(host::NSMakeRect(10, 10, 20, 20)); }

    /// The image the view draws for a sprite (its cached bitmap).
    const host::Image* bitmapOf(int k) { return view->cachedImageForType(view->objects[k].imageType, view->objects[k].size).get(); }

    std::vector<const DrawOp*> drawsOf(const host::Image* image) const {
        std::vector<const DrawOp*> out;
        for (const auto& op : ctx.ops)
            if (op.kind == Kind::DrawImage && op.image == image) out.push_back(&op);
        return out;
    }

    /// Fills a trail with distinct positions and rotations.
    void fillTrail(int k, int64_t count) {
        view->trails[k].count = count;
        for (int i = 0; i < kTrailCapacity; ++i) {
            view->trails[k].positions[i] = {10.0 * i + k, 5.0 * i + 2 * k};
            view->trails[k].rotations[i] = 0.01 * i + k;
        }
    }

    std::shared_ptr<View> view;
    std::shared_ptr<fake::FakeWindow> window;
    fake::RecordingContext ctx;
};

/// The alphas of the ghosts drawn for sprite k, in drawing order.
std::vector<double> ghostAlphas(const std::vector<const DrawOp*>& draws) {
    std::vector<double> alphas;
    for (const DrawOp* d : draws)
        if (d->fraction < 1.0) alphas.push_back(d->fraction);
    return alphas;
}

TEST_F(FrameDrawing, BackgroundFillsWholeBoundsBlackFirstWhateverRectIsAsked) {
    draw();
    ASSERT_GE(ctx.ops.size(), 2u);
    EXPECT_EQ(ctx.ops[0].kind, Kind::SetFillColor);
    const host::RGBA black = ctx.ops[0].color.rgba();
    EXPECT_EQ(black.red + black.green + black.blue, 0.0);
    EXPECT_EQ(black.alpha, 1.0);
    EXPECT_EQ(ctx.ops[1].kind, Kind::FillRect);
    EXPECT_EQ(ctx.ops[1].rect, host::NSMakeRect(0, 0, 1000, 500));
}

TEST_F(FrameDrawing, LayersComeInOrderStarsLogoWheelSparks) {
    view->enableStarfield = view->enableCollisionSparks = view->enableFadeTrails = view->enableNeonGlow = true;
    view->starCount = 3;
    view->activeParticleCount = 2;
    view->particles[0].size = view->particles[1].size = 1;
    fillTrail(0, 3);
    fillTrail(1, 3);
    const host::Image* logo = bitmapOf(0);
    const host::Image* wheel = bitmapOf(1);
    ASSERT_NE(logo, wheel);
    draw();

    // One letter per layer: s star, l logo, w wheel, p spark.
    std::string layers;
    for (const auto& op : ctx.ops) {
        if (op.kind == Kind::FillEllipse) layers += layers.find('l') == std::string::npos ? 's' : 'p';
        if (op.kind == Kind::DrawImage) layers += op.image == logo ? 'l' : op.image == wheel ? 'w' : '?';
    }
    // Two ghosts then the sprite, per object.
    EXPECT_EQ(layers, "ssslllwwwpp");
    EXPECT_EQ(ctx.depth, 0);
    EXPECT_EQ(ctx.maxDepth, 1);
}

TEST_F(FrameDrawing, StarAlphaFollowsTwinkleWithinLimitsAndDiscIsCentred) {
    view->enableStarfield = true;
    view->starCount = 2;
    view->stars[0] = {{40, 30}, {}, 0.3, 3 * kPi / 2, 0.05, 1.5};  // 0.3 − 0.4 → raised to 0.05
    view->stars[1] = {{70, 80}, {}, 0.9, kPi / 2, 0.05, 0.5};      // 0.9 + 0.4 → capped at 1
    view->stars[2] = {{90, 90}, {}, 0.5, 0, 0.05, 1};                // beyond starCount
    draw();
    auto fills = ctx.opsOfKind(Kind::FillEllipse);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0]->rect, host::NSMakeRect(38.5, 28.5, 3, 3));
    EXPECT_EQ(fills[1]->rect, host::NSMakeRect(69.5, 79.5, 1, 1));
    auto colors = ctx.opsOfKind(Kind::SetFillColor);
    ASSERT_EQ(colors.size(), 3u);  // black, then one per star
    EXPECT_DOUBLE_EQ(colors[1]->color.alpha, 0.05);
    EXPECT_DOUBLE_EQ(colors[2]->color.alpha, 1.0);
    EXPECT_EQ(colors[1]->color.model, host::Color::Model::White);
    EXPECT_EQ(colors[1]->color.white, 1.0);
}

TEST_F(FrameDrawing, StarfieldOffOrNoStarsDrawsNoStars) {
    view->starCount = 200;
    draw();
    EXPECT_TRUE(ctx.opsOfKind(Kind::FillEllipse).empty());
    view->enableStarfield = true;
    view->starCount = 0;
    draw();
    EXPECT_TRUE(ctx.opsOfKind(Kind::FillEllipse).empty());
}

TEST_F(FrameDrawing, GhostIsPlacedCentreRotateBackThenDrawnAtOriginAndRestored) {
    view->enableFadeTrails = true;
    view->trailLength = 10;
    fillTrail(1, 2);
    view->trails[1].positions[1] = {300, 120};
    view->trails[1].rotations[1] = 0.25;
    const host::Image* wheel = bitmapOf(1);
    draw();
    auto it = std::find_if(ctx.ops.begin(), ctx.ops.end(),
                           [&](const DrawOp& op) { return op.kind == Kind::DrawImage && op.image == wheel; });
    ASSERT_NE(it, ctx.ops.end());
    const size_t at = static_cast<size_t>(it - ctx.ops.begin());
    ASSERT_GE(at, 4u);
    const DrawOp* seq = &ctx.ops[at - 4];
    EXPECT_EQ(seq[0].kind, Kind::Save);
    EXPECT_EQ(seq[1].kind, Kind::Translate);
    EXPECT_DOUBLE_EQ(seq[1].a, 300 + 62.5 / 2);
    EXPECT_DOUBLE_EQ(seq[1].b, 120 + 62.5 / 2);
    EXPECT_EQ(seq[2].kind, Kind::Rotate);
    EXPECT_DOUBLE_EQ(seq[2].a, 0.25);
    EXPECT_EQ(seq[3].kind, Kind::Translate);
    EXPECT_DOUBLE_EQ(seq[3].a, -62.5 / 2);
    EXPECT_DOUBLE_EQ(seq[3].b, -62.5 / 2);
    EXPECT_EQ(seq[4].rect, host::NSMakeRect(0, 0, 62.5, 62.5));
    EXPECT_EQ(seq[4].op, host::CompositingOperation::SourceOver);
    EXPECT_DOUBLE_EQ(seq[4].fraction, (1 - 1.0 / 10) * 0.25);
    EXPECT_EQ(seq[5].kind, Kind::Restore);
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
    const auto alphas = ghostAlphas(drawsOf(bitmapOf(0)));
    std::vector<double> expected;
    for (int64_t i = c.oldestDrawn; i >= 1; --i)
        expected.push_back((1 - static_cast<double>(i) / static_cast<double>(c.trailLength)) * 0.25);
    EXPECT_EQ(alphas, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrailAlphas,
                         ::testing::Values(TrailCase{3, 3, 2},     // 1/12 then 1/6
                                           TrailCase{15, 0, 0},    // nothing to draw
                                           TrailCase{15, 1, 0},    // entry 0 is the sprite itself
                                           TrailCase{15, 2, 1},    // exactly one ghost
                                           TrailCase{25, 25, 24},  // oldest lands on 0.01 and is kept
                                           TrailCase{26, 26, 24},  // oldest below 0.01 from 26 on
                                           TrailCase{28, 28, 26},
                                           TrailCase{30, 30, 28},
                                           TrailCase{10, 30, 9}),  // entries past trailLength never drawn
                         [](const ::testing::TestParamInfo<TrailCase>& info) {
                             return "length" + std::to_string(info.param.trailLength) + "count" +
                                    std::to_string(info.param.count);
                         });

TEST_F(FrameDrawing, SmallestTrailGhostsMatchExactFractions) {
    view->enableFadeTrails = true;
    view->trailLength = 3;
    fillTrail(0, 3);
    draw();
    const auto alphas = ghostAlphas(drawsOf(bitmapOf(0)));
    ASSERT_EQ(alphas.size(), 2u);
    EXPECT_DOUBLE_EQ(alphas[0], 1.0 / 12);
    EXPECT_DOUBLE_EQ(alphas[1], 1.0 / 6);
}

TEST_F(FrameDrawing, TrailsOffDrawOnlyTheSprites) {
    fillTrail(0, 20);
    fillTrail(1, 20);
    draw();
    EXPECT_EQ(ctx.opsOfKind(Kind::DrawImage).size(), 2u);
}

struct GlowCase {
    const char* name;
    int64_t glowSize;
    double flash;
    bool flashOn, driftOn;
    double phase;
    double blur, hue, brightness, alpha;
};

class Glow : public FrameDrawing, public ::testing::WithParamInterface<GlowCase> {};

TEST_P(Glow, ShadowUnderSpriteHasBlurHueBrightnessAndAlpha) {
    const GlowCase c = GetParam();
    view->enableNeonGlow = true;
    view->enableCollisionFlash = c.flashOn;
    view->enableColorDrift = c.driftOn;
    view->colorDriftPhase = c.phase;
    view->glowSize = c.glowSize;
    view->objects[0].flashIntensity = c.flash;
    view->objects[1].flashIntensity = 0;
    draw();
    auto shadows = ctx.opsOfKind(Kind::SetShadow);
    ASSERT_EQ(shadows.size(), 2u);
    const DrawOp& s = *shadows[0];
    EXPECT_EQ(s.shadowOffset, host::NSZeroSize);
    EXPECT_NEAR(s.a, c.blur, 1e-12);
    EXPECT_EQ(s.color.model, host::Color::Model::HSB);
    EXPECT_NEAR(s.color.hue, c.hue, 1e-12);
    EXPECT_DOUBLE_EQ(s.color.saturation, 0.52);
    EXPECT_NEAR(s.color.brightness, c.brightness, 1e-12);
    EXPECT_NEAR(s.color.alpha, c.alpha, 1e-12);
    // The wheel does not flash: plain glow of the same size.
    EXPECT_DOUBLE_EQ(shadows[1]->a, static_cast<double>(c.glowSize));
    EXPECT_DOUBLE_EQ(shadows[1]->color.brightness, 0.73);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Glow,
    ::testing::Values(GlowCase{"plain", 10, 0, true, false, 0, 10, 0.63, 0.73, 0.8},
                      GlowCase{"halfFlash", 10, 0.5, true, false, 0, 25, 0.63, 0.88, 0.9},
                      GlowCase{"fullFlashCapped", 50, 1, true, false, 0, 60, 0.63, 1.0, 1.0},
                      GlowCase{"fullFlashSmall", 10, 1, true, false, 0, 40, 0.63, 1.0, 1.0},
                      GlowCase{"flashSwitchedOff", 10, 0.5, false, false, 0, 10, 0.63, 0.73, 0.8},
                      GlowCase{"driftUp", 15, 0, true, true, kPi / 2, 15, 0.83, 0.73, 0.8},
                      GlowCase{"driftDown", 15, 0, true, true, 3 * kPi / 2, 15, 0.43, 0.73, 0.8},
                      GlowCase{"driftAtZero", 15, 0, true, true, 0, 15, 0.63, 0.73, 0.8}),
    [](const ::testing::TestParamInfo<GlowCase>& info) { return std::string(info.param.name); });

TEST_F(FrameDrawing, ShadowLivesInsideTheSpritesOwnSavedStateOnly) {
    view->enableNeonGlow = true;
    view->enableFadeTrails = true;
    fillTrail(1, 3);
    const host::Image* wheel = bitmapOf(1);
    draw();
    // Per sprite: Save, SetShadow, Translate, Rotate, Translate, DrawImage (fraction 1), Restore;
    // the wheel's ghosts come before its shadow is set.
    std::string seq;
    for (const auto& op : ctx.ops) {
        switch (op.kind) {
            case Kind::Save: seq += 'S'; break;
            case Kind::Restore: seq += 'R'; break;
            case Kind::SetShadow: seq += 'g'; break;
            case Kind::Translate: seq += 't'; break;
            case Kind::Rotate: seq += 'r'; break;
            case Kind::DrawImage: seq += op.image == wheel && op.fraction < 1 ? 'G' : 'D'; break;
            default: break;
        }
    }
    EXPECT_EQ(seq, "SgtrtDR" "StrtGR" "StrtGR" "SgtrtDR");
}

TEST_F(FrameDrawing, GlowOffDrawsSpriteWithoutShadowStillInItsOwnState) {
    draw();
    EXPECT_TRUE(ctx.opsOfKind(Kind::SetShadow).empty());
    EXPECT_EQ(ctx.opsOfKind(Kind::Save).size(), 2u);
    EXPECT_EQ(ctx.opsOfKind(Kind::Restore).size(), 2u);
    auto rotations = ctx.opsOfKind(Kind::Rotate);
    ASSERT_EQ(rotations.size(), 2u);
    EXPECT_EQ(rotations[1]->a, 0.7);
}

TEST_F(FrameDrawing, MissingLogoLeavesOutItsTrailAndGlowButDrawsTheRest) {
    view->enableStarfield = view->enableCollisionSparks = view->enableFadeTrails = view->enableNeonGlow = true;
    view->starCount = 5;
    view->activeParticleCount = 4;
    fillTrail(0, 10);
    fillTrail(1, 10);
    view->tavrinImage.reset();
    const host::Image* wheel = bitmapOf(1);
    draw();
    const auto images = ctx.opsOfKind(Kind::DrawImage);
    ASSERT_EQ(images.size(), 10u);  // the wheel's nine ghosts and itself
    for (const DrawOp* d : images) EXPECT_EQ(d->image, wheel);
    EXPECT_EQ(ctx.opsOfKind(Kind::SetShadow).size(), 1u);
    EXPECT_EQ(ctx.opsOfKind(Kind::FillEllipse).size(), 9u);
    EXPECT_EQ(ctx.depth, 0);
}

TEST_F(FrameDrawing, BeforeFirstLayoutOnlyBackgroundStarsAndSparksAreDrawn) {
    view->enableStarfield = view->enableCollisionSparks = view->enableNeonGlow = true;
    view->starCount = 3;
    view->activeParticleCount = 1;
    view->objects[0].size = view->objects[1].size = {0, 0};
    draw();
    EXPECT_TRUE(ctx.opsOfKind(Kind::DrawImage).empty());
    EXPECT_TRUE(ctx.opsOfKind(Kind::Save).empty());
    EXPECT_EQ(ctx.opsOfKind(Kind::FillEllipse).size(), 4u);
}

TEST_F(FrameDrawing, SparksTakeHueAndUnclampedLifetimeAsAlphaAndOnlyWhenOn) {
    view->activeParticleCount = 2;
    view->particles[0] = {{50, 60}, {}, 0.5, 0.1, 2, 0.1};
    view->particles[1] = {{10, 20}, {}, 1.0, 0.1, 1, 0.16};
    view->particles[2] = {{99, 99}, {}, 1.0, 0.1, 1, 0.16};  // not live
    draw();
    EXPECT_TRUE(ctx.opsOfKind(Kind::FillEllipse).empty());

    view->enableCollisionSparks = true;
    ctx.ops.clear();
    draw();
    auto fills = ctx.opsOfKind(Kind::FillEllipse);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0]->rect, host::NSMakeRect(48, 58, 4, 4));
    EXPECT_EQ(fills[1]->rect, host::NSMakeRect(9, 19, 2, 2));
    auto colors = ctx.opsOfKind(Kind::SetFillColor);
    ASSERT_EQ(colors.size(), 3u);
    const host::Color& c = colors[1]->color;
    EXPECT_EQ(c.model, host::Color::Model::HSB);
    EXPECT_EQ(c.hue, 0.1);
    EXPECT_EQ(c.saturation, 1.0);
    EXPECT_EQ(c.brightness, 1.0);
    EXPECT_EQ(c.alpha, 0.5);
    // The last spark's colour stays the current fill colour.
    EXPECT_EQ(ctx.ops.back().kind, Kind::FillEllipse);
    EXPECT_EQ(colors[2]->color.hue, 0.16);
}

TEST_F(FrameDrawing, DrawingLeavesTheSceneUntouched) {
    view->enableStarfield = view->enableCollisionSparks = view->enableFadeTrails = view->enableNeonGlow = true;
    view->enableCollisionFlash = view->enableColorDrift = true;
    view->activeParticleCount = 30;
    view->objects[0].flashIntensity = 0.4;
    fillTrail(0, 15);
    fillTrail(1, 15);
    bitmapOf(0);
    bitmapOf(1);
    const std::vector<unsigned char> before(reinterpret_cast<const unsigned char*>(view->objects),
                                            reinterpret_cast<const unsigned char*>(&view->activeParticleCount + 1));
    draw();
    draw();
    const std::vector<unsigned char> after(reinterpret_cast<const unsigned char*>(view->objects),
                                           reinterpret_cast<const unsigned char*>(&view->activeParticleCount + 1));
    EXPECT_TRUE(before == after);
    EXPECT_EQ(ctx.depth, 0);
}

}  // namespace
