// Spark leaks between the processes of one user and one display server travel as datagrams
// between AF_UNIX sockets in a folder that only this user may enter. Each process binds a socket
// named after its process id and a random part there, and sends a leak to every other socket of
// ours in the folder. There is no daemon in between to freeze or restart, the kernel cuts every
// datagram to the reader's fixed buffer (a longer one is dropped unread), and it tells the reader
// which user sent each datagram, so nothing the sender writes about its user is believed.
//
// The folder is opened once and checked on the open descriptor; the socket is bound, peers are
// reached and stale sockets removed through that descriptor (/proc/self/fd/<n>/<name>, which
// resolves to the very folder the descriptor holds), so a folder renamed or replaced later is
// never followed. Each peer is sent to through a socket of its own, connected once: datagrams a
// peer does not read count against the sending socket's buffer, so a peer that never reads fills
// only its own, and one that stays full is given up on and remembered, not tried on every send.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <span>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <string_view>
#include <vector>

#include "platform/posix/runtime_folder.h"
#include "platform/posix/spark_leak_wire.h"

namespace posix {

/// The folder of the sockets of one user and display server, made when missing:
/// `<private runtime folder>/tavrin-sparks/<display>/`, the runtime folder being
/// privateRuntimeFolder()'s (XDG_RUNTIME_DIR, or /tmp/tavrin-<uid>). `<display>` is the kind of
/// display server and a hash of its identity, so that processes of different servers never meet.
/// Every folder on the way must be a folder (not a link) of `uid` that no one else may enter.
/// `passedOver` gets a line for each runtime folder passed over. Empty, with the reason in
/// `why`, when no place will do.
std::string sparkLeakFolder(std::string_view runtimeDir, uint32_t uid, std::string_view displayIdentity,
                            std::vector<std::string>* passedOver, std::string* why);

/// A random 64-bit value, never 0, from the kernel's generator (or, where it fails, from clocks
/// and addresses): tokens and socket names that no other process draws.
uint64_t randomToken();

class SparkLeakSocket {
public:
    /// Most peers sent to: each has a connected socket of its own.
    static constexpr size_t kMaxPeers = 64;
    /// Most peers given up on that are remembered, so that they are not connected to again.
    static constexpr size_t kMaxGivenUp = 256;
    /// A socket's name: `<pid>-<8 hex digits>`, with its terminating zero.
    static constexpr size_t kNameCapacity = 10 + 1 + 8 + 1;
    /// The folder is walked for new peers and stale sockets at most this often.
    static constexpr int64_t kRescanMs = 200;
    /// A peer whose queue stays full for this long is given up on...
    static constexpr int64_t kGiveUpMs = 1000;
    /// ... and tried again after this long (a stopped process may go on).
    static constexpr int64_t kRetryMs = 30000;

    SparkLeakSocket() = default;
    ~SparkLeakSocket() { close(); }
    SparkLeakSocket(const SparkLeakSocket&) = delete;
    SparkLeakSocket& operator=(const SparkLeakSocket&) = delete;

    /// Opens `folder` (it must be a folder of this user's that no one else may enter) and binds
    /// the socket `<folder>/<pid>-<random>` in it, non-blocking, with the senders' credentials
    /// passed along. False with the reason in `why`.
    bool open(const std::string& folder, uint32_t pid, std::string* why);
    /// Closes the sockets and removes this one's name from the folder.
    void close();
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    std::string_view name() const { return name_.data(); }

    struct SendResult {
        uint32_t delivered = 0;  ///< peers whose queue took it
        uint32_t full = 0;       ///< peers whose queue was full: they miss this one
        uint32_t stale = 0;      ///< sockets of ended processes, removed
    };
    /// Sends one datagram to every peer, without waiting for any; first walks the folder when it
    /// was last walked kRescanMs before `nowMs` (a monotonic clock) or never. Entries that are not
    /// sockets named like ours cost a look at their name only. Allocates nothing.
    SendResult sendToPeers(std::span<const uint8_t> datagram, int64_t nowMs);

    /// Calls `report(name)` once for each peer given up on since the last call and never before.
    template <typename Report>
    void reportGivenUp(Report&& report) {
        for (GivenUp& g : givenUp_)
            if (g.inUse && !g.reported) {
                g.reported = true;
                report(std::string_view(g.name.data()));
            }
    }
    /// Whether the last walk found more peers than kMaxPeers: the surplus gets nothing.
    bool peersLeftOut() const { return peersLeftOut_; }

    enum class Received {
        Nothing,   ///< no datagram waits
        Datagram,  ///< `buffer` holds a whole datagram of its size, `from` its sender
        Rejected,  ///< one was taken and dropped: of another size, cut short or without sender
    };
    /// Takes the next datagram without waiting. File descriptors passed along are closed unused.
    Received receive(SparkLeakDatagram& buffer, SenderCredentials* from);

private:
    using Name = std::array<char, kNameCapacity>;
    struct Peer {
        int fd = -1;             ///< connected to the peer; -1: a free slot
        Name name{};
        int64_t fullSinceMs = -1;
        bool seen = false;       ///< found by the walk in progress
        bool wasGivenUp = false; ///< connected again after kRetryMs: its entry in givenUp_ stays
    };
    struct GivenUp {
        bool inUse = false;
        bool reported = false;
        bool seen = false;
        Name name{};
        int64_t retryAtMs = 0;
    };

    void scan(int64_t nowMs, SendResult& result);
    /// Connects `peer` to the socket `name` of the folder. False when that fails; a socket that
    /// no process holds any more is removed and counted as stale.
    bool connectPeer(Peer& peer, const char* name, SendResult& result);
    void giveUp(Peer& peer, int64_t nowMs);
    static void dropPeer(Peer& peer);
    /// Sets address_ to `<procFolder_>/<name>`; false when that does not fit.
    bool addressOf(const char* name);
    GivenUp* findGivenUp(const char* name);

    int fd_ = -1;
    DIR* folder_ = nullptr;  ///< the checked folder, kept open: walks and *at calls go through it
    std::string path_;
    Name name_{};
    std::string procFolder_;  ///< /proc/self/fd/<folder's descriptor>
    std::array<Peer, kMaxPeers> peers_{};
    std::array<GivenUp, kMaxGivenUp> givenUp_{};
    int spare_ = -1;          ///< an unconnected socket for the next peer found
    int64_t lastScanMs_ = -1;
    bool peersLeftOut_ = false;
    sockaddr_un address_{};
    socklen_t addressLength_ = 0;
};

}  // namespace posix
