// Spark leaks between displays: what the sender posts, how a receiver recognises that it is meant,
// where it places the burst, and which notifications it drops.
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
    /// A leak as another process-mate would post it, addressed to the right-hand display.
    static host::UserInfo leakInfo(double fraction, int64_t edge = EdgeRight) {
        host::UserInfo info;
        info.set("targetScreenFrame", host::InfoValue::valueWithRect({{1920, 0}, {1920, 1080}}));
        info.set("edge", host::InfoValue::numberWithInteger(edge));
        info.set("positionFraction", host::InfoValue::numberWithDouble(fraction));
        info.set("sparkCount", host::InfoValue::numberWithInteger(10));
        info.set("angleCenter", host::InfoValue::numberWithDouble(0));
        info.set("angleSpread", host::InfoValue::numberWithDouble(kPi / 2));
        return info;
    }
    int64_t deliver(const host::UserInfo* info) {
        right->activeParticleCount = 0;
        fake.localCenter.postNotificationName(TavrinSparkLeakNotification, left.get(), info);
        return right->activeParticleCount;
    }
    std::shared_ptr<View> left, right;
};

TEST_F(SparkLeak, PostCarriesSixEntriesAndReachesTheNeighbourOnly) {
    left->postSparkLeakToEdge(EdgeRight, 0.25, 10, 0.5, 0.75);
    const auto posts = fake.localCenter.postedNamed("TavrinSparkLeakNotification");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].object, left.get());
    const host::UserInfo& info = *posts[0].userInfo;
    const char* keys[] = {"targetScreenFrame", "edge", "positionFraction", "sparkCount", "angleCenter", "angleSpread"};
    ASSERT_EQ(info.count(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(info.keyAt(i), keys[i]);
    EXPECT_EQ(info.valueAt(0).type, host::InfoValue::Type::Rect);
    EXPECT_EQ(info.valueAt(1).type, host::InfoValue::Type::Integer);
    EXPECT_EQ(info.valueAt(2).type, host::InfoValue::Type::Double);
    EXPECT_EQ(info.valueAt(3).type, host::InfoValue::Type::Integer);
    EXPECT_EQ(info.valueAt(0).rect, (CGRect{{1920, 0}, {1920, 1080}}));

    EXPECT_EQ(left->activeParticleCount, 0);  // its own post is not for it
    ASSERT_EQ(right->activeParticleCount, 10);
    for (int i = 0; i < 10; ++i) {
        const Particle& p = right->particles[i];
        EXPECT_EQ(p.position, (CGPoint{0, 270}));
        const double heading = std::atan2(p.velocity.y, p.velocity.x);
        EXPECT_TRUE(heading >= 0.5 - 0.75 && heading < 0.5 + 0.75) << heading;
    }

    left->postSparkLeakToEdge(EdgeLeft, 0.25, 10, kPi, kPi / 2);  // no display there
    EXPECT_EQ(fake.localCenter.posted.size(), 1u);
}

TEST_F(SparkLeak, FractionRunsAlongTheFacingStretch) {
    right->edgeNeighbors[EdgeLeft].overlapMin = 100;
    right->edgeNeighbors[EdgeLeft].overlapMax = 500;
    const auto info0 = leakInfo(0), info1 = leakInfo(1);
    ASSERT_EQ(deliver(&info0), 10);
    EXPECT_EQ(right->particles[0].position, (CGPoint{0, 100}));
    ASSERT_EQ(deliver(&info1), 10);
    EXPECT_EQ(right->particles[0].position, (CGPoint{0, 500}));

    // Leaving by the left side of the right display enters the left display on its right side.
    left->activeParticleCount = 0;
    host::UserInfo back = leakInfo(0.5, EdgeLeft);
    back.set("targetScreenFrame", host::InfoValue::valueWithRect({{0, 0}, {1920, 1080}}));
    fake.localCenter.postNotificationName(TavrinSparkLeakNotification, right.get(), &back);
    ASSERT_EQ(left->activeParticleCount, 10);
    EXPECT_EQ(left->particles[0].position, (CGPoint{1920, 540}));
}

TEST_F(SparkLeak, TargetFrameMustMatchWithinOnePoint) {
    for (auto [offset, accepted] : {std::pair{0.5, true}, {1.0, true}, {1.5, false}}) {
        for (int coordinate = 0; coordinate < 4; ++coordinate) {
            CGRect target{{1920, 0}, {1920, 1080}};
            double* field[] = {&target.origin.x, &target.origin.y, &target.size.width, &target.size.height};
            *field[coordinate] += offset;
            host::UserInfo info = leakInfo(0.5);
            info.set("targetScreenFrame", host::InfoValue::valueWithRect(target));
            EXPECT_EQ(deliver(&info), accepted ? 10 : 0) << offset << " on coordinate " << coordinate;
        }
    }
}

TEST_F(SparkLeak, ReceiverDropsWhatItCannotPlace) {
    const auto outOfRange = leakInfo(0.5, 4), negative = leakInfo(0.5, -1), facingNothing = leakInfo(0.5, EdgeTop);
    EXPECT_EQ(deliver(&outOfRange), 0);
    EXPECT_EQ(deliver(&negative), 0);
    EXPECT_EQ(deliver(&facingNothing), 0);  // its bottom side has no neighbour

    host::UserInfo noCount;
    for (const char* key : {"targetScreenFrame", "edge", "positionFraction"})
        noCount.set(key, leakInfo(0.5).objectForKeyedSubscript(key));
    EXPECT_EQ(deliver(&noCount), 0);
}

TEST_F(SparkLeak, ReceiverNeedsBothSettingsAFullScreenViewAndItsNeighbours) {
    const auto info = leakInfo(0.5);
    right->enableCrossMonitorSparks = false;
    EXPECT_EQ(deliver(&info), 0);
    right->enableCrossMonitorSparks = true;
    right->enableCollisionSparks = false;
    EXPECT_EQ(deliver(&info), 0);
    right->enableCollisionSparks = true;
    right->isPreviewMode = true;
    EXPECT_EQ(deliver(&info), 0);
    right->isPreviewMode = false;
    right->edgeNeighbors[EdgeLeft].hasNeighbor = false;
    EXPECT_EQ(deliver(&info), 0);
    right->edgeNeighbors[EdgeLeft].hasNeighbor = true;
    windowOf(*right).onScreen = nullptr;
    EXPECT_EQ(deliver(&info), 0);
}

TEST_F(SparkLeak, ValuesThatAreNotNumbersAreDropped) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(deliver(nullptr), 0);
    for (const char* key : {"positionFraction", "angleCenter", "angleSpread"}) {
        for (double bad : {nan, inf, -inf}) {
            host::UserInfo info = leakInfo(0.5);
            info.set(key, host::InfoValue::numberWithDouble(bad));
            EXPECT_EQ(deliver(&info), 0) << key << " = " << bad;
        }
    }
    host::UserInfo info = leakInfo(0.5);
    info.set("targetScreenFrame", host::InfoValue::valueWithRect({{nan, 0}, {1920, 1080}}));
    EXPECT_EQ(deliver(&info), 0);
    const auto good = leakInfo(0.5);
    EXPECT_EQ(deliver(&good), 10);
}
