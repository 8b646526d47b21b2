#include "platform/posix/spark_leak_wire.h"

#include <cmath>

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

}  // namespace

std::optional<DecodedSparkLeak> decodeSparkLeak(std::span<const WireValue> arguments,
                                                const LeakReceiverIdentity& self) {
    using Kind = WireValue::Kind;
    if (arguments.size() != kSparkLeakArgumentCount) return std::nullopt;
    const auto& a = arguments;

    // Who sent it: the same layout, display server and user, and another process.
    if (a[kArgVersion].kind != Kind::UInt32 || a[kArgVersion].integer != kSparkLeakWireVersion) return std::nullopt;
    if (a[kArgDisplay].kind != Kind::String || a[kArgDisplay].text.size() > kMaxDisplayIdentity ||
        self.display.empty() || a[kArgDisplay].text != self.display)
        return std::nullopt;
    if (a[kArgUid].kind != Kind::UInt32 || a[kArgUid].integer != self.uid) return std::nullopt;
    if (a[kArgPid].kind != Kind::UInt32 || a[kArgPid].integer == 0 || a[kArgPid].integer == self.pid)
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
