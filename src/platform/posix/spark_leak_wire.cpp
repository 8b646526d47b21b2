#include "platform/posix/spark_leak_wire.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace posix {
namespace {

bool isDouble(const WireValue& v) { return v.kind == WireValue::Kind::Double && std::isfinite(v.real); }

bool within(double v, double lo, double hi) { return v >= lo && v <= hi; }

bool isDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

/// Fixed-width little-endian fields of the datagram, written and read in order.
class DatagramWriter {
public:
    explicit DatagramWriter(SparkLeakDatagram& out) : out_(out) {}
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[at_++] = static_cast<uint8_t>(v >> (8 * i));
    }
    void u64(uint64_t v) {
        for (int i = 0; i < 8; ++i) out_[at_++] = static_cast<uint8_t>(v >> (8 * i));
    }
    void i32(int64_t v) {
        u32(static_cast<uint32_t>(static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX))));
    }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int i = 0; i < 8; ++i) out_[at_++] = static_cast<uint8_t>(bits >> (8 * i));
    }
    void text(std::string_view s, size_t field) {
        std::memcpy(out_.data() + at_, s.data(), s.size());
        std::memset(out_.data() + at_ + s.size(), 0, field - s.size());
        at_ += field;
    }

private:
    SparkLeakDatagram& out_;
    size_t at_ = 0;
};

class DatagramReader {
public:
    explicit DatagramReader(std::span<const uint8_t> in) : in_(in) {}
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in_[at_++]) << (8 * i);
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    uint64_t u64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(in_[at_++]) << (8 * i);
        return v;
    }
    double f64() {
        const uint64_t bits = u64();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::string_view text(size_t length, size_t field) {
        const std::string_view s(reinterpret_cast<const char*>(in_.data() + at_), length);
        at_ += field;
        return s;
    }

private:
    std::span<const uint8_t> in_;
    size_t at_ = 0;
};

}  // namespace

bool encodeSparkLeakDatagram(const DecodedSparkLeak& leak, std::string_view display, uint64_t token,
                             SparkLeakDatagram& out) {
    if (display.size() > kMaxDisplayIdentity) return false;
    DatagramWriter w(out);
    w.u32(kSparkLeakWireVersion);
    w.u64(token);
    w.u32(static_cast<uint32_t>(display.size()));
    w.text(display, kMaxDisplayIdentity);
    const host::CGRect& f = leak.targetScreenFrame;
    for (double v : {f.origin.x, f.origin.y, f.size.width, f.size.height}) w.f64(v);
    w.i32(leak.edge);
    w.f64(leak.positionFraction);
    w.i32(leak.sparkCount);
    w.f64(leak.angleCenter);
    w.f64(leak.angleSpread);
    return true;
}

std::optional<DecodedSparkLeak> decodeSparkLeakDatagram(std::span<const uint8_t> bytes, SenderCredentials from,
                                                        const LeakReceiverIdentity& self) {
    if (bytes.size() != kSparkLeakDatagramSize) return std::nullopt;
    DatagramReader r(bytes);
    std::array<WireValue, kSparkLeakArgumentCount> a;
    a[kArgVersion] = WireValue::uint32(r.u32());
    a[kArgSenderToken] = WireValue::uint64(r.u64());
    const uint32_t displayLength = r.u32();
    if (displayLength > kMaxDisplayIdentity) return std::nullopt;
    a[kArgDisplay] = WireValue::string(r.text(displayLength, kMaxDisplayIdentity));
    a[kArgUid] = WireValue::uint32(from.uid);
    for (size_t i : {kArgTargetX, kArgTargetY, kArgTargetWidth, kArgTargetHeight}) a[i] = WireValue::number(r.f64());
    a[kArgEdge] = WireValue::int32(r.i32());
    a[kArgPositionFraction] = WireValue::number(r.f64());
    a[kArgSparkCount] = WireValue::int32(r.i32());
    a[kArgAngleCenter] = WireValue::number(r.f64());
    a[kArgAngleSpread] = WireValue::number(r.f64());
    return decodeSparkLeak(a, self);
}

std::optional<DecodedSparkLeak> decodeSparkLeak(std::span<const WireValue> arguments,
                                                const LeakReceiverIdentity& self) {
    using Kind = WireValue::Kind;
    if (arguments.size() != kSparkLeakArgumentCount) return std::nullopt;
    const auto& a = arguments;

    // Who sent it: the same layout, display server and user, and another exchange.
    if (a[kArgVersion].kind != Kind::UInt32 || a[kArgVersion].integer != kSparkLeakWireVersion) return std::nullopt;
    if (a[kArgDisplay].kind != Kind::String || a[kArgDisplay].text.size() > kMaxDisplayIdentity ||
        self.display.empty() || a[kArgDisplay].text != self.display)
        return std::nullopt;
    if (a[kArgUid].kind != Kind::UInt32 || a[kArgUid].integer != self.uid) return std::nullopt;
    if (a[kArgSenderToken].kind != Kind::UInt64 || a[kArgSenderToken].integer == 0 ||
        static_cast<uint64_t>(a[kArgSenderToken].integer) == self.token)
        return std::nullopt;

    // What it asks for.
    for (size_t i : {kArgTargetX, kArgTargetY, kArgTargetWidth, kArgTargetHeight, kArgPositionFraction,
                     kArgAngleCenter, kArgAngleSpread})
        if (!isDouble(a[i])) return std::nullopt;
    if (a[kArgEdge].kind != Kind::Int32 || a[kArgSparkCount].kind != Kind::Int32) return std::nullopt;

    DecodedSparkLeak leak;
    leak.targetScreenFrame = host::NSMakeRect(a[kArgTargetX].real, a[kArgTargetY].real, a[kArgTargetWidth].real,
                                              a[kArgTargetHeight].real);
    leak.edge = a[kArgEdge].integer;
    leak.positionFraction = a[kArgPositionFraction].real;
    leak.angleCenter = a[kArgAngleCenter].real;
    leak.angleSpread = a[kArgAngleSpread].real;
    const int64_t count = a[kArgSparkCount].integer;

    const host::CGRect& f = leak.targetScreenFrame;
    if (!within(f.origin.x, -kMaxFrameOrigin, kMaxFrameOrigin) ||
        !within(f.origin.y, -kMaxFrameOrigin, kMaxFrameOrigin) || !within(f.size.width, 1, kMaxFrameSide) ||
        !within(f.size.height, 1, kMaxFrameSide))
        return std::nullopt;
    if (leak.edge < 0 || leak.edge > 3) return std::nullopt;
    if (!within(leak.positionFraction, 0, 1)) return std::nullopt;
    if (!within(leak.angleCenter, -kMaxAngleCenter, kMaxAngleCenter) ||
        !within(leak.angleSpread, 0, kMaxAngleSpread))
        return std::nullopt;
    if (count <= 0) return std::nullopt;
    leak.sparkCount = count < kMaxLeakSparks ? count : kMaxLeakSparks;
    return leak;
}

std::string displayServerIdentity(std::string_view platform, std::string_view xDisplay,
                                  std::string_view waylandDisplay, std::string_view runtimeDir) {
    if (platform == "xcb") {
        if (xDisplay.empty()) return {};
        // [host]:display[.screen]; "unix" as host is the local socket, as no host is.
        const size_t colon = xDisplay.rfind(':');
        if (colon == std::string_view::npos) return "x11:" + std::string(xDisplay);
        std::string_view host = xDisplay.substr(0, colon);
        const std::string_view rest = xDisplay.substr(colon + 1);
        if (host == "unix") host = {};
        const size_t dot = rest.find('.');
        const std::string_view number = rest.substr(0, dot);
        const std::string_view screen = dot == std::string_view::npos ? std::string_view("0") : rest.substr(dot + 1);
        if (!isDigits(number) || !isDigits(screen)) return "x11:" + std::string(xDisplay);
        // Leading zeros name the same display.
        auto trimmed = [](std::string_view d) {
            while (d.size() > 1 && d.front() == '0') d.remove_prefix(1);
            return std::string(d);
        };
        return "x11:" + std::string(host) + ":" + trimmed(number) + "." + trimmed(screen);
    }
    if (platform.starts_with("wayland")) {
        const std::string_view name = waylandDisplay.empty() ? std::string_view("wayland-0") : waylandDisplay;
        if (name.front() == '/') return "wayland:" + std::string(name);
        if (runtimeDir.empty()) return {};
        return "wayland:" + std::string(runtimeDir) + "/" + std::string(name);
    }
    return {};
}

}  // namespace posix
