// The main queue and the delayed calls of the Qt host, on a real event loop.
#include <QElapsedTimer>
#include <climits>
#include <cmath>
#include <string>

#include "qt_host_test_support.h"

namespace {

using qttest::spinFor;
using qttest::spinUntil;

class QtDispatchTest : public qttest::QtHostTest {};

TEST_F(QtDispatchTest, MainQueueRunsLaterInOrderAndWorkQueuedByWorkRunsAfterIt) {
    std::string order;
    host::MainQueue& queue = *qtHost().host().mainQueue;
    queue.async([&] {
        order += 'a';
        queue.async([&] { order += 'c'; });
    });
    queue.async([&] { order += 'b'; });
    EXPECT_EQ(order, "") << "async work must not run inside the call";
    ASSERT_TRUE(spinUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, "abc");
}

TEST_F(QtDispatchTest, DelayedCallRunsOnceAfterItsDelayAndForgetsItself) {
    qtbackend::QtRunLoop& loop = qtHost().runLoop();
    int target = 0;
    int runs = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 ranAt = -1;
    loop.performAfterDelay(&target, "tick", 0.08, [&] {
        ++runs;
        ranAt = clock.elapsed();
    });
    EXPECT_EQ(loop.pendingCount(), 1u);
    ASSERT_TRUE(spinUntil([&] { return runs > 0; }));
    EXPECT_GE(ranAt, 79);
    spinFor(120);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(QtDispatchTest, CancelByTargetAndSelectorLeavesOtherSelectorsAndTargets) {
    qtbackend::QtRunLoop& loop = qtHost().runLoop();
    int a = 0, b = 0;
    std::string ran;
    loop.performAfterDelay(&a, "terminateIfHostIdle", 0.02, [&] { ran += "a1 "; });
    loop.performAfterDelay(&a, "terminateIfHostIdle", 0.02, [&] { ran += "a1' "; });
    loop.performAfterDelay(&a, "other", 0.02, [&] { ran += "a2 "; });
    loop.performAfterDelay(&b, "terminateIfHostIdle", 0.02, [&] { ran += "b1 "; });
    loop.cancelPreviousPerformRequests(&a, "terminateIfHostIdle");
    EXPECT_EQ(loop.pendingCount(), 2u);
    ASSERT_TRUE(spinUntil([&] { return loop.pendingCount() == 0; }));
    spinFor(30);
    EXPECT_EQ(ran.find("a1"), std::string::npos) << ran;
    EXPECT_NE(ran.find("a2"), std::string::npos) << ran;
    EXPECT_NE(ran.find("b1"), std::string::npos) << ran;
}

TEST_F(QtDispatchTest, CancelByTargetRemovesEverySelectorOfThatTargetOnly) {
    qtbackend::QtRunLoop& loop = qtHost().runLoop();
    int a = 0, b = 0;
    int runsA = 0, runsB = 0;
    loop.performAfterDelay(&a, "one", 0.01, [&] { ++runsA; });
    loop.performAfterDelay(&a, "two", 0.01, [&] { ++runsA; });
    loop.performAfterDelay(&b, "one", 0.01, [&] { ++runsB; });
    loop.cancelPreviousPerformRequests(&a);
    ASSERT_TRUE(spinUntil([&] { return runsB == 1; }));
    spinFor(40);
    EXPECT_EQ(runsA, 0);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST_F(QtDispatchTest, ACallMayCancelAndRescheduleItsOwnSelector) {
    // The idle check's pattern: a running call cancels its selector and arms it again.
    qtbackend::QtRunLoop& loop = qtHost().runLoop();
    int target = 0;
    int runs = 0;
    std::function<void()> call = [&] {
        ++runs;
        loop.cancelPreviousPerformRequests(&target, "again");
        if (runs < 3) loop.performAfterDelay(&target, "again", 0.005, call);
    };
    loop.performAfterDelay(&target, "again", 0.005, call);
    ASSERT_TRUE(spinUntil([&] { return runs == 3; }));
    spinFor(30);
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST(QtRunLoopDelay, OddDelaysBecomeUsableTimerIntervals) {
    using qtbackend::QtRunLoop;
    EXPECT_EQ(QtRunLoop::delayMilliseconds(5.0), 5000);
    EXPECT_EQ(QtRunLoop::delayMilliseconds(0.0001), 1) << "a positive delay never rounds to an immediate call";
    EXPECT_EQ(QtRunLoop::delayMilliseconds(-1), 0);
    EXPECT_EQ(QtRunLoop::delayMilliseconds(std::nan("")), 0);
    EXPECT_EQ(QtRunLoop::delayMilliseconds(1e12), INT_MAX);
    EXPECT_EQ(QtRunLoop::delayMilliseconds(INFINITY), INT_MAX);
}

TEST_F(QtDispatchTest, HostFillsEveryServiceTheModuleUses) {
    const host::Host& h = qtHost().host();
    ASSERT_TRUE(host::hasHost());
    EXPECT_EQ(&host::currentHost(), &h);
    EXPECT_TRUE(h.screens && h.defaultCenter && h.distributedCenter && h.mainQueue && h.runLoop && h.clock &&
                h.random && h.defaults && h.bundle && h.log && h.process && h.graphics);
    EXPECT_NE(h.defaultCenter, h.distributedCenter);
    EXPECT_EQ(h.bundle->bundleIdentifier(), "org.tavrin.screensaver");
    EXPECT_EQ(h.bundle->objectForInfoDictionaryKey("CFBundleShortVersionString"), std::string(TAVRIN_VERSION));
    EXPECT_EQ(h.bundle->objectForInfoDictionaryKey("CFBundleVersion"), std::string(TAVRIN_BUILD_NUMBER));
    EXPECT_EQ(h.bundle->objectForInfoDictionaryKey("NoSuchKey"), std::nullopt);
    // Seconds since 2001: a real clock reads well past 2020 (about 6.3e8 s).
    EXPECT_GT(h.clock->now(), 6.3e8);
}

}  // namespace
