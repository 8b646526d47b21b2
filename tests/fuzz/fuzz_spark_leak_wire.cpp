// The decoder of spark leaks from other processes: messages of any shape (any number of
// arguments of any type and value, often close to the real layout so that the later checks are
// reached), the same bytes as a datagram, and display identities from any text. Whatever the
// decoder lets through must be a leak a view can take as it is: from another exchange of this user
// and display server, with finite numbers inside their limits and a spark count the pool can hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/spark_leak_wire.h"

namespace {

using posix::WireValue;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

constexpr WireValue::Kind kLayout[] = {
    WireValue::Kind::UInt32, WireValue::Kind::String, WireValue::Kind::UInt32, WireValue::Kind::UInt64,
    WireValue::Kind::Double, WireValue::Kind::Double, WireValue::Kind::Double, WireValue::Kind::Double,
    WireValue::Kind::Int32,  WireValue::Kind::Double, WireValue::Kind::Int32,  WireValue::Kind::Double,
    WireValue::Kind::Double};
static_assert(std::size(kLayout) == posix::kSparkLeakArgumentCount);

constexpr std::string_view kSelfDisplay = "x11::0.0";
constexpr uint32_t kSelfUid = 1000;
constexpr uint64_t kSelfToken = 0x5eed5eed5eed5eedull;

/// A number of any bit pattern, or one near the limits the decoder draws.
double number(FuzzedDataProvider& in) {
    static constexpr double kNear[] = {0, 1, -1, 0.5, 1920, 1080, 1e5, 1e6, 1000, 6.2831853071795864769,
                                       INFINITY, -INFINITY, NAN};
    if (in.ConsumeBool()) return in.PickValueInArray(kNear) * (in.ConsumeBool() ? 1 : 1 + 1e-9);
    return in.ConsumeFloatingPoint<double>();
}

WireValue value(FuzzedDataProvider& in, WireValue::Kind kind, std::vector<std::string>& texts) {
    switch (kind) {
        case WireValue::Kind::Int32: return WireValue::int32(in.ConsumeIntegral<int32_t>());
        case WireValue::Kind::UInt32: {
            static constexpr uint32_t kNear[] = {0, 1, posix::kSparkLeakWireVersion, kSelfUid, 500, 501};
            return WireValue::uint32(in.ConsumeBool() ? in.PickValueInArray(kNear) : in.ConsumeIntegral<uint32_t>());
        }
        case WireValue::Kind::UInt64: {
            static constexpr uint64_t kNear[] = {0, 1, kSelfToken, kSelfToken ^ 1, kSelfToken & 0xffffffffu};
            return WireValue::uint64(in.ConsumeBool() ? in.PickValueInArray(kNear) : in.ConsumeIntegral<uint64_t>());
        }
        case WireValue::Kind::Double: return WireValue::number(number(in));
        case WireValue::Kind::String:
            texts.push_back(in.ConsumeBool() ? std::string(kSelfDisplay) : in.ConsumeRandomLengthString(600));
            return WireValue::string(texts.back());
        default: return WireValue{};
    }
}

/// What every decoded leak must be.
void checkLeak(const posix::DecodedSparkLeak& leak) {
    const host::CGRect& f = leak.targetScreenFrame;
    for (double v : {f.origin.x, f.origin.y, f.size.width, f.size.height, leak.positionFraction,
                     leak.angleCenter, leak.angleSpread})
        check(std::isfinite(v), "a number that is not finite");
    check(std::fabs(f.origin.x) <= posix::kMaxFrameOrigin && std::fabs(f.origin.y) <= posix::kMaxFrameOrigin,
          "a frame far away");
    check(f.size.width >= 1 && f.size.width <= posix::kMaxFrameSide && f.size.height >= 1 &&
              f.size.height <= posix::kMaxFrameSide,
          "a frame of absurd size");
    check(leak.edge >= 0 && leak.edge <= 3, "an unknown edge");
    check(leak.positionFraction >= 0 && leak.positionFraction <= 1, "a fraction off the stretch");
    check(leak.sparkCount >= 1 && leak.sparkCount <= posix::kMaxLeakSparks, "a count the pool cannot hold");
    check(std::fabs(leak.angleCenter) <= posix::kMaxAngleCenter, "an absurd heading");
    check(leak.angleSpread >= 0 && leak.angleSpread <= posix::kMaxAngleSpread, "an absurd fan");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as a datagram, after a first byte that picks what the kernel says of the sender.
    const posix::LeakReceiverIdentity self{kSelfDisplay, kSelfUid, kSelfToken};
    if (size > 0) {
        const posix::SenderCredentials from{data[0] & 1 ? kSelfUid + 1 : kSelfUid};
        if (const auto leak = posix::decodeSparkLeakDatagram({data + 1, size - 1}, from, self)) {
            check(size - 1 == posix::kSparkLeakDatagramSize, "a datagram of another size");
            uint64_t token = 0;
            for (int i = 0; i < 8; ++i) token |= static_cast<uint64_t>(data[5 + i]) << (8 * i);
            check(from.uid == kSelfUid, "another user's datagram");
            check(token != kSelfToken && token != 0, "its own datagram, or one of no sender");
            check(data[13] == kSelfDisplay.size() && std::string_view(reinterpret_cast<const char*>(data) + 17,
                                                                      kSelfDisplay.size()) == kSelfDisplay,
                  "another display server's datagram");
            checkLeak(*leak);
        }
    }
    FuzzedDataProvider in(data, size);
    std::vector<std::string> texts;
    texts.reserve(32);  // the values point into these strings
    std::vector<WireValue> arguments;
    const bool shaped = in.ConsumeBool();
    const size_t count = shaped ? posix::kSparkLeakArgumentCount : in.ConsumeIntegralInRange<size_t>(0, 20);
    for (size_t i = 0; i < count && texts.size() < 30; ++i) {
        const auto kind = shaped && in.ConsumeProbability<double>() >= 0.05
                              ? kLayout[i]
                              : static_cast<WireValue::Kind>(in.ConsumeIntegralInRange<int>(0, 5));
        arguments.push_back(value(in, kind, texts));
    }

    if (const auto leak = posix::decodeSparkLeak(arguments, self)) {
        check(arguments.size() == posix::kSparkLeakArgumentCount, "a message of the wrong length");
        check(arguments[posix::kArgDisplay].text == kSelfDisplay, "another display server's message");
        check(arguments[posix::kArgUid].integer == kSelfUid, "another user's message");
        check(static_cast<uint64_t>(arguments[posix::kArgSenderToken].integer) != kSelfToken, "its own message");
        checkLeak(*leak);
    }

    // The identity of a display server from any environment: never more than its parts.
    const std::string platform = in.ConsumeRandomLengthString(16);
    const std::string x = in.ConsumeRandomLengthString(64);
    const std::string wayland = in.ConsumeRandomLengthString(64);
    const std::string runtime = in.ConsumeRemainingBytesAsString();
    const std::string identity = posix::displayServerIdentity(platform, x, wayland, runtime);
    check(identity.size() <= platform.size() + x.size() + wayland.size() + runtime.size() + 32,
          "an identity longer than its parts");
    return 0;
}
