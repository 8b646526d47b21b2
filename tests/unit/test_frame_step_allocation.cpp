// The frame step allocates nothing: two views on side-by-side displays run with every effect on,
// full trails, collisions, sparks and leaks between them while the global operator new counts.
// This is the only file of the test program that replaces operator new; the counter is live only
// inside the measured region.
#include <cstdlib>
#include <new>

#include "support/counting_operator_new.h"
#include "support/scene_fixture.h"

using namespace tavrin;

class FrameStepAllocation : public fake::SceneTest {
protected:
    // The recording centre of the test host copies every post; the plain in-process centre is
    // what a real host delivers through.
    void SetUp() override {
        SceneTest::SetUp();
        fake.defaultCenter = &plainCenter;
        // Diagnostics may allocate (they format a line); keep the host's log quiet.
        fake.logService.defaultLevelEnabled = false;
    }
    void TearDown() override {
        fake.defaultCenter = &fake.localCenter;
        SceneTest::TearDown();
    }
    host::LocalNotificationCenter plainCenter;
};

TEST_F(FrameStepAllocation, StepsWithTrailsCollisionsSparksAndLeaksAllocateNothing) {
    auto a = addDisplay({{0, 0}, {1920, 1080}});
    auto b = addDisplay({{1920, 0}, {1920, 1080}});
    auto left = showOn(a), right = showOn(b);
    int leaks = 0;
    plainCenter.addObserver(this, TavrinSparkLeakNotification, nullptr, [&](const host::Notification&) { ++leaks; });
    for (auto* v : {left.get(), right.get()}) v->trailLength = 30;
    for (int i = 0; i < 10; ++i) left->animateOneFrame(), right->animateOneFrame();  // warm up

    int collisions = 0;
    int64_t mostSparks = 0;
    allocation_counter::gAllocations = 0;
    allocation_counter::gCounting = true;
    for (int step = 0; step < 3000; ++step) {
        if (step % 40 == 0) {
            // Throw the wheel at the shared wall and the logo into the wheel's path.
            place(*left, 1, {1790, 500}, {6, 0.5});
            place(*left, 0, {1290, 480}, {8, 0});
            place(*right, 1, {10, 300}, {-6, 0.3});
            right->spawnSparksAtPoint({960, 540}, 500, 0, kPi);  // a full pool to age and to overflow
        }
        left->animateOneFrame();
        right->animateOneFrame();
        collisions += left->objects[0].collisionCooldown == 15;
        mostSparks = std::max({mostSparks, left->activeParticleCount, right->activeParticleCount});
    }
    allocation_counter::gCounting = false;

    EXPECT_EQ(allocation_counter::gAllocations, 0);
    EXPECT_GT(leaks, 100);
    EXPECT_GT(collisions, 10);
    EXPECT_EQ(mostSparks, 500);
    EXPECT_EQ(left->trails[0].count, 30);
    plainCenter.removeObserver(this, TavrinSparkLeakNotification, nullptr);
}
