// A spark leak received from another process: the decoder takes what any process of the user can
// send, so everything but a well-formed leak from another process of the same display server
// must come out as nothing, and counts stay within a spark pool.
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "platform/posix/spark_leak_wire.h"

using posix::WireValue;

namespace {

constexpr std::string_view kDisplay = "x11::0.0";
const posix::LeakReceiverIdentity kSelf{kDisplay, 1000, 4242};

using Message = std::array<WireValue, posix::kSparkLeakArgumentCount>;

/// A leak from process 777 through its right side, into the display at (1920, 0).
Message goodMessage() {
    return {WireValue::uint32(posix::kSparkLeakWireVersion),
            WireValue::string(kDisplay),
            WireValue::uint32(1000),
            WireValue::uint32(777),
            WireValue::number(1920), WireValue::number(0), WireValue::number(1920), WireValue::number(1080),
            WireValue::int32(1),
            WireValue::number(0.25),
            WireValue::int32(10),
            WireValue::number(-0.5),
            WireValue::number(1.5707963267948966)};
}

bool decodes(const Message& m) { return posix::decodeSparkLeak(m, kSelf).has_value(); }

}  // namespace

TEST(SparkLeakWire, AWellFormedLeakDecodesToItsValuesWithTheCountClampedToThePool) {
    Message m = goodMessage();
    auto leak = posix::decodeSparkLeak(m, kSelf);
    ASSERT_TRUE(leak);
    EXPECT_EQ(leak->targetScreenFrame.origin.x, 1920);
    EXPECT_EQ(leak->targetScreenFrame.size.height, 1080);
    EXPECT_EQ(leak->edge, 1);
    EXPECT_EQ(leak->positionFraction, 0.25);
    EXPECT_EQ(leak->sparkCount, 10);
    EXPECT_EQ(leak->angleCenter, -0.5);
    EXPECT_EQ(leak->angleSpread, 1.5707963267948966);

    m[posix::kArgSparkCount] = WireValue::int32(1000000000);
    leak = posix::decodeSparkLeak(m, kSelf);
    ASSERT_TRUE(leak);
    EXPECT_EQ(leak->sparkCount, posix::kMaxLeakSparks);
}

TEST(SparkLeakWire, MessagesOfThisProcessAnotherUserDisplayServerOrVersionAreNotForIt) {
    Message m = goodMessage();
    m[posix::kArgPid] = WireValue::uint32(kSelf.pid);
    EXPECT_FALSE(decodes(m)) << "its own message";
    m = goodMessage();
    m[posix::kArgPid] = WireValue::uint32(0);
    EXPECT_FALSE(decodes(m)) << "no sender";
    m = goodMessage();
    m[posix::kArgUid] = WireValue::uint32(0);
    EXPECT_FALSE(decodes(m)) << "another user";
    m = goodMessage();
    m[posix::kArgDisplay] = WireValue::string("x11::1.0");
    EXPECT_FALSE(decodes(m)) << "another display server";
    m = goodMessage();
    m[posix::kArgVersion] = WireValue::uint32(posix::kSparkLeakWireVersion + 1);
    EXPECT_FALSE(decodes(m)) << "another layout";
    // A receiver that does not know its own display server takes nothing.
    EXPECT_FALSE(posix::decodeSparkLeak(goodMessage(), {"", kSelf.uid, kSelf.pid}));
}

TEST(SparkLeakWire, MissingExtraAndMistypedArgumentsAreRejected) {
    const Message m = goodMessage();
    EXPECT_FALSE(posix::decodeSparkLeak(std::span(m).first(m.size() - 1), kSelf));
    std::array<WireValue, posix::kSparkLeakArgumentCount + 1> longer{};
    std::copy(m.begin(), m.end(), longer.begin());
    longer.back() = WireValue::int32(0);
    EXPECT_FALSE(posix::decodeSparkLeak(longer, kSelf));
    EXPECT_FALSE(posix::decodeSparkLeak({}, kSelf));

    // Each argument in turn of a type it must not have: another type of the bus, or one the
    // adapter could not read at all.
    for (size_t i = 0; i < m.size(); ++i) {
        for (const WireValue& wrong : {WireValue{}, m[i].kind == WireValue::Kind::Double ? WireValue::int32(1)
                                                                                          : WireValue::number(1)}) {
            Message bad = m;
            bad[i] = wrong;
            EXPECT_FALSE(decodes(bad)) << "argument " << i;
        }
    }
}

TEST(SparkLeakWire, NumbersThatAreNotFiniteOrNotBelievableAreRejected) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (size_t i : {posix::kArgTargetX, posix::kArgTargetY, posix::kArgTargetWidth, posix::kArgTargetHeight,
                     posix::kArgPositionFraction, posix::kArgAngleCenter, posix::kArgAngleSpread}) {
        for (double v : {nan, inf, -inf}) {
            Message m = goodMessage();
            m[i] = WireValue::number(v);
            EXPECT_FALSE(decodes(m)) << "argument " << i << " = " << v;
        }
    }
    const struct {
        size_t argument;
        WireValue value;
    } cases[] = {
        {posix::kArgEdge, WireValue::int32(-1)},          {posix::kArgEdge, WireValue::int32(4)},
        {posix::kArgSparkCount, WireValue::int32(0)},     {posix::kArgSparkCount, WireValue::int32(-1000000000)},
        {posix::kArgPositionFraction, WireValue::number(-0.01)},
        {posix::kArgPositionFraction, WireValue::number(1.01)},
        {posix::kArgTargetWidth, WireValue::number(0)},   {posix::kArgTargetHeight, WireValue::number(-1080)},
        {posix::kArgTargetWidth, WireValue::number(1e9)}, {posix::kArgTargetX, WireValue::number(-1e12)},
        {posix::kArgAngleCenter, WireValue::number(1e300)},
        {posix::kArgAngleSpread, WireValue::number(-0.1)}, {posix::kArgAngleSpread, WireValue::number(7)},
    };
    for (const auto& c : cases) {
        Message m = goodMessage();
        m[c.argument] = c.value;
        EXPECT_FALSE(decodes(m)) << "argument " << c.argument << " = " << c.value.integer << "/" << c.value.real;
    }
    // The ends of the believable ranges still decode.
    Message m = goodMessage();
    m[posix::kArgEdge] = WireValue::int32(3);
    m[posix::kArgPositionFraction] = WireValue::number(1);
    m[posix::kArgSparkCount] = WireValue::int32(1);
    m[posix::kArgTargetX] = WireValue::number(-7680);
    EXPECT_TRUE(decodes(m));
}

TEST(SparkLeakWire, EveryNameOfOneDisplayServerGivesOneIdentityAndOthersDiffer) {
    using posix::displayServerIdentity;
    const std::string local = displayServerIdentity("xcb", ":0", "", "/run/user/1000");
    EXPECT_EQ(local, "x11::0.0");
    for (const char* same : {":0.0", "unix:0", "unix:0.0", ":00"})
        EXPECT_EQ(displayServerIdentity("xcb", same, "", ""), local) << same;
    for (const char* other : {":1", ":0.1", "otherhost:0", "localhost:10.0"})
        EXPECT_NE(displayServerIdentity("xcb", other, "", ""), local) << other;
    EXPECT_EQ(displayServerIdentity("xcb", "", "", ""), "");

    EXPECT_EQ(displayServerIdentity("wayland", "", "wayland-1", "/run/user/1000"), "wayland:/run/user/1000/wayland-1");
    EXPECT_EQ(displayServerIdentity("wayland-egl", "", "/run/user/1000/wayland-1", ""),
              "wayland:/run/user/1000/wayland-1");
    EXPECT_EQ(displayServerIdentity("wayland", "", "", "/run/user/1000"), "wayland:/run/user/1000/wayland-0");
    EXPECT_EQ(displayServerIdentity("wayland", "", "wayland-1", ""), "") << "a relative name needs the runtime folder";
    EXPECT_EQ(displayServerIdentity("offscreen", ":0", "wayland-0", "/run/user/1000"), "");
}
