// The frame step: visibility and logging, trails, the wheel's curve and spin, wall bounces with
// their sparks and leaks, flash and cooldown, stars, colour drift and the ageing of sparks.
#include <cmath>

#include "support/scene_fixture.h"

using namespace tavrin;

class FrameStep : public fake::SceneTest {
protected:
    /// A view with both sprites at rest far apart, no spin and no sparks.
    std::shared_ptr<View> calmView(CGSize size = {1000, 800}) {
        auto view = showView(size);
        place(*view, 0, {100, 100}, {0, 0});
        place(*view, 1, {700, 300}, {0, 0});
        view->objects[1].rotationSpeed = 0;
        view->activeParticleCount = 0;
        return view;
    }
    /// Where a spark made in this step started: it has moved and slowed once.
    static CGPoint origin(const Particle& p) { return {p.position.x - p.velocity.x / 0.96, p.position.y - p.velocity.y / 0.96}; }
};

TEST_F(FrameStep, LogsEvery150StepsAndOnChangeAndFreezesOffScreen) {
    auto view = calmView();
    auto lines = [&] { return fake.logService.linesContaining("onScreen=").size(); };
    for (int i = 0; i < 150; ++i) view->animateOneFrame();
    EXPECT_EQ(lines(), 1u);  // counter 0
    view->animateOneFrame();
    EXPECT_EQ(lines(), 2u);  // counter 150
    place(*view, 0, {100, 100}, {1, 1});
    view->setNeedsDisplay(false);
    windowOf(*view).visible = false;
    view->animateOneFrame();
    view->animateOneFrame();
    EXPECT_EQ(lines(), 3u);  // the change logs at once, only once
    EXPECT_EQ(view->frameCounter, 153u);
    EXPECT_EQ(view->objects[0].position, (CGPoint{100, 100}));
    EXPECT_FALSE(view->needsDisplay());
    EXPECT_EQ(fake.runLoopService.pendingCount(view.get(), "terminateIfHostIdle"), 1u);
    windowOf(*view).visible = true;
    view->animateOneFrame();
    EXPECT_EQ(fake.runLoopService.pendingCount(view.get(), "terminateIfHostIdle"), 0u);
}

TEST_F(FrameStep, TrailKeepsTheLastStartPositionsNewestFirst) {
    auto view = calmView();
    view->trailLength = 3;
    place(*view, 0, {100, 100}, {2, 1});
    for (int i = 0; i < 5; ++i) view->animateOneFrame();
    const TrailHistory& trail = view->trails[0];
    EXPECT_EQ(trail.count, 3);
    EXPECT_EQ(trail.positions[0], (CGPoint{108, 104}));
    EXPECT_EQ(trail.positions[2], (CGPoint{104, 102}));
    EXPECT_EQ(trail.positions[3], (CGPoint{}));  // beyond the length: untouched
    view->enableFadeTrails = false;
    view->animateOneFrame();
    EXPECT_EQ(trail.positions[0], (CGPoint{108, 104}));
}

TEST_F(FrameStep, WheelCurvesWithItsSpinWithinTheLimit) {
    auto view = calmView();
    place(*view, 1, {500, 400}, {2, 0});
    view->objects[1].rotationSpeed = 0.04;  // wants 0.002 a step; the limit is 2 / 800
    view->animateOneFrame();
    EXPECT_NEAR(view->objects[1].velocity.y, 2 * std::sin(0.002), 1e-12);
    EXPECT_NEAR(view->objects[1].rotation, 0.04, 1e-12);
    view->objects[1].rotationSpeed = 0.4;
    place(*view, 1, {500, 400}, {0, -2});
    view->animateOneFrame();
    EXPECT_NEAR(view->objects[1].velocity.x, 2 * std::sin(0.0025), 1e-12);
    auto flat = calmView({1000, 1});  // a smaller side of 1 point: no curve
    place(*flat, 1, {500, 0}, {2, 0});
    flat->objects[1].rotationSpeed = 0.04;
    flat->animateOneFrame();
    EXPECT_EQ(flat->objects[1].velocity, (CGPoint{2, 0}));
}

TEST_F(FrameStep, CurveTurnIsLimitedBothWaysAndNeedsMoreThanTheMinimumSpeed) {
    auto view = calmView();
    place(*view, 1, {500, 400}, {2, 0});
    view->objects[1].rotationSpeed = -0.4;  // wants -0.02 a step; the limit is 2 / 800
    view->animateOneFrame();
    EXPECT_NEAR(view->objects[1].velocity.y, -2 * std::sin(0.0025), 1e-12);
    for (double speed : {0.0001, 0.00005}) {  // at or below the minimum: no turn at all
        place(*view, 1, {500, 400}, {speed, 0});
        view->objects[1].rotationSpeed = 0.4;
        view->animateOneFrame();
        EXPECT_EQ(view->objects[1].velocity, (CGPoint{speed, 0})) << speed;
    }
}

TEST_F(FrameStep, CornerHitBouncesBothWaysWithTwoBurstsAndOneSpinReversal) {
    auto view = calmView();
    view->enableBallCurve = false;
    view->objects[1].rotationSpeed = 0.03;
    place(*view, 1, {0.5, 0.5}, {-1, -1});
    view->animateOneFrame();
    EXPECT_EQ(view->objects[1].position, (CGPoint{0, 0}));
    EXPECT_EQ(view->objects[1].velocity, (CGPoint{1, 1}));
    EXPECT_EQ(view->objects[1].rotationSpeed, -0.03);
    ASSERT_EQ(view->activeParticleCount, 20);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NEAR(origin(view->particles[i]).x, 0, 1e-9);  // the left wall's burst first
        EXPECT_NEAR(origin(view->particles[i]).y, 30.75, 1e-9);
        EXPECT_GE(view->particles[i].velocity.x, 0);
        // The floor's contact uses x as moved, before the clamp: -0.5 + 31.25.
        EXPECT_NEAR(origin(view->particles[10 + i]).x, 30.75, 1e-9);
        EXPECT_GE(view->particles[10 + i].velocity.y, -1e-12);
    }
}

TEST_F(FrameStep, TopWallLiesBelowTheInsetAndNoRoomPinsWithoutSparks) {
    auto view = calmView({1000, 500});
    windowOf(*view).insets.top = 30;
    place(*view, 1, {500, 407}, {0, 1});
    view->animateOneFrame();
    EXPECT_EQ(view->objects[1].position.y, 407.5);
    EXPECT_EQ(view->objects[1].velocity.y, -1);
    ASSERT_EQ(view->activeParticleCount, 10);
    EXPECT_NEAR(origin(view->particles[0]).y, 470, 1e-9);

    windowOf(*view).insets.top = 480;  // 20 points: neither sprite fits
    view->activeParticleCount = 0;
    place(*view, 0, {100, 5}, {1, 3});
    view->animateOneFrame();
    EXPECT_EQ(view->objects[0].position.y, 0);
    EXPECT_EQ(view->objects[0].velocity, (CGPoint{1, 0}));
    EXPECT_EQ(view->activeParticleCount, 0);
}

TEST_F(FrameStep, FlashCooldownAndColourDriftRunDown) {
    auto view = calmView();
    SceneObject& logo = view->objects[0];
    logo.flashIntensity = 0.0105;
    logo.collisionCooldown = 2;
    view->colorDriftPhase = 6.27;
    view->animateOneFrame();
    EXPECT_DOUBLE_EQ(logo.flashIntensity, 0.00945);
    EXPECT_DOUBLE_EQ(view->colorDriftPhase, 6.27 + 0.03 - kTwoPi);
    view->colorDriftPhase = kTwoPi - 0.03;
    view->animateOneFrame();
    EXPECT_EQ(view->colorDriftPhase, kTwoPi);  // exactly 2 pi is not wrapped
    EXPECT_EQ(logo.flashIntensity, 0);
    EXPECT_EQ(logo.collisionCooldown, 0);
    logo.flashIntensity = 0.01;
    view->animateOneFrame();
    EXPECT_EQ(logo.flashIntensity, 0);
    EXPECT_EQ(logo.collisionCooldown, 0);  // and stays there
}

TEST_F(FrameStep, OnlyTheShownStarsMoveAndWrapOverTheFullBounds) {
    auto view = calmView();
    windowOf(*view).insets.top = 100;
    view->starCount = 10;
    view->stars[0] = {{0.1, 799.9}, {-0.2, 0.3}, 1, 0, 0.05, 1};
    view->stars[1] = {{999.5, 0}, {0.5, 0}, 1, 0, 0.05, 1};
    const Star hidden = view->stars[10];
    view->animateOneFrame();
    EXPECT_NEAR(view->stars[0].position.x, 999.9, 1e-9);
    EXPECT_NEAR(view->stars[0].position.y, 0.2, 1e-9);
    EXPECT_EQ(view->stars[0].twinklePhase, 0.05);
    EXPECT_EQ(view->stars[1].position, (CGPoint{1000, 0}));  // exactly on an edge: stays
    EXPECT_EQ(view->stars[10].position, hidden.position);
}

TEST_F(FrameStep, DeadSparkIsReplacedByTheLastOneAgedOnce) {
    auto view = calmView();
    view->enableStarfield = view->enableColorDrift = false;
    view->activeParticleCount = 3;
    for (int i = 0; i < 3; ++i) view->particles[i] = {{10.0 * i, 0}, {1, 2}, 1, 0.25, 1, 0};
    view->particles[1].lifetime = 0.25;  // reaches exactly 0
    view->animateOneFrame();
    ASSERT_EQ(view->activeParticleCount, 2);
    EXPECT_EQ(view->particles[1].position, (CGPoint{21, 2}));  // the former last spark
    EXPECT_EQ(view->particles[1].velocity, (CGPoint{0.96, 1.92}));
    EXPECT_EQ(view->particles[1].lifetime, 0.75);
}

TEST_F(FrameStep, WallContactOnTheSharedStretchLeaksItsFraction) {
    auto left = addDisplay({{0, 0}, {1000, 800}});
    addDisplay({{1000, 300}, {1000, 400}});  // shares y 300..700 of the right side
    auto view = showOn(left);
    place(*view, 0, {100, 100}, {0, 0});
    view->enableBallCurve = false;
    auto leakAt = [&](double cy) {  // the wheel hits the right wall with its centre at cy
        fake.localCenter.posted.clear();
        place(*view, 1, {937, cy - 31.25}, {1, 0});
        view->animateOneFrame();
        const auto posts = fake.localCenter.postedNamed(TavrinSparkLeakNotification);
        return posts.empty() ? host::UserInfo{} : *posts[0].userInfo;
    };
    auto fraction = [&](double cy) { return leakAt(cy).objectForKeyedSubscript("positionFraction").doubleValue(); };
    EXPECT_EQ(leakAt(300).count(), 6u);  // both ends of the stretch count
    EXPECT_EQ(fraction(700), 1);
    const host::UserInfo info = leakAt(400);
    EXPECT_EQ(info.objectForKeyedSubscript("positionFraction").doubleValue(), 0.25);
    EXPECT_EQ(info.objectForKeyedSubscript("edge").integerValue(), EdgeRight);
    EXPECT_EQ(info.objectForKeyedSubscript("sparkCount").integerValue(), 10);
    EXPECT_EQ(info.objectForKeyedSubscript("angleCenter").doubleValue(), 0);  // out through the wall
    EXPECT_EQ(leakAt(299.75).count() + leakAt(700.25).count(), 0u);
    view->enableCollisionSparks = false;
    EXPECT_EQ(leakAt(400).count(), 0u);
}

// Every wall of a display with neighbours all round: the local burst heads back into the view and
// the leak heads out through the wall, towards the display beyond it.
TEST_F(FrameStep, EachWallsBurstHeadsInwardAndItsLeakOutward) {
    auto middle = addDisplay({{0, 0}, {1000, 800}});
    addDisplay({{-1000, 0}, {1000, 800}});
    addDisplay({{1000, 0}, {1000, 800}});
    addDisplay({{0, -800}, {1000, 800}});
    addDisplay({{0, 800}, {1000, 800}});
    auto view = showOn(middle);
    view->enableBallCurve = false;
    view->objects[1].rotationSpeed = 0;
    struct Wall {
        int64_t edge;
        CGPoint start, velocity;
        double burstCentre, leakCentre;
    };
    const Wall walls[] = {
        {EdgeLeft, {0.5, 300}, {-1, 0}, 0, kPi},
        {EdgeRight, {937.5, 300}, {1, 0}, kPi, 0},
        {EdgeBottom, {500, 0.5}, {0, -1}, kPi / 2, -kPi / 2},
        {EdgeTop, {500, 738}, {0, 1}, -kPi / 2, kPi / 2},
    };
    for (const Wall& wall : walls) {
        place(*view, 0, {100, 400}, {0, 0});
        place(*view, 1, wall.start, wall.velocity);
        view->activeParticleCount = 0;
        fake.localCenter.posted.clear();
        view->animateOneFrame();
        ASSERT_EQ(view->activeParticleCount, 10) << "edge " << wall.edge;
        for (int i = 0; i < 10; ++i) {
            const Particle& p = view->particles[i];
            const double off = std::remainder(std::atan2(p.velocity.y, p.velocity.x) - wall.burstCentre, kTwoPi);
            EXPECT_LE(std::fabs(off), kPi / 2 + 1e-9) << "edge " << wall.edge;
        }
        const auto posts = fake.localCenter.postedNamed(TavrinSparkLeakNotification);
        ASSERT_EQ(posts.size(), 1u) << "edge " << wall.edge;
        EXPECT_EQ(posts[0].userInfo->objectForKeyedSubscript("edge").integerValue(), wall.edge);
        EXPECT_EQ(posts[0].userInfo->objectForKeyedSubscript("angleCenter").doubleValue(), wall.leakCentre)
            << "edge " << wall.edge;
    }
}

TEST_F(FrameStep, WithoutALayoutNothingMovesAndNothingIsRedrawn) {
    auto view = calmView({0.5, 800});  // too narrow to lay out
    ASSERT_FALSE(view->layoutValid);
    place(*view, 0, {10, 20}, {1, 1});
    view->activeParticleCount = 1;
    view->particles[0] = {{5, 5}, {1, 0}, 1, 0.1, 1, 0};
    view->setNeedsDisplay(false);
    view->animateOneFrame();
    EXPECT_EQ(view->frameCounter, 1u);
    EXPECT_TRUE(view->hasRenderedVisibleFrame);
    EXPECT_EQ(view->objects[0].position, (CGPoint{10, 20}));
    EXPECT_EQ(view->particles[0].position, (CGPoint{5, 5}));
    EXPECT_FALSE(view->needsDisplay());
}
