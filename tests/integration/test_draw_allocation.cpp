// Drawing a frame allocates nothing once the sprite bitmaps exist: a full scene (trails of 30,
// 200 stars, 500 sparks, glow, flash and drift) is drawn on the recording context while the
// global operator new counts. This is the only file of this test program that replaces operator
// new; the counter is live only inside the measured region.
#include <gtest/gtest.h>
#include <new>

#include "support/counting_operator_new.h"
#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

using tavrin::Tavrin_ScreenSaverView;

class DrawAllocation : public fake::HostTest {};

TEST_F(DrawAllocation, FullSceneDrawsWithoutAllocatingOnceBitmapsExist) {
    auto view = fake::viewOnWindow({{0, 0}, {1920, 1080}}, windowOn(nullptr, 2.0));
    ASSERT_TRUE(view);
    auto& v = *view;
    fake::setEveryEffect(v, true);
    v.trailLength = 30;
    v.starCount = 200;
    v.activeParticleCount = tavrin::kParticleCapacity;
    v.objects[0].size = {480, 480 / tavrin::kLogoAspect};
    v.objects[1].size = {120, 120};
    v.objects[0].flashIntensity = v.objects[1].flashIntensity = 0.7;
    v.colorDriftPhase = 1;
    for (auto& trail : v.trails) trail.count = tavrin::kTrailCapacity;
    for (auto& spark : v.particles) spark.size = 2, spark.lifetime = 0.5;

    fake::RecordingContext context;
    host::setCurrentContext(&context);
    view->drawRect(view->bounds());  // makes the two bitmaps
    const size_t opsPerFrame = context.ops.size();
    context.ops.clear();             // keeps its capacity

    allocation_counter::gAllocations = 0;
    allocation_counter::gCounting = true;
    for (int frame = 0; frame < 5; ++frame) {
        view->drawRect(view->bounds());
        v.objects[1].rotation += 0.03;
        v.objects[0].flashIntensity *= 0.9;
        context.ops.clear();
    }
    allocation_counter::gCounting = false;
    host::setCurrentContext(nullptr);

    EXPECT_GT(opsPerFrame, 1700u);  // the scene really was full
    EXPECT_EQ(allocation_counter::gAllocations, 0);
}

}  // namespace
