// The spark leak as it travels between the processes of one user and one display server: the
// layout of the message, and a decoder that trusts nothing it receives. Plain C++ with no Qt, so
// that it can be tested and fuzzed on its own; the bus adapter turns a message's arguments into
// WireValues first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "host/geometry.h"

namespace posix {

/// Version of the message layout below; a receiver drops any other.
inline constexpr uint32_t kSparkLeakWireVersion = 1;

/// The message's arguments, in order, with their bus types (D-Bus signature "usuuddddididd").
enum SparkLeakArgument : size_t {
    kArgVersion,          ///< u: kSparkLeakWireVersion
    kArgDisplay,          ///< s: the display server's identity, see displayServerIdentity()
    kArgUid,              ///< u: the sender's user id
    kArgPid,              ///< u: the sender's process id
    kArgTargetX,          ///< d: the target display's frame in global display coordinates...
    kArgTargetY,          ///< d
    kArgTargetWidth,      ///< d
    kArgTargetHeight,     ///< d
    kArgEdge,             ///< i: the sender's side the sparks leave by, 0 to 3
    kArgPositionFraction, ///< d: where along the shared stretch, 0 to 1
    kArgSparkCount,       ///< i
    kArgAngleCenter,      ///< d: radians
    kArgAngleSpread,      ///< d: radians
    kSparkLeakArgumentCount
};

/// The D-Bus signature of the message, for the sender.
inline constexpr std::string_view kSparkLeakSignature = "usuuddddididd";

/// Most sparks one message may ask for: the size of a view's spark pool.
inline constexpr int64_t kMaxLeakSparks = 500;
/// Limits of a believable target frame, in points.
inline constexpr double kMaxFrameSide = 100000;
inline constexpr double kMaxFrameOrigin = 1000000;
/// Limits of believable angles, in radians.
inline constexpr double kMaxAngleCenter = 1000;
inline constexpr double kMaxAngleSpread = 6.2831853071795864769;
/// Longest display identity carried, in bytes.
inline constexpr size_t kMaxDisplayIdentity = 512;

/// One argument of a received message, as plain typed value. Any bus type not listed is Other.
struct WireValue {
    enum class Kind : uint8_t { Other, Int32, UInt32, Double, String };
    Kind kind = Kind::Other;
    int64_t integer = 0;     ///< Int32 and UInt32
    double real = 0;         ///< Double
    std::string_view text;   ///< String, UTF-8; must outlive the decoding

    static WireValue int32(int32_t v) { WireValue w; w.kind = Kind::Int32; w.integer = v; return w; }
    static WireValue uint32(uint32_t v) { WireValue w; w.kind = Kind::UInt32; w.integer = v; return w; }
    static WireValue number(double v) { WireValue w; w.kind = Kind::Double; w.real = v; return w; }
    static WireValue string(std::string_view v) { WireValue w; w.kind = Kind::String; w.text = v; return w; }
};

/// Who the receiver is: a message from itself, another user or another display server is not
/// for it.
struct LeakReceiverIdentity {
    std::string_view display;  ///< displayServerIdentity() of this process
    uint32_t uid = 0;
    uint32_t pid = 0;
};

/// A leak that passed every check, ready to be posted on the receiver's default centre.
struct DecodedSparkLeak {
    host::CGRect targetScreenFrame{};
    int64_t edge = 0;
    double positionFraction = 0;
    int64_t sparkCount = 0;  ///< 1 to kMaxLeakSparks
    double angleCenter = 0;
    double angleSpread = 0;
};

/// Decodes a received message. None when anything is off: a wrong number of arguments or a wrong
/// type, another version, display server, user, or this very process as sender, a number that is
/// not finite, an edge outside 0 to 3, a fraction outside 0 to 1, an absurd frame or angle, or no
/// sparks to make. A count above the pool is clamped to kMaxLeakSparks.
std::optional<DecodedSparkLeak> decodeSparkLeak(std::span<const WireValue> arguments,
                                                const LeakReceiverIdentity& self);

/// The identity of the display server a process draws on, equal for every process on the same
/// server whichever way its environment names it: "x11:" with the X display (host, display
/// number and screen; "unix:" and a missing screen number normalised), or "wayland:" with the
/// compositor's socket path. Empty when the platform has no display server of its own.
/// `platform` is Qt's platform name ("xcb", "wayland", ...).
std::string displayServerIdentity(std::string_view platform, std::string_view xDisplay,
                                  std::string_view waylandDisplay, std::string_view runtimeDir);

}  // namespace posix
