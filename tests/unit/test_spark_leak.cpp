// Spark leaks between two side-by-side displays: what the sender posts, how the receiver knows it
// is meant, where it places the burst, and what it drops.
#include <cmath>
#include <limits>

#include "support/scene_fixture.h"

using namespace tavrin;

class SparkLeak : public fake::SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        auto a = addDisplay({{0, 0}, {1920, 1080}});
        auto b = addDisplay({{1920, 0}, {1920, 1080}});
        left = showOn(a);
        right = showOn(b);
        fake.localCenter.posted.clear();
    }
    /// A leak through the left display's right side, addressed to the right display.
    static host::UserInfo leak(double fraction, int64_t edge = EdgeRight) {
        host::UserInfo info;
        info.set("targetScreenFrame", host::InfoValue::valueWithRect({{1920, 0}, {1920, 1080}}));
        info.set("edge", host::InfoValue::numberWithInteger(edge));
        info.set("positionFraction", host::InfoValue::numberWithDouble(fraction));
        info.set("sparkCount", host::InfoValue::numberWithInteger(10));
        info.set("angleCenter", host::InfoValue::numberWithDouble(0));
        info.set("angleSpread", host::InfoValue::numberWithDouble(kPi / 2));
        return info;
    }
    /// Sparks the right view makes of the leak.
    int64_t deliver(const host::UserInfo* info) {
        right->activeParticleCount = 0;
        fake.localCenter.postNotificationName(TavrinSparkLeakNotification, left.get(), info);
        return right->activeParticleCount;
    }
    std::shared_ptr<View> left, right;
};

TEST_F(SparkLeak, PostCarriesSixEntriesAndOnlyTheNeighbourSpawns) {
    left->postSparkLeakToEdge(EdgeRight, 0.25, 10, 0.5, 0.75);
    const auto posts = fake.localCenter.postedNamed("TavrinSparkLeakNotification");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].object, left.get());
    const host::UserInfo& info = *posts[0].userInfo;
    using T = host::InfoValue::Type;
    const std::pair<std::string_view, T> entries[] = {{"targetScreenFrame", T::Rect}, {"edge", T::Integer},
                                                       {"positionFraction", T::Double}, {"sparkCount", T::Integer},
                                                       {"angleCenter", T::Double}, {"angleSpread", T::Double}};
    ASSERT_EQ(info.count(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(std::pair(info.keyAt(i), info.valueAt(i).type), entries[i]);
    EXPECT_EQ(left->activeParticleCount, 0);  // its own post is not for it
    ASSERT_EQ(right->activeParticleCount, 10);
    for (int i = 0; i < 10; ++i) {
        const Particle& p = right->particles[i];
        EXPECT_EQ(p.position, (CGPoint{0, 270}));
        const double heading = std::atan2(p.velocity.y, p.velocity.x);
        EXPECT_TRUE(heading >= -0.25 && heading < 1.25) << heading;
    }
    left->postSparkLeakToEdge(EdgeLeft, 0.25, 10, kPi, kPi / 2);  // no display there: no post
    EXPECT_EQ(fake.localCenter.posted.size(), 1u);
}

TEST_F(SparkLeak, FractionRunsAlongTheFacingStretch) {
    right->edgeNeighbors[EdgeLeft].overlapMin = 100;
    right->edgeNeighbors[EdgeLeft].overlapMax = 500;
    for (auto [fraction, y] : {std::pair{0.0, 100.0}, {1.0, 500.0}}) {
        const auto info = leak(fraction);
        ASSERT_EQ(deliver(&info), 10);
        EXPECT_EQ(right->particles[0].position, (CGPoint{0, y}));
    }
    host::UserInfo back = leak(0.5, EdgeLeft);  // out of the right display's left side
    back.set("targetScreenFrame", host::InfoValue::valueWithRect({{0, 0}, {1920, 1080}}));
    fake.localCenter.postNotificationName(TavrinSparkLeakNotification, right.get(), &back);
    ASSERT_EQ(left->activeParticleCount, 10);
    EXPECT_EQ(left->particles[0].position, (CGPoint{1920, 540}));
}

TEST_F(SparkLeak, TargetFrameMustMatchWithinOnePointInEachCoordinate) {
    for (auto [offset, sparks] : {std::pair{0.5, 10}, {1.0, 10}, {1.5, 0}}) {
        for (int coordinate = 0; coordinate < 4; ++coordinate) {
            CGRect target{{1920, 0}, {1920, 1080}};
            double* field[] = {&target.origin.x, &target.origin.y, &target.size.width, &target.size.height};
            *field[coordinate] += offset;
            host::UserInfo info = leak(0.5);
            info.set("targetScreenFrame", host::InfoValue::valueWithRect(target));
            EXPECT_EQ(deliver(&info), sparks) << offset << " on coordinate " << coordinate;
        }
    }
}

TEST_F(SparkLeak, ReceiverDropsWhatItCannotPlace) {
    for (int64_t edge : {4, -1, int(EdgeTop)}) {  // out of range, or facing a side without neighbour
        const auto info = leak(0.5, edge);
        EXPECT_EQ(deliver(&info), 0) << edge;
    }
    const auto info = leak(0.5);
    for (bool* flag : {&right->enableCrossMonitorSparks, &right->enableCollisionSparks,
                       &right->edgeNeighbors[EdgeLeft].hasNeighbor}) {
        *flag = false;
        EXPECT_EQ(deliver(&info), 0);
        *flag = true;
    }
    right->isPreviewMode = true;
    EXPECT_EQ(deliver(&info), 0);
}

TEST_F(SparkLeak, ValuesThatAreNotNumbersAreDropped) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(deliver(nullptr), 0);
    for (const char* key : {"positionFraction", "angleCenter", "angleSpread"}) {
        for (double bad : {nan, inf, -inf}) {
            host::UserInfo info = leak(0.5);
            info.set(key, host::InfoValue::numberWithDouble(bad));
            EXPECT_EQ(deliver(&info), 0) << key << " = " << bad;
        }
    }
    host::UserInfo info = leak(0.5);
    info.set("targetScreenFrame", host::InfoValue::valueWithRect({{nan, 0}, {1920, 1080}}));
    EXPECT_EQ(deliver(&info), 0);
}

// Found by fuzzing the receiver: a huge fraction put sparks at an infinite place, and a huge fan
// gave them no heading. A leak from another process may carry anything.
TEST_F(SparkLeak, FractionsOffTheStretchAndFansTooWideToComputeAreDropped) {
    for (double fraction : {-0.001, 1.001, 1e300}) {
        const auto info = leak(fraction);
        EXPECT_EQ(deliver(&info), 0) << fraction;
    }
    for (auto [centre, spread] : {std::pair{0.0, 1e308}, {1.7e308, 1e308}, {-1e308, 1e308}}) {
        host::UserInfo info = leak(0.5);
        info.set("angleCenter", host::InfoValue::numberWithDouble(centre));
        info.set("angleSpread", host::InfoValue::numberWithDouble(spread));
        EXPECT_EQ(deliver(&info), 0) << centre << " +- " << spread;
    }
    host::UserInfo wide = leak(1);
    wide.set("angleSpread", host::InfoValue::numberWithDouble(1e300));  // wide, but computable
    ASSERT_EQ(deliver(&wide), 10);
    EXPECT_TRUE(std::isfinite(right->particles[0].velocity.x) && std::isfinite(right->particles[0].velocity.y));
}
