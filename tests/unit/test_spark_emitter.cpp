// The spark emitter: one scripted spark, a burst without a fan, and a full pool.
#include <cmath>

#include "support/fake_host.h"
#include "module/view/tavrin_screensaver_view.h"

using namespace tavrin;

class SparkEmitter : public fake::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        view = Tavrin_ScreenSaverView::create({{0, 0}, {800, 600}}, false);
    }
    std::shared_ptr<Tavrin_ScreenSaverView> view;
};

TEST_F(SparkEmitter, ScriptedSparkDrawsDirectionSpeedDecaySizeHue) {
    fake.randomService.pushUnits({0.75, 0.5, 0.2, 0.25, 0.5});
    view->spawnSparksAtPoint({10, 20}, 1, 0, kPi / 2);
    ASSERT_EQ(view->activeParticleCount, 1);
    const Particle& p = view->particles[0];
    EXPECT_EQ(p.position, (CGPoint{10, 20}));
    EXPECT_NEAR(p.velocity.x, 5 / std::sqrt(2.0), 1e-9);  // heading pi/4, speed 5
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
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(std::atan2(view->particles[i].velocity.y, view->particles[i].velocity.x), i < 3 ? 1.0 : 1.5, 1e-12);
}

TEST_F(SparkEmitter, FullPoolDropsTheRestOfTheBurst) {
    view->spawnSparksAtPoint({0, 0}, 495, 0, 1);
    const uint64_t draws = fake.randomService.drawCount();
    view->spawnSparksAtPoint({1, 1}, 20, 0, 1);
    EXPECT_EQ(view->activeParticleCount, 500);
    EXPECT_EQ(fake.randomService.drawCount() - draws, 5u * 5u);  // dropped sparks draw nothing
    EXPECT_EQ(view->particles[499].position, (CGPoint{1, 1}));
    view->activeParticleCount = 7;
    view->spawnSparksAtPoint({0, 0}, -3, 0, 1);
    EXPECT_EQ(view->activeParticleCount, 7);
}
