// Spark leaks between the processes of one user and one display server travel as datagrams
// between AF_UNIX sockets in a folder that only this user may enter. Each process binds a socket
// named after its process id there, and sends a leak to every other socket of the folder. There
// is no daemon in between to freeze or restart, the kernel cuts every datagram to the reader's
// fixed buffer (a longer one is dropped unread), and it tells the reader who sent each datagram,
// so nothing the sender writes about itself is believed.
#pragma once

#include <cstddef>
#include <dirent.h>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/posix/spark_leak_wire.h"

namespace posix {

/// The folder of the sockets of one user and display server, made when missing:
/// `$XDG_RUNTIME_DIR/tavrin-sparks/<display>/`, or `/tmp/tavrin-sparks-<uid>/<display>/` when the
/// runtime folder is unset or unusable (a session without logind). `<display>` is the kind of
/// display server and a hash of its identity, so that processes of different servers never meet.
/// Every folder on the way must be a folder (not a link) of `uid` that no one else may enter.
/// Empty, with the reason in `why`, when neither place will do.
std::string sparkLeakFolder(std::string_view runtimeDir, uint32_t uid, std::string_view displayIdentity,
                            std::string* why);

/// Makes `path` a folder of mode 0700 when missing, then checks it: a folder (not a link),
/// owned by `uid`, closed to group and others. False with the reason in `why`.
bool ensurePrivateFolder(const std::string& path, uint32_t uid, std::string* why);

class SparkLeakSocket {
public:
    /// Most folder entries one send looks at, so that a folder full of junk costs a bounded time.
    static constexpr size_t kMaxPeers = 64;

    SparkLeakSocket() = default;
    ~SparkLeakSocket() { close(); }
    SparkLeakSocket(const SparkLeakSocket&) = delete;
    SparkLeakSocket& operator=(const SparkLeakSocket&) = delete;

    /// Binds the socket `<folder>/<name>` (a stale socket of that name, left by an ended process
    /// whose id this one reuses, is removed first), non-blocking, with the senders' credentials
    /// passed along. False with the reason in `why`.
    bool open(const std::string& folder, uint32_t name, std::string* why);
    /// Closes the socket and removes its name from the folder.
    void close();
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    struct SendResult {
        uint32_t delivered = 0;  ///< peers whose queue took it
        uint32_t full = 0;       ///< peers whose queue was full: they miss this one
        uint32_t stale = 0;      ///< sockets of ended processes, removed
    };
    /// Sends one datagram to every other socket of the folder, without waiting for any.
    /// Entries that are not sockets, or not named like one of ours, are passed over.
    SendResult sendToPeers(std::span<const uint8_t> datagram);

    enum class Received {
        Nothing,   ///< no datagram waits
        Datagram,  ///< `buffer` holds a whole datagram of its size, `from` its sender
        Rejected,  ///< one was taken and dropped: of another size, cut short or without sender
    };
    /// Takes the next datagram without waiting. File descriptors passed along are closed unused.
    Received receive(SparkLeakDatagram& buffer, SenderCredentials* from);

private:
    int fd_ = -1;
    DIR* folderStream_ = nullptr;  ///< the folder, kept open: a send walks it without allocating
    std::string folder_;
    std::string path_;
    std::string name_;
};

}  // namespace posix
