// What must hold over long runs: sprites never leave the usable area, the spark pool never
// overflows and holds only live sparks, and a run from the same seed repeats exactly.
#include <cmath>
#include <cstring>

#include "support/scene_fixture.h"

using namespace tavrin;

class SimulationProperties : public fake::SceneTest {};

TEST_F(SimulationProperties, SpritesStayInsideTheUsableArea) {
    struct Case {
        CGSize size;
        double topInset;
    };
    for (const Case& c : {Case{{1920, 1080}, 0}, Case{{800, 600}, 40}, Case{{300, 900}, 0}, Case{{120, 40}, 5}}) {
        for (uint64_t seed : {1u, 2u, 3u}) {
            fake.randomService.reset(seed);
            fake.screenList.clear();
            auto view = showView(c.size);
            windowOf(*view).insets.top = c.topInset;
            const double top = c.size.height - c.topInset;
            int violations = 0;
            for (int step = 0; step < 4000; ++step) {
                view->animateOneFrame();
                for (const SceneObject& o : view->objects) {
                    const double maxX = std::max(c.size.width - o.size.width, 0.0);
                    const double maxY = std::max(top - o.size.height, 0.0);
                    violations += !(o.position.x >= 0 && o.position.x <= maxX && o.position.y >= 0 &&
                                    o.position.y <= maxY);
                }
            }
            EXPECT_EQ(violations, 0) << c.size.width << "x" << c.size.height << " seed " << seed;
        }
    }
}

TEST_F(SimulationProperties, SparkPoolNeverOverflowsAndHoldsOnlyLiveSparks) {
    auto a = addDisplay({{0, 0}, {160, 90}});
    auto b = addDisplay({{160, 0}, {160, 90}});
    auto left = showOn(a), right = showOn(b);
    // Small views and fast sprites: bounces, collisions and leaks all the time.
    for (auto* v : {left.get(), right.get()}) {
        v->objects[0].velocity = {2.9, 1.3};
        v->objects[1].velocity = {-2.3, 1.7};
    }
    int64_t largest = 0;
    int bad = 0;
    for (int step = 0; step < 3000; ++step) {
        if (step % 5 == 0) {
            left->spawnSparksAtPoint({80, 45}, 150, 0, kPi);
            largest = std::max(largest, left->activeParticleCount);
        }
        left->animateOneFrame();
        right->animateOneFrame();
        for (const auto* v : {left.get(), right.get()}) {
            largest = std::max(largest, v->activeParticleCount);
            bad += v->activeParticleCount > 500;
            for (int64_t i = 0; i < v->activeParticleCount; ++i) bad += !(v->particles[i].lifetime > 0);
            bad += !(v->particles[0].lifetime <= 1);
        }
    }
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(largest, 500);  // the pool was really filled
    EXPECT_GT(fake.localCenter.postedNamed(TavrinSparkLeakNotification).size(), 100u);
}

TEST_F(SimulationProperties, SameSeedRepeatsTheRunExactly) {
    auto run = [&](uint64_t seed) {
        fake.randomService.reset(seed);
        fake.screenList.clear();
        auto view = showView({1280, 720});
        for (int step = 0; step < 2000; ++step) view->animateOneFrame();
        struct Snapshot {
            SceneObject objects[kObjectCount];
            Particle particles[kParticleCapacity];
            Star stars[kStarCapacity];
            int64_t sparks;
        } s{};
        std::memcpy(s.objects, view->objects, sizeof s.objects);
        std::memcpy(s.particles, view->particles, sizeof s.particles);
        std::memcpy(s.stars, view->stars, sizeof s.stars);
        s.sparks = view->activeParticleCount;
        return s;
    };
    const auto first = run(42), second = run(42), other = run(43);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
    EXPECT_NE(std::memcmp(&first, &other, sizeof first), 0);
}
