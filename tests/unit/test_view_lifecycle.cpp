// Creation, hooks and destruction of a view: what a host may rely on from the first call to the last.
#include <cmath>

#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

using namespace tavrin;
using fake::FakeWindow;

namespace {

class ViewLifecycle : public fake::HostTest {
protected:
    std::shared_ptr<Tavrin_ScreenSaverView> make(bool preview = false, CGRect frame = {{0, 0}, {1000, 500}}) {
        return Tavrin_ScreenSaverView::create(frame, preview);
    }
    /// Scripts the six draws of the first star; the other stars draw from the fixed sequence.
    void scriptFirstStar(double ux, double uy) { fake.randomService.pushUnits({ux, uy, 0.5, 0.5, 0.5, 0.5}); }
};

TEST_F(ViewLifecycle, LiveViewsListEveryViewUntilItIsDestroyed) {
    auto a = make();
    auto b = make(true);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(Tavrin_ScreenSaverView::sLiveViews(), (std::vector<Tavrin_ScreenSaverView*>{a.get(), b.get()}));
    a.reset();
    EXPECT_EQ(Tavrin_ScreenSaverView::sLiveViews(), (std::vector<Tavrin_ScreenSaverView*>{b.get()}));
}

TEST_F(ViewLifecycle, ARefusedFrameCreatesNothingAndRegistersNothing) {
    auto v = make(false, {{0, 0}, {NAN, 100}});
    EXPECT_EQ(v, nullptr);
    EXPECT_TRUE(Tavrin_ScreenSaverView::sLiveViews().empty());
    EXPECT_EQ(fake.localCenter.observerCount(), 0u);
    EXPECT_EQ(fake.distributed.observerCount(), 0u);
    EXPECT_TRUE(fake.defaultsService.calls.empty());
}

TEST_F(ViewLifecycle, FreshViewStartsEmptyWithSettingsAndImagesLoaded) {
    fake.clockService.set(1234.5);
    auto v = make();
    EXPECT_DOUBLE_EQ(v->animationTimeInterval(), 1.0 / 30.0);
    EXPECT_EQ(v->activeParticleCount, 0);
    EXPECT_EQ(v->trails[0].count, 0);
    EXPECT_EQ(v->trails[1].count, 0);
    EXPECT_FALSE(v->layoutValid);
    EXPECT_FALSE(v->edgeNeighborsValid);
    EXPECT_EQ(v->layoutSize, (CGSize{0, 0}));
    EXPECT_EQ(v->frameCounter, 0u);
    EXPECT_DOUBLE_EQ(v->createdAt, 1234.5);
    EXPECT_FALSE(v->hasRenderedVisibleFrame);
    for (const auto& o : v->objects) {
        EXPECT_EQ(o.position, (CGPoint{0, 0}));
        EXPECT_EQ(o.velocity, (CGPoint{0, 0}));
        EXPECT_EQ(o.size, (CGSize{0, 0}));
    }
    EXPECT_EQ(v->objects[0].imageType, ImageTypeLogo);
    EXPECT_EQ(v->objects[1].imageType, ImageTypeWheel);
    EXPECT_TRUE(v->enableFadeTrails);
    EXPECT_EQ(v->starCount, 50);
    EXPECT_EQ(fake.defaultsService.calls.front(), "registerDefaults");
    ASSERT_TRUE(v->tavrinImage && v->wheelImage);
    EXPECT_EQ(fake.graphicsService.loadedPaths,
              (std::vector<std::string>{"/bundle/tavrin.svg", "/bundle/tavrin_wheel.svg"}));
    EXPECT_TRUE(v->isOpaque());
}

TEST_F(ViewLifecycle, MissingOrBrokenImageLeavesOnlyThatImageEmpty) {
    fake.bundleService.resources.erase("tavrin.svg");
    fake.graphicsService.svgFiles.erase("/bundle/tavrin_wheel.svg");  // present but unreadable
    auto v = make();
    ASSERT_TRUE(v);
    EXPECT_EQ(v->tavrinImage, nullptr);
    EXPECT_EQ(v->wheelImage, nullptr);
    EXPECT_EQ(Tavrin_ScreenSaverView::sLiveViews().size(), 1u);
}

TEST_F(ViewLifecycle, StarVelocityComponentsKeepAMinimumMagnitude) {
    struct Case {
        double u;         // the draw for the x component
        double expected;  // the resulting component
    };
    // u = 0.5 gives exactly 0, which becomes +0.05; u = 0 gives exactly -0.3, which stays.
    const Case cases[] = {{0.5, 0.05}, {0.0, -0.3}, {0.26 / 0.6, -0.05}, {0.35 / 0.6, 0.05}, {0.999, 0.2994}};
    for (const Case& c : cases) {
        fake.randomService.reset();
        scriptFirstStar(c.u, 0.0);
        auto v = make();
        EXPECT_NEAR(v->stars[0].velocity.x, c.expected, 1e-4) << "u = " << c.u;
        EXPECT_DOUBLE_EQ(v->stars[0].velocity.y, -0.3);
    }
}

TEST_F(ViewLifecycle, EveryStarGetsVelocityAndLookWithinRangeWhateverTheStarCount) {
    fake.defaultsService.setStoredInteger("org.tavrin.screensaver", "StarCount", 10);
    auto v = make();
    EXPECT_EQ(v->starCount, 10);
    EXPECT_EQ(fake.randomService.drawCount(), 200u * 6u);
    for (const Star& s : v->stars) {
        for (double c : {s.velocity.x, s.velocity.y}) {
            EXPECT_GE(std::fabs(c), 0.05);
            EXPECT_GE(c, -0.3);
            EXPECT_LT(c, 0.3);
        }
        EXPECT_GE(s.brightness, 0.3);
        EXPECT_LT(s.brightness, 1.0);
        EXPECT_LT(s.twinklePhase, kTwoPi);
        EXPECT_GE(s.twinkleSpeed, 0.02);
        EXPECT_LT(s.twinkleSpeed, 0.08);
        EXPECT_GE(s.radius, 0.5);
        EXPECT_LT(s.radius, 2.0);
    }
}

TEST_F(ViewLifecycle, StarDrawsComeInTheirFixedOrder) {
    fake.randomService.pushUnits({0.75, 0.25, 0.5, 0.25, 0.5, 1.0 / 3});
    auto v = make();
    const Star& s = v->stars[0];
    EXPECT_NEAR(s.velocity.x, 0.15, 1e-12);
    EXPECT_NEAR(s.velocity.y, -0.15, 1e-12);
    EXPECT_NEAR(s.brightness, 0.65, 1e-12);
    EXPECT_NEAR(s.twinklePhase, kTwoPi / 4, 1e-12);
    EXPECT_NEAR(s.twinkleSpeed, 0.05, 1e-12);
    EXPECT_NEAR(s.radius, 1.0, 1e-6);
}

TEST_F(ViewLifecycle, EveryViewRegistersThreeObserversAndRemovesThemWhenDestroyed) {
    auto full = make(false);
    auto preview = make(true);
    EXPECT_EQ(fake.localCenter.observerCount(), 4u);
    EXPECT_EQ(fake.distributed.observerCount(), 2u);
    full.reset();
    preview.reset();
    EXPECT_EQ(fake.localCenter.observerCount(), 0u);
    EXPECT_EQ(fake.distributed.observerCount(), 0u);
}

TEST_F(ViewLifecycle, DestructionCancelsEveryDelayedCallAimedAtTheView) {
    auto v = make();
    v->hasRenderedVisibleFrame = true;
    v->scheduleIdleTerminationCheck();
    fake.runLoopService.performAfterDelay(v.get(), "somethingElse", 1.0, [] { FAIL() << "ran after destruction"; });
    ASSERT_EQ(fake.runLoopService.pendingCount(), 2u);
    v.reset();
    EXPECT_EQ(fake.runLoopService.pendingCount(), 0u);
    fake.runLoopService.advance(10);
    EXPECT_TRUE(fake.processService.exitStatuses.empty());
}

TEST_F(ViewLifecycle, WillStopIsHandledOnTheMainQueueAndKeepsTheViewAliveUntilThen) {
    auto v = make();
    v->startAnimation();
    v->hasRenderedVisibleFrame = true;
    fake.distributed.postNotificationName(ScreenSaverWillStopNotification, nullptr, nullptr);
    EXPECT_TRUE(v->isAnimating()) << "the handler must only queue its work";
    std::weak_ptr<Tavrin_ScreenSaverView> weak = v;
    v.reset();
    ASSERT_FALSE(weak.expired()) << "queued work must hold the view";
    auto* raw = weak.lock().get();
    EXPECT_EQ(fake.queue.runPending(), 1);
    EXPECT_TRUE(weak.expired());
    // Its idle check was armed by the queued work and then cancelled with the view.
    EXPECT_EQ(fake.runLoopService.pendingCount(raw, "terminateIfHostIdle"), 0u);
}

TEST_F(ViewLifecycle, WillStopStopsAnAnimatingViewAndArmsOneCheck) {
    auto v = make();
    v->startAnimation();
    v->hasRenderedVisibleFrame = true;
    fake.distributed.postNotificationName(ScreenSaverWillStopNotification, nullptr, nullptr);
    fake.queue.runPending();
    EXPECT_FALSE(v->isAnimating());
    EXPECT_EQ(fake.runLoopService.pendingCount(v.get(), "terminateIfHostIdle"), 1u);
    EXPECT_DOUBLE_EQ(*fake.runLoopService.dueTime(v.get(), "terminateIfHostIdle"), fake.clockService.now() + 5.0);
}

TEST_F(ViewLifecycle, WillStopOnAStoppedViewOnlyArmsTheCheck) {
    auto v = make();
    v->hasRenderedVisibleFrame = true;
    fake.distributed.postNotificationName(ScreenSaverWillStopNotification, nullptr, nullptr);
    fake.queue.runPending();
    EXPECT_FALSE(v->isAnimating());
    EXPECT_EQ(fake.runLoopService.pendingCount(v.get(), "terminateIfHostIdle"), 1u);
}

TEST_F(ViewLifecycle, StartAnimationCancelsAPendingCheck) {
    auto v = make();
    v->hasRenderedVisibleFrame = true;
    v->stopAnimation();
    ASSERT_EQ(fake.runLoopService.pendingCount(v.get(), "terminateIfHostIdle"), 1u);
    v->startAnimation();
    EXPECT_EQ(fake.runLoopService.pendingCount(v.get(), "terminateIfHostIdle"), 0u);
}

TEST_F(ViewLifecycle, DisplayChangeIsQueuedAndMarksNeighboursStale) {
    auto screen = fake.screenList.add({{0, 0}, {1000, 500}});
    auto v = fake::viewOnWindow({{0, 0}, {1000, 500}}, windowOn(screen), {.moveToWindow = true});
    const bool before = v->edgeNeighborsValid;
    fake.localCenter.postNotificationName(host::NSApplicationDidChangeScreenParametersNotification, nullptr, nullptr);
    EXPECT_EQ(v->edgeNeighborsValid, before) << "the handler must only queue its work";
    EXPECT_EQ(fake.queue.pendingCount(), 1u);
    fake.queue.runPending();
}

TEST_F(ViewLifecycle, DisplayChangeOnATinyViewLeavesNeighboursUncomputed) {
    auto screen = fake.screenList.add({{0, 0}, {1000, 500}});
    auto v = fake::viewOnWindow({{0, 0}, {0.9, 500}}, windowOn(screen), {.moveToWindow = true});
    fake.localCenter.postNotificationName(host::NSApplicationDidChangeScreenParametersNotification, nullptr, nullptr);
    fake.queue.runPending();
    EXPECT_FALSE(v->edgeNeighborsValid);
    EXPECT_FALSE(v->layoutValid);
}

// A rearrangement that keeps every display's size: only the stale mark makes the layout pass find
// the neighbours again, so without it sparks would keep crossing to where a display used to be.
TEST_F(ViewLifecycle, DisplayRearrangedWithoutAResizeMovesTheNeighbours) {
    auto screen = fake.screenList.add({{0, 0}, {1000, 500}});
    auto other = fake.screenList.add({{1000, 0}, {1000, 500}});
    auto v = fake::viewOnWindow({{0, 0}, {1000, 500}}, windowOn(screen), {.moveToWindow = true});
    ASSERT_TRUE(v->edgeNeighbors[EdgeRight].hasNeighbor);
    other->setFrame({{-1000, 0}, {1000, 500}});  // the other display now sits on the left
    fake.localCenter.postNotificationName(host::NSApplicationDidChangeScreenParametersNotification, nullptr, nullptr);
    fake.queue.runPending();
    EXPECT_FALSE(v->edgeNeighbors[EdgeRight].hasNeighbor);
    EXPECT_TRUE(v->edgeNeighbors[EdgeLeft].hasNeighbor);
    EXPECT_EQ(v->edgeNeighbors[EdgeLeft].neighborScreenFrame, (CGRect{{-1000, 0}, {1000, 500}}));
}

// The host may drop its last reference to a view (its display was unplugged) between the handler
// and the queued work; the work must still find a live view.
TEST_F(ViewLifecycle, DisplayChangeWorkKeepsTheViewAliveUntilItRuns) {
    auto screen = fake.screenList.add({{0, 0}, {1000, 500}});
    auto v = fake::viewOnWindow({{0, 0}, {1000, 500}}, windowOn(screen));
    fake.localCenter.postNotificationName(host::NSApplicationDidChangeScreenParametersNotification, nullptr, nullptr);
    std::weak_ptr<Tavrin_ScreenSaverView> weak = v;
    v.reset();
    ASSERT_FALSE(weak.expired()) << "queued work must hold the view";
    EXPECT_EQ(fake.queue.runPending(), 1);
    EXPECT_TRUE(weak.expired());
}

TEST_F(ViewLifecycle, AViewNeverReactsToNotificationsAfterItIsGone) {
    auto v = make();
    v.reset();
    fake.distributed.postNotificationName(ScreenSaverWillStopNotification, nullptr, nullptr);
    fake.localCenter.postNotificationName(host::NSApplicationDidChangeScreenParametersNotification, nullptr, nullptr);
    EXPECT_EQ(fake.queue.pendingCount(), 0u);
}

}  // namespace
