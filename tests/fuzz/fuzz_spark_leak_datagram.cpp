// The datagrams of spark leaks from other processes, as the socket hands them over: any bytes of
// any length, after one byte that picks what the kernel says of the sender (this user or another,
// this process, another or none). Whatever comes through must be a datagram of exactly the
// layout, from another process of this user naming this display server, holding a leak a view
// can take as it is.
#include <cstring>
#include <span>

#include "spark_leak_checks.h"

namespace {

constexpr std::string_view kSelfDisplay = "x11::0.0";
constexpr uint32_t kSelfUid = 1000;
constexpr uint32_t kSelfPid = 4242;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t pick = data[0];
    const posix::SenderCredentials from{pick & 1 ? kSelfUid + 1 : kSelfUid,
                                        pick & 2 ? kSelfPid : (pick & 4 ? 0u : 777u)};
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    const posix::LeakReceiverIdentity self{kSelfDisplay, kSelfUid, kSelfPid};
    const auto leak = posix::decodeSparkLeakDatagram(bytes, from, self);
    if (!leak) return 0;
    using fuzzcheck::check;
    check(bytes.size() == posix::kSparkLeakDatagramSize, "a datagram of another size");
    check(from.uid == kSelfUid, "another user's datagram");
    check(from.pid != kSelfPid && from.pid != 0, "its own datagram, or one of no process");
    uint32_t displayLength;
    std::memcpy(&displayLength, bytes.data() + 4, sizeof displayLength);
    check(displayLength == kSelfDisplay.size() &&
              std::memcmp(bytes.data() + 8, kSelfDisplay.data(), kSelfDisplay.size()) == 0,
          "another display server's datagram");
    fuzzcheck::checkDecodedLeak(*leak);
    return 0;
}
