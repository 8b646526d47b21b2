// The spark leak as it travels between the processes of one user and one display server: its
// values, the fixed-size datagram that carries them, and a decoder that trusts nothing it
// receives. Plain C++ with no Qt, so that it can be tested and fuzzed on its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "host/geometry.h"

namespace posix {

/// Version of the datagram layout below; a receiver drops any other. (1 was a bus message whose
/// sender named its own user and process; 2 a datagram whose sender was known by its process id,
/// which a receiver in another pid namespace does not see.)
inline constexpr uint32_t kSparkLeakWireVersion = 3;

/// The values of a leak, in order, with their types (u: 32-bit unsigned, t: 64-bit unsigned,
/// s: UTF-8 text, d: 64-bit floating point, i: 32-bit signed).
enum SparkLeakArgument : size_t {
    kArgVersion,          ///< u: kSparkLeakWireVersion
    kArgDisplay,          ///< s: the display server's identity, see displayServerIdentity()
    kArgUid,              ///< u: the sender's user id, as the kernel tells it
    kArgSenderToken,      ///< t: the sending exchange's random token, never 0
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

/// Most sparks one message may ask for: the size of a view's spark pool.
inline constexpr int64_t kMaxLeakSparks = 500;
/// Limits of a believable target frame, in points.
inline constexpr double kMaxFrameSide = 100000;
inline constexpr double kMaxFrameOrigin = 1000000;
/// Limits of believable angles, in radians.
inline constexpr double kMaxAngleCenter = 1000;
inline constexpr double kMaxAngleSpread = 6.2831853071795864769;
/// Longest display identity carried, in bytes.
inline constexpr size_t kMaxDisplayIdentity = 504;

/// One value of a received leak, as plain typed value.
struct WireValue {
    enum class Kind : uint8_t { Other, Int32, UInt32, UInt64, Double, String };
    Kind kind = Kind::Other;
    int64_t integer = 0;     ///< Int32 and UInt32; UInt64 as its bits
    double real = 0;         ///< Double
    std::string_view text;   ///< String, UTF-8; must outlive the decoding

    static WireValue int32(int32_t v) { WireValue w; w.kind = Kind::Int32; w.integer = v; return w; }
    static WireValue uint32(uint32_t v) { WireValue w; w.kind = Kind::UInt32; w.integer = v; return w; }
    static WireValue uint64(uint64_t v) {
        WireValue w;
        w.kind = Kind::UInt64;
        w.integer = static_cast<int64_t>(v);
        return w;
    }
    static WireValue number(double v) { WireValue w; w.kind = Kind::Double; w.real = v; return w; }
    static WireValue string(std::string_view v) { WireValue w; w.kind = Kind::String; w.text = v; return w; }
};

/// Who the receiver is: a message from itself, another user or another display server is not
/// for it. Itself is its token, not its process id: processes in other pid namespaces may share
/// that id, and the kernel names a sender it cannot see in the receiver's namespace as process 0.
struct LeakReceiverIdentity {
    std::string_view display;  ///< displayServerIdentity() of this process
    uint32_t uid = 0;
    uint64_t token = 0;        ///< the random token this process's exchange puts in its datagrams
};

/// A leak that passed every check, ready to be posted on the receiver's default centre; also what
/// a sender puts into a datagram.
struct DecodedSparkLeak {
    host::CGRect targetScreenFrame{};
    int64_t edge = 0;
    double positionFraction = 0;
    int64_t sparkCount = 0;  ///< 1 to kMaxLeakSparks
    double angleCenter = 0;
    double angleSpread = 0;
};

/// Decodes a received message. None when anything is off: a wrong number of arguments or a wrong
/// type, another version, display server, user, this very exchange's token or none, a number that is
/// not finite, an edge outside 0 to 3, a fraction outside 0 to 1, an absurd frame or angle, or no
/// sparks to make. A count above the pool is clamped to kMaxLeakSparks.
std::optional<DecodedSparkLeak> decodeSparkLeak(std::span<const WireValue> arguments,
                                                const LeakReceiverIdentity& self);

/// The datagram of one leak: fixed size, little-endian, the values above in their order without
/// the sender's user (the receiver takes that from the kernel): u32 version, u64 sender token,
/// u32 length of the display identity, the identity in a field of kMaxDisplayIdentity bytes
/// (zeros after it), d target x, y, width and height, i edge, d position fraction, i spark count,
/// d angle centre, d angle spread.
inline constexpr size_t kSparkLeakDatagramSize = 4 + 8 + 4 + kMaxDisplayIdentity + 4 * 8 + 4 + 8 + 4 + 2 * 8;
static_assert(kSparkLeakDatagramSize == 584, "receivers of every version take datagrams of one size");
using SparkLeakDatagram = std::array<uint8_t, kSparkLeakDatagramSize>;

/// Who sent a datagram, as the kernel tells the receiver.
struct SenderCredentials {
    uint32_t uid = 0;
};

/// Writes a leak from the display server `display`, sent by the exchange of `token`, into a
/// datagram. Edge and count beyond 32 bits are clamped. False when the identity does not fit its
/// field.
bool encodeSparkLeakDatagram(const DecodedSparkLeak& leak, std::string_view display, uint64_t token,
                             SparkLeakDatagram& out);

/// Decodes a received datagram with decodeSparkLeak(), the sender's user taken from `from`.
/// None for anything but a datagram of exactly this layout (another size, a display length past
/// its field) and for whatever the decoder refuses.
std::optional<DecodedSparkLeak> decodeSparkLeakDatagram(std::span<const uint8_t> bytes, SenderCredentials from,
                                                        const LeakReceiverIdentity& self);

/// The identity of the display server a process draws on, equal for every process on the same
/// server whichever way its environment names it: "x11:" with the X display (host, display
/// number and screen; "unix:" and a missing screen number normalised), or "wayland:" with the
/// compositor's socket path. Empty when the platform has no display server of its own.
/// `platform` is Qt's platform name ("xcb", "wayland", ...).
std::string displayServerIdentity(std::string_view platform, std::string_view xDisplay,
                                  std::string_view waylandDisplay, std::string_view runtimeDir);

}  // namespace posix
