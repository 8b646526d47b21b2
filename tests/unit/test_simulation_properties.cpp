// What must hold over long runs: sprites never leave the usable area, the spark pool never
// overflows and holds only live sparks, and a run from the same seed repeats exactly.
#include <cstring>

#include "support/scene_fixture.h"

using namespace tavrin;

class SimulationProperties : public fake::SceneTest {};

TEST_F(SimulationProperties, SpritesStayInBoundsAndThePoolNeverOverflows) {
    for (auto [size, inset] : {std::pair{CGSize{1920, 1080}, 0.0}, {{300, 900}, 40.0}, {{160, 90}, 5.0}}) {
        for (uint64_t seed : {1u, 2u}) {
            fake.randomService.reset(seed);
            fake.screenList.clear();
            auto neighbour = addDisplay({{size.width, 0}, size});
            auto view = showView(size);
            auto other = showOn(neighbour);
            windowOf(*view).insets.top = inset;
            view->objects[0].velocity = {2.9, 1.3};  // fast: bounces, collisions and leaks galore
            view->objects[1].velocity = {-2.3, 1.7};
            int outside = 0, overflow = 0;
            int64_t largest = 0;
            for (int step = 0; step < 4000; ++step) {
                if (step % 5 == 0) view->spawnSparksAtPoint({10, 10}, 150, 0, kPi);
                largest = std::max(largest, view->activeParticleCount);
                view->animateOneFrame();
                other->animateOneFrame();
                for (const SceneObject& o : view->objects)
                    outside += !(o.position.x >= 0 && o.position.x <= std::max(size.width - o.size.width, 0.0) &&
                                 o.position.y >= 0 && o.position.y <= std::max(size.height - inset - o.size.height, 0.0));
                for (const View* v : {view.get(), other.get()}) {
                    overflow += v->activeParticleCount > 500;
                    for (int64_t i = 0; i < v->activeParticleCount; ++i) overflow += !(v->particles[i].lifetime > 0);
                }
            }
            EXPECT_EQ(outside, 0) << size.width << "x" << size.height << " seed " << seed;
            EXPECT_EQ(overflow, 0);
            EXPECT_EQ(largest, 500);  // the pool really was full
        }
    }
    EXPECT_GT(fake.localCenter.postedNamed(TavrinSparkLeakNotification).size(), 100u);
}

TEST_F(SimulationProperties, SameSeedRepeatsTheRunExactly) {
    struct Snapshot {
        SceneObject objects[kObjectCount];
        Particle particles[kParticleCapacity];
        int64_t sparks;
    };
    auto run = [&](uint64_t seed) {
        fake.randomService.reset(seed);
        auto view = showView({1280, 720});
        for (int step = 0; step < 2000; ++step) view->animateOneFrame();
        Snapshot s{};
        std::memcpy(s.objects, view->objects, sizeof s.objects);
        std::memcpy(s.particles, view->particles, sizeof s.particles);
        s.sparks = view->activeParticleCount;
        return s;
    };
    const Snapshot first = run(42), second = run(42), other = run(43);
    EXPECT_EQ(std::memcmp(&first, &second, sizeof first), 0);
    EXPECT_NE(std::memcmp(&first, &other, sizeof first), 0);
}
