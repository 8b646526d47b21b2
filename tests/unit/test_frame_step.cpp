// The frame step: visibility and logging, trails, the wheel's curve and spin, wall bounces with
// their sparks and leaks, flash and cooldown, stars, colour drift and the ageing of sparks.
#include <cmath>

#include "support/scene_fixture.h"

using namespace tavrin;

class FrameStep : public fake::SceneTest {
protected:
    /// A 1000 x 800 view with both sprites at rest far apart and no sparks.
    std::shared_ptr<View> calmView(CGSize size = {1000, 800}) {
        auto view = showView(size);
        place(*view, 0, {100, 100}, {0, 0});
        place(*view, 1, {700, 500}, {0, 0});
        view->objects[1].rotationSpeed = 0;
        view->activeParticleCount = 0;
        return view;
    }
    static double heading(const Particle& p) { return std::atan2(p.velocity.y, p.velocity.x); }
};

TEST_F(FrameStep, LogsFirstStepEvery150thAndOnVisibilityChange) {
    auto view = calmView();
    auto stateLines = [&] { return fake.logService.linesContaining("onScreen=").size(); };
    view->animateOneFrame();
    EXPECT_EQ(stateLines(), 1u);
    for (int i = 1; i < 150; ++i) view->animateOneFrame();
    EXPECT_EQ(stateLines(), 1u);
    view->animateOneFrame();  // counter 150
    EXPECT_EQ(stateLines(), 2u);
    windowOf(*view).visible = false;
    view->animateOneFrame();
    EXPECT_EQ(stateLines(), 3u);
    EXPECT_FALSE(view->wasOnScreenLastFrame);
    view->animateOneFrame();
    EXPECT_EQ(stateLines(), 3u);
}

TEST_F(FrameStep, OffScreenStepOnlyCountsAndArmsTheIdleCheck) {
    auto view = calmView();
    place(*view, 0, {100, 100}, {1, 1});
    view->animateOneFrame();
    const SceneObject logo = view->objects[0];
    const CGPoint star = view->stars[0].position;
    view->spawnSparksAtPoint({50, 50}, 3, 0, 1);
    view->setNeedsDisplay(false);
    windowOf(*view).visible = false;

    view->animateOneFrame();

    EXPECT_EQ(view->frameCounter, 2u);
    EXPECT_EQ(view->objects[0].position, logo.position);
    EXPECT_EQ(view->stars[0].position, star);
    EXPECT_EQ(view->particles[0].position, (CGPoint{50, 50}));
    EXPECT_FALSE(view->needsDisplay());
    EXPECT_EQ(fake.runLoopService.pendingCount(view.get(), "terminateIfHostIdle"), 1u);
    windowOf(*view).visible = true;
    view->animateOneFrame();
    EXPECT_EQ(fake.runLoopService.pendingCount(view.get(), "terminateIfHostIdle"), 0u);
    EXPECT_TRUE(view->needsDisplay());
}

TEST_F(FrameStep, TrailKeepsTheLastStartPositionsNewestFirst) {
    auto view = calmView();
    view->trailLength = 3;
    place(*view, 0, {100, 100}, {2, 1});
    for (int i = 0; i < 5; ++i) view->animateOneFrame();
    const TrailHistory& trail = view->trails[0];
    EXPECT_EQ(trail.count, 3);
    EXPECT_EQ(trail.positions[0], (CGPoint{108, 104}));
    EXPECT_EQ(trail.positions[1], (CGPoint{106, 103}));
    EXPECT_EQ(trail.positions[2], (CGPoint{104, 102}));
    EXPECT_EQ(trail.positions[3], (CGPoint{}));  // beyond the length: untouched

    view->enableFadeTrails = false;
    view->animateOneFrame();
    EXPECT_EQ(trail.count, 3);
    EXPECT_EQ(trail.positions[0], (CGPoint{108, 104}));
}

TEST_F(FrameStep, WheelCurvesWithItsSpinWithinTheLimit) {
    auto view = calmView();
    place(*view, 1, {500, 400}, {2, 0});
    view->objects[1].rotationSpeed = 0.04;
    view->animateOneFrame();
    // Wanted turn 0.04 * 0.05 = 0.002, limit 2 / 800 = 0.0025.
    EXPECT_NEAR(view->objects[1].velocity.x, 2 * std::cos(0.002), 1e-12);
    EXPECT_NEAR(view->objects[1].velocity.y, 2 * std::sin(0.002), 1e-12);
    EXPECT_NEAR(view->objects[1].rotation, 0.04, 1e-12);

    view->objects[1].rotationSpeed = 0.4;  // wanted 0.02, held to the limit
    place(*view, 1, {500, 400}, {0, -2});
    view->animateOneFrame();
    EXPECT_NEAR(view->objects[1].velocity.x, 2 * std::sin(0.0025), 1e-12);

    place(*view, 1, {500, 400}, {0.0001, 0});  // too slow to curve
    view->animateOneFrame();
    EXPECT_EQ(view->objects[1].velocity, (CGPoint{0.0001, 0}));
    EXPECT_EQ(view->objects[0].rotation, 0);

    auto flat = calmView({1000, 1});  // smaller side of 1 point: no curve
    place(*flat, 1, {500, 0}, {2, 0});
    flat->objects[1].rotationSpeed = 0.04;
    flat->animateOneFrame();
    EXPECT_EQ(flat->objects[1].velocity, (CGPoint{2, 0}));
}

TEST_F(FrameStep, WallBounceClampsReflectsAndThrowsSparksInward) {
    auto view = calmView();
    const double h = view->objects[0].size.height;
    place(*view, 0, {0.5, 100}, {-1, 0.25});
    view->animateOneFrame();
    EXPECT_EQ(view->objects[0].position, (CGPoint{0, 100.25}));
    EXPECT_EQ(view->objects[0].velocity, (CGPoint{1, 0.25}));
    ASSERT_EQ(view->activeParticleCount, 10);
    for (int i = 0; i < 10; ++i) {
        const Particle& p = view->particles[i];
        EXPECT_TRUE(heading(p) >= -kPi / 2 && heading(p) < kPi / 2);
        // Sparks made this step have moved once already.
        EXPECT_NEAR(p.position.x - p.velocity.x / 0.96, 0, 1e-9);
        EXPECT_NEAR(p.position.y - p.velocity.y / 0.96, 100.25 + h / 2, 1e-9);
    }

    view->enableCollisionSparks = false;
    view->activeParticleCount = 0;
    place(*view, 0, {749.5, 100}, {1, 0});
    view->animateOneFrame();
    EXPECT_EQ(view->objects[0].position.x, 750);
    EXPECT_EQ(view->objects[0].velocity.x, -1);
    EXPECT_EQ(view->activeParticleCount, 0);
}

TEST_F(FrameStep, CornerHitBouncesBothWaysAndReversesSpinOnce) {
    auto view = calmView();
    place(*view, 1, {0.5, 0.5}, {-1, -1});
    view->enableBallCurve = false;
    view->objects[1].rotationSpeed = 0.03;
    view->animateOneFrame();
    EXPECT_EQ(view->objects[1].position, (CGPoint{0, 0}));
    EXPECT_EQ(view->objects[1].velocity, (CGPoint{1, 1}));
    EXPECT_EQ(view->objects[1].rotationSpeed, -0.03);
    ASSERT_EQ(view->activeParticleCount, 20);
    for (int i = 0; i < 10; ++i) EXPECT_GE(view->particles[i].velocity.x, 0);       // left wall first
    for (int i = 10; i < 20; ++i) EXPECT_GE(view->particles[i].velocity.y, -1e-12);  // then the floor
    // The floor's burst starts at x = -0.5 + 31.25: the x after the move, before the clamp.
    const Particle& p = view->particles[10];
    EXPECT_NEAR(p.position.x - p.velocity.x / 0.96, 31.75 - 1, 1e-9);
}

TEST_F(FrameStep, TopWallLiesBelowTheInsetAndNoRoomPins) {
    auto view = calmView({1000, 500});
    windowOf(*view).insets.top = 30;
    place(*view, 1, {500, 407}, {0, 1});
    view->animateOneFrame();
    EXPECT_EQ(view->objects[1].position.y, 407.5);
    EXPECT_EQ(view->objects[1].velocity.y, -1);
    ASSERT_EQ(view->activeParticleCount, 10);
    const Particle& p = view->particles[0];
    EXPECT_NEAR(p.position.y - p.velocity.y / 0.96, 470, 1e-9);
    EXPECT_LE(p.velocity.y, 1e-12);

    windowOf(*view).insets.top = 480;  // 20 points of height: the sprites do not fit
    view->activeParticleCount = 0;
    place(*view, 0, {100, 5}, {1, 3});
    view->animateOneFrame();
    EXPECT_EQ(view->objects[0].position.y, 0);
    EXPECT_EQ(view->objects[0].velocity, (CGPoint{1, 0}));
    EXPECT_EQ(view->activeParticleCount, 0);
}

TEST_F(FrameStep, FlashDecaysAndCooldownCountsDown) {
    auto view = calmView();
    SceneObject& logo = view->objects[0];
    logo.flashIntensity = 1;
    logo.collisionCooldown = 15;
    view->animateOneFrame();
    EXPECT_DOUBLE_EQ(logo.flashIntensity, 0.9);
    view->animateOneFrame();
    EXPECT_DOUBLE_EQ(logo.flashIntensity, 0.81);
    for (int i = 0; i < 13; ++i) view->animateOneFrame();
    EXPECT_EQ(logo.collisionCooldown, 0);
    view->animateOneFrame();
    EXPECT_EQ(logo.collisionCooldown, 0);

    logo.flashIntensity = 0.0105;
    view->animateOneFrame();
    EXPECT_DOUBLE_EQ(logo.flashIntensity, 0.00945);
    view->animateOneFrame();
    EXPECT_EQ(logo.flashIntensity, 0);
    logo.flashIntensity = 0.01;
    view->animateOneFrame();
    EXPECT_EQ(logo.flashIntensity, 0);
}

TEST_F(FrameStep, ColourDriftWrapsOnlyAboveTwoPi) {
    auto view = calmView();
    view->colorDriftPhase = 6.27;
    view->animateOneFrame();
    EXPECT_DOUBLE_EQ(view->colorDriftPhase, 6.27 + 0.03 - kTwoPi);
    view->colorDriftPhase = kTwoPi - 0.03;
    view->animateOneFrame();
    EXPECT_EQ(view->colorDriftPhase, kTwoPi);
    view->enableColorDrift = false;
    view->animateOneFrame();
    EXPECT_EQ(view->colorDriftPhase, kTwoPi);
}

TEST_F(FrameStep, OnlyTheShownStarsMoveAndWrapOverTheFullBounds) {
    auto view = calmView();
    windowOf(*view).insets.top = 100;
    view->starCount = 10;
    view->stars[0].position = {0.1, 799.9};
    view->stars[0].velocity = {-0.2, 0.3};
    view->stars[1].position = {999.9, 0};
    view->stars[1].velocity = {0.3, 0};
    const Star before = view->stars[1], hidden = view->stars[10];
    view->animateOneFrame();
    EXPECT_NEAR(view->stars[0].position.x, 999.9, 1e-9);
    EXPECT_NEAR(view->stars[0].position.y, 0.2, 1e-9);
    EXPECT_NEAR(view->stars[1].position.x, 0.2, 1e-9);
    EXPECT_EQ(view->stars[1].position.y, 0);  // exactly on the edge: stays
    EXPECT_EQ(view->stars[1].twinklePhase, before.twinklePhase + before.twinkleSpeed);
    EXPECT_EQ(view->stars[10].position, hidden.position);
    EXPECT_EQ(view->stars[10].twinklePhase, hidden.twinklePhase);

    view->enableStarfield = false;
    const CGPoint still = view->stars[0].position;
    view->animateOneFrame();
    EXPECT_EQ(view->stars[0].position, still);
}

TEST_F(FrameStep, DeadSparkIsReplacedByTheLastOneAgedOnce) {
    auto view = calmView();
    view->enableStarfield = false;
    view->enableColorDrift = false;
    view->activeParticleCount = 3;
    for (int i = 0; i < 3; ++i) view->particles[i] = {{10.0 * i, 0}, {1, 2}, 1, 0.25, 1, 0};
    view->particles[1].lifetime = 0.25;  // reaches exactly 0
    view->animateOneFrame();
    ASSERT_EQ(view->activeParticleCount, 2);
    EXPECT_EQ(view->particles[0].position, (CGPoint{1, 2}));
    EXPECT_EQ(view->particles[1].position, (CGPoint{21, 2}));  // the former last spark
    EXPECT_EQ(view->particles[1].velocity, (CGPoint{0.96, 1.92}));
    EXPECT_EQ(view->particles[1].lifetime, 0.75);
}

class FrameStepLeaks : public FrameStep {
protected:
    void SetUp() override {
        FrameStep::SetUp();
        auto left = addDisplay({{0, 0}, {1000, 800}});
        addDisplay({{1000, 300}, {1000, 400}});  // shares y 300..700 of the left display's right side
        view = showOn(left);
        place(*view, 0, {100, 100}, {0, 0});
        view->objects[1].rotationSpeed = 0;
        view->enableBallCurve = false;
    }
    /// Sends the wheel into the right wall with its centre at height cy; the leaks posted.
    std::vector<fake::RecordingNotificationCenter::Posted> hitRightWallAt(double cy) {
        fake.localCenter.posted.clear();
        place(*view, 1, {937, cy - 31.25}, {1, 0});
        view->animateOneFrame();
        return fake.localCenter.postedNamed(TavrinSparkLeakNotification);
    }
    std::shared_ptr<View> view;
};

TEST_F(FrameStepLeaks, ContactOnTheSharedStretchPostsItsFraction) {
    auto posts = hitRightWallAt(300);
    ASSERT_EQ(posts.size(), 1u);
    const host::UserInfo& info = *posts[0].userInfo;
    EXPECT_EQ(info.objectForKeyedSubscript("edge").integerValue(), EdgeRight);
    EXPECT_EQ(info.objectForKeyedSubscript("positionFraction").doubleValue(), 0);
    EXPECT_EQ(info.objectForKeyedSubscript("sparkCount").integerValue(), 10);
    EXPECT_EQ(info.objectForKeyedSubscript("angleCenter").doubleValue(), 0);
    EXPECT_EQ(info.objectForKeyedSubscript("angleSpread").doubleValue(), kPi / 2);
    EXPECT_EQ(info.objectForKeyedSubscript("targetScreenFrame").rectValue(), (CGRect{{1000, 300}, {1000, 400}}));
    posts = hitRightWallAt(700);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].userInfo->objectForKeyedSubscript("positionFraction").doubleValue(), 1);
    posts = hitRightWallAt(400);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].userInfo->objectForKeyedSubscript("positionFraction").doubleValue(), 0.25);
}

TEST_F(FrameStepLeaks, NothingLeaksOffTheStretchOrWithSparksOff) {
    EXPECT_TRUE(hitRightWallAt(299.75).empty());
    EXPECT_TRUE(hitRightWallAt(700.25).empty());
    view->enableCollisionSparks = false;
    EXPECT_TRUE(hitRightWallAt(400).empty());
    view->enableCollisionSparks = true;
    view->enableCrossMonitorSparks = false;
    EXPECT_TRUE(hitRightWallAt(400).empty());
    EXPECT_GT(view->activeParticleCount, 0);  // the local burst still flies
}
