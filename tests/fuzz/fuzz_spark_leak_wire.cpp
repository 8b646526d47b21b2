// The decoder of spark leaks from other processes: messages of any shape (any number of
// arguments of any type and value, often close to the real layout so that the later checks are
// reached), and display identities from any text. Whatever the decoder lets through must be a
// leak a view can take as it is: from another process of this user and display server, with
// finite numbers inside their limits and a spark count the pool can hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <string>
#include <vector>

#include "spark_leak_checks.h"

namespace {

using fuzzcheck::check;
using posix::WireValue;

constexpr WireValue::Kind kLayout[] = {
    WireValue::Kind::UInt32, WireValue::Kind::String, WireValue::Kind::UInt32, WireValue::Kind::UInt32,
    WireValue::Kind::Double, WireValue::Kind::Double, WireValue::Kind::Double, WireValue::Kind::Double,
    WireValue::Kind::Int32,  WireValue::Kind::Double, WireValue::Kind::Int32,  WireValue::Kind::Double,
    WireValue::Kind::Double};
static_assert(std::size(kLayout) == posix::kSparkLeakArgumentCount);

constexpr std::string_view kSelfDisplay = "x11::0.0";
constexpr uint32_t kSelfUid = 1000;
constexpr uint32_t kSelfPid = 4242;

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
            static constexpr uint32_t kNear[] = {0, 1, posix::kSparkLeakWireVersion, kSelfUid, kSelfPid, 500, 501};
            return WireValue::uint32(in.ConsumeBool() ? in.PickValueInArray(kNear) : in.ConsumeIntegral<uint32_t>());
        }
        case WireValue::Kind::Double: return WireValue::number(number(in));
        case WireValue::Kind::String:
            texts.push_back(in.ConsumeBool() ? std::string(kSelfDisplay) : in.ConsumeRandomLengthString(600));
            return WireValue::string(texts.back());
        default: return WireValue{};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::string> texts;
    texts.reserve(32);  // the values point into these strings
    std::vector<WireValue> arguments;
    const bool shaped = in.ConsumeBool();
    const size_t count = shaped ? posix::kSparkLeakArgumentCount : in.ConsumeIntegralInRange<size_t>(0, 20);
    for (size_t i = 0; i < count && texts.size() < 30; ++i) {
        const auto kind = shaped && in.ConsumeProbability<double>() >= 0.05
                              ? kLayout[i]
                              : static_cast<WireValue::Kind>(in.ConsumeIntegralInRange<int>(0, 4));
        arguments.push_back(value(in, kind, texts));
    }

    const posix::LeakReceiverIdentity self{kSelfDisplay, kSelfUid, kSelfPid};
    if (const auto leak = posix::decodeSparkLeak(arguments, self)) {
        check(arguments.size() == posix::kSparkLeakArgumentCount, "a message of the wrong length");
        check(arguments[posix::kArgDisplay].text == kSelfDisplay, "another display server's message");
        check(arguments[posix::kArgUid].integer == kSelfUid, "another user's message");
        check(arguments[posix::kArgPid].integer != kSelfPid, "its own message");
        fuzzcheck::checkDecodedLeak(*leak);
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
