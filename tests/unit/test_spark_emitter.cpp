// The spark emitter: what one scripted spark gets, the fan of directions, and a full pool.
#include <cmath>

#include "support/fake_host.h"
#include "view/tavrin_screensaver_view.h"

using namespace tavrin;

class SparkEmitter : public fake::HostTest {
protected:
    std::shared_ptr<Tavrin_ScreenSaverView> view = Tavrin_ScreenSaverView::create({{0, 0}, {800, 600}}, false);
};

TEST_F(SparkEmitter, ScriptedSparkDrawsDirectionSpeedDecaySizeHue) {
    fake.randomService.pushUnits({0.75, 0.5, 0.2, 0.25, 0.5});
    view->spawnSparksAtPoint({10, 20}, 1, 0, kPi / 2);
    ASSERT_EQ(view->activeParticleCount, 1);
    const Particle& p = view->particles[0];
    EXPECT_EQ(p.position, (CGPoint{10, 20}));
    // direction -pi/2 + pi * 0.75 = pi/4, speed 2 + 6 * 0.5 = 5
    EXPECT_NEAR(p.velocity.x, 5 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(p.velocity.y, 5 / std::sqrt(2.0), 1e-9);
    EXPECT_EQ(p.lifetime, 1);
    EXPECT_NEAR(p.decay, 1.0 / 13, 1e-7);
    EXPECT_NEAR(p.size, 1.5, 1e-7);
    EXPECT_NEAR(p.hue, 0.085, 1e-7);
}

TEST_F(SparkEmitter, NoFanMeansOneHeadingAndNoDirectionDraw) {
    const uint64_t draws = fake.randomService.drawCount();
    view->spawnSparksAtPoint({0, 0}, 3, 1.0, 0);
    view->spawnSparksAtPoint({0, 0}, 3, 1.0, -0.5);
    EXPECT_EQ(fake.randomService.drawCount() - draws, 6u * 4u);
    for (int i = 0; i < 6; ++i) {
        const Particle& p = view->particles[i];
        EXPECT_NEAR(std::atan2(p.velocity.y, p.velocity.x), i < 3 ? 1.0 : 1.5, 1e-12);
    }
}

TEST_F(SparkEmitter, EveryNewSparkStaysInItsRanges) {
    view->spawnSparksAtPoint({5, 6}, 400, 0, kPi / 2);
    ASSERT_EQ(view->activeParticleCount, 400);
    for (int i = 0; i < 400; ++i) {
        const Particle& p = view->particles[i];
        const double speed = std::hypot(p.velocity.x, p.velocity.y);
        EXPECT_GE(p.velocity.x, 0);  // a fan of +-pi/2 around 0 never heads left
        EXPECT_TRUE(speed >= 2 - 1e-12 && speed < 8) << speed;
        EXPECT_TRUE(1 / p.decay >= 10 && 1 / p.decay < 25 + 1e-9) << p.decay;
        EXPECT_TRUE(p.size >= 1 && p.size < 3) << p.size;
        EXPECT_TRUE(p.hue >= 0 && p.hue < 0.17) << p.hue;
        EXPECT_EQ(p.position, (CGPoint{5, 6}));
    }
}

TEST_F(SparkEmitter, FullPoolDropsTheRestOfTheBurst) {
    view->spawnSparksAtPoint({0, 0}, 495, 0, 1);
    const uint64_t draws = fake.randomService.drawCount();
    view->spawnSparksAtPoint({1, 1}, 20, 0, 1);
    EXPECT_EQ(view->activeParticleCount, 500);
    EXPECT_EQ(fake.randomService.drawCount() - draws, 5u * 5u);  // dropped sparks draw nothing
    EXPECT_EQ(view->particles[499].position, (CGPoint{1, 1}));
    view->spawnSparksAtPoint({2, 2}, 1, 0, 1);
    EXPECT_EQ(view->activeParticleCount, 500);

    view->activeParticleCount = 7;
    view->spawnSparksAtPoint({0, 0}, 0, 0, 1);
    view->spawnSparksAtPoint({0, 0}, -3, 0, 1);
    EXPECT_EQ(view->activeParticleCount, 7);
}
