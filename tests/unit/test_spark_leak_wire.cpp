// A spark leak received from another process: the decoder takes what any process of the user can
// send, so everything but a well-formed leak from another process of the same display server
// must come out as nothing, and counts stay within a spark pool.
#include <array>
#include <gtest/gtest.h>
#include <limits>

#include "module/view/scene_model.h"
#include "platform/posix/spark_leak_wire.h"

using posix::WireValue;

static_assert(posix::kMaxLeakSparks == tavrin::kParticleCapacity, "a leak asks for at most a spark pool");

namespace {

constexpr std::string_view kDisplay = "x11::0.0";
const posix::LeakReceiverIdentity kSelf{kDisplay, 1000, 0x5eed5eed5eed5eedull};
constexpr uint64_t kOtherToken = 0xfeedfacecafef00dull;
using Message = std::array<WireValue, posix::kSparkLeakArgumentCount>;

/// A leak from another exchange through its right side, into the display at (1920, 0).
Message goodMessage() {
    return {WireValue::uint32(posix::kSparkLeakWireVersion), WireValue::string(kDisplay), WireValue::uint32(1000),
            WireValue::uint64(kOtherToken), WireValue::number(1920), WireValue::number(0), WireValue::number(1920),
            WireValue::number(1080), WireValue::int32(1), WireValue::number(0.25), WireValue::int32(10),
            WireValue::number(-0.5), WireValue::number(1.5)};
}

Message with(size_t argument, WireValue value) {
    Message m = goodMessage();
    m[argument] = value;
    return m;
}

/// The leak of goodMessage().
posix::DecodedSparkLeak goodLeak() {
    posix::DecodedSparkLeak leak;
    leak.targetScreenFrame = host::NSMakeRect(1920, 0, 1920, 1080);
    leak.edge = 1;
    leak.positionFraction = 0.25;
    leak.sparkCount = 10;
    leak.angleCenter = -0.5;
    leak.angleSpread = 1.5;
    return leak;
}

void expectGoodLeak(const std::optional<posix::DecodedSparkLeak>& leak) {
    ASSERT_TRUE(leak);
    const posix::DecodedSparkLeak good = goodLeak();
    EXPECT_EQ(leak->targetScreenFrame.origin.x, good.targetScreenFrame.origin.x);
    EXPECT_EQ(leak->targetScreenFrame.size.height, good.targetScreenFrame.size.height);
    EXPECT_EQ(leak->edge, good.edge);
    EXPECT_EQ(leak->positionFraction, good.positionFraction);
    EXPECT_EQ(leak->sparkCount, good.sparkCount);
    EXPECT_EQ(leak->angleCenter, good.angleCenter);
    EXPECT_EQ(leak->angleSpread, good.angleSpread);
}

}  // namespace

TEST(SparkLeakWire, AWellFormedLeakDecodesToItsValuesWithTheCountClampedToThePool) {
    auto leak = posix::decodeSparkLeak(goodMessage(), kSelf);
    expectGoodLeak(leak);

    leak = posix::decodeSparkLeak(with(posix::kArgSparkCount, WireValue::int32(1000000000)), kSelf);
    ASSERT_TRUE(leak);
    EXPECT_EQ(leak->sparkCount, posix::kMaxLeakSparks);
    // The ends of the believable ranges still decode.
    Message m = with(posix::kArgEdge, WireValue::int32(3));
    m[posix::kArgPositionFraction] = WireValue::number(1);
    m[posix::kArgSparkCount] = WireValue::int32(1);
    m[posix::kArgTargetX] = WireValue::number(-7680);
    EXPECT_TRUE(posix::decodeSparkLeak(m, kSelf));
}

TEST(SparkLeakWire, ForeignMalformedAndUnbelievableMessagesAreRejected) {
    using namespace posix;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, Message> cases[] = {
        {"its own message", with(kArgSenderToken, WireValue::uint64(kSelf.token))},
        {"no sender", with(kArgSenderToken, WireValue::uint64(0))},
        {"another user", with(kArgUid, WireValue::uint32(0))},
        {"another display server", with(kArgDisplay, WireValue::string("x11::1.0"))},
        {"another layout", with(kArgVersion, WireValue::uint32(kSparkLeakWireVersion + 1))},
        {"edge -1", with(kArgEdge, WireValue::int32(-1))},
        {"edge 4", with(kArgEdge, WireValue::int32(4))},
        {"no sparks", with(kArgSparkCount, WireValue::int32(0))},
        {"negative sparks", with(kArgSparkCount, WireValue::int32(-1000000000))},
        {"fraction below 0", with(kArgPositionFraction, WireValue::number(-0.01))},
        {"fraction above 1", with(kArgPositionFraction, WireValue::number(1.01))},
        {"empty frame", with(kArgTargetWidth, WireValue::number(0))},
        {"negative frame", with(kArgTargetHeight, WireValue::number(-1080))},
        {"huge frame", with(kArgTargetWidth, WireValue::number(1e9))},
        {"far frame", with(kArgTargetX, WireValue::number(-1e12))},
        {"huge angle", with(kArgAngleCenter, WireValue::number(1e300))},
        {"negative spread", with(kArgAngleSpread, WireValue::number(-0.1))},
        {"spread past a turn", with(kArgAngleSpread, WireValue::number(7))},
    };
    for (const auto& [what, message] : cases) EXPECT_FALSE(decodeSparkLeak(message, kSelf)) << what;
    EXPECT_FALSE(decodeSparkLeak(goodMessage(), {"", kSelf.uid, kSelf.token})) << "a receiver of no display server";

    // Every number that is not finite, and every argument of a type it must not have.
    const Message good = goodMessage();
    for (size_t i = 0; i < good.size(); ++i) {
        if (good[i].kind == WireValue::Kind::Double) {
            for (double v : {nan, inf, -inf}) EXPECT_FALSE(decodeSparkLeak(with(i, WireValue::number(v)), kSelf)) << i;
        }
        const WireValue wrong = good[i].kind == WireValue::Kind::Double ? WireValue::int32(1) : WireValue::number(1);
        EXPECT_FALSE(decodeSparkLeak(with(i, wrong), kSelf)) << "argument " << i;
        EXPECT_FALSE(decodeSparkLeak(with(i, WireValue{}), kSelf)) << "argument " << i;
    }
    // Missing and extra arguments.
    EXPECT_FALSE(decodeSparkLeak(std::span(good).first(good.size() - 1), kSelf));
    std::array<WireValue, kSparkLeakArgumentCount + 1> longer{};
    std::copy(good.begin(), good.end(), longer.begin());
    EXPECT_FALSE(decodeSparkLeak(longer, kSelf));
    EXPECT_FALSE(decodeSparkLeak({}, kSelf));
}

TEST(SparkLeakWire, EveryNameOfOneDisplayServerGivesOneIdentityAndOthersDiffer) {
    using posix::displayServerIdentity;
    const std::string local = displayServerIdentity("xcb", ":0", "", "/run/user/1000");
    EXPECT_EQ(local, "x11::0.0");
    for (const char* same : {":0.0", "unix:0", "unix:0.0", ":00"})
        EXPECT_EQ(displayServerIdentity("xcb", same, "", ""), local) << same;
    for (const char* other : {":1", ":0.1", "otherhost:0", "localhost:10.0", ""})
        EXPECT_NE(displayServerIdentity("xcb", other, "", ""), local) << other;

    EXPECT_EQ(displayServerIdentity("wayland", "", "wayland-1", "/run/user/1000"), "wayland:/run/user/1000/wayland-1");
    EXPECT_EQ(displayServerIdentity("wayland-egl", "", "/run/user/1000/wayland-1", ""),
              "wayland:/run/user/1000/wayland-1");
    EXPECT_EQ(displayServerIdentity("wayland", "", "", "/run/user/1000"), "wayland:/run/user/1000/wayland-0");
    EXPECT_EQ(displayServerIdentity("wayland", "", "wayland-1", ""), "") << "a relative name needs the runtime folder";
    EXPECT_EQ(displayServerIdentity("offscreen", ":0", "wayland-0", "/run/user/1000"), "");
}

TEST(SparkLeakWire, ADatagramCarriesALeakAndItsSendersTokenAndOnlyTheKernelNamesItsUser) {
    posix::DecodedSparkLeak leak = goodLeak();
    posix::SparkLeakDatagram d;
    ASSERT_TRUE(posix::encodeSparkLeakDatagram(leak, kDisplay, kOtherToken, d));
    const posix::SenderCredentials sameUser{kSelf.uid};
    expectGoodLeak(posix::decodeSparkLeakDatagram(d, sameUser, kSelf));
    EXPECT_FALSE(posix::decodeSparkLeakDatagram(d, {0}, kSelf)) << "from another user";
    // All 64 bits of the token count: one that differs from its own in the top bit only is another's.
    ASSERT_TRUE(posix::encodeSparkLeakDatagram(leak, kDisplay, kSelf.token, d));
    EXPECT_FALSE(posix::decodeSparkLeakDatagram(d, sameUser, kSelf)) << "from this exchange";
    ASSERT_TRUE(posix::encodeSparkLeakDatagram(leak, kDisplay, kSelf.token ^ (uint64_t(1) << 63), d));
    EXPECT_TRUE(posix::decodeSparkLeakDatagram(d, sameUser, kSelf)) << "another exchange's token";

    // A count past 32 bits is clamped by the sender, not wrapped.
    leak.sparkCount = int64_t(1) << 40;
    ASSERT_TRUE(posix::encodeSparkLeakDatagram(leak, kDisplay, kOtherToken, d));
    EXPECT_EQ(posix::decodeSparkLeakDatagram(d, sameUser, kSelf)->sparkCount, posix::kMaxLeakSparks);
    EXPECT_FALSE(
        posix::encodeSparkLeakDatagram(leak, std::string(posix::kMaxDisplayIdentity + 1, 'x'), kOtherToken, d));
}
