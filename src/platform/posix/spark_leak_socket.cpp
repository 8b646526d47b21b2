#include "platform/posix/spark_leak_socket.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix {
namespace {

constexpr char kSparksFolder[] = "tavrin-sparks";
constexpr size_t kRandomDigits = 8;

std::string errorText() { return std::strerror(errno); }

/// The folder's name for a display server: its kind ("x11", "wayland") and a 64-bit FNV-1a hash
/// of its identity, which may be any text (a Wayland socket's path). Two servers that share a
/// hash share a folder and nothing more: every datagram names its display server in full.
std::string displayFolderName(std::string_view identity) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : identity) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    std::string name;
    for (const char c : identity.substr(0, identity.find(':'))) {
        if (name.size() == 16) break;
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) name += c;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    name += '-';
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 0xf];
    return name;
}

/// Whether `name` is `<decimal pid>-<8 lowercase hex digits>`, as our sockets are named.
bool isOurName(const char* name) {
    size_t digits = 0;
    while (name[digits] >= '0' && name[digits] <= '9') ++digits;
    if (digits == 0 || digits > 10 || name[digits] != '-') return false;
    const char* random = name + digits + 1;
    for (size_t i = 0; i < kRandomDigits; ++i)
        if (!((random[i] >= '0' && random[i] <= '9') || (random[i] >= 'a' && random[i] <= 'f'))) return false;
    return random[kRandomDigits] == '\0';
}

uint64_t mixed(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

}  // namespace

uint64_t randomToken() {
    uint64_t value = 0;
    if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
        // No entropy yet (early boot) or no getrandom: clocks, the process and an address (ASLR),
        // and a count, so that two draws of one process differ too.
        static std::atomic<uint64_t> draws{0};
        timespec monotonic{}, real{};
        ::clock_gettime(CLOCK_MONOTONIC, &monotonic);
        ::clock_gettime(CLOCK_REALTIME, &real);
        value = mixed(static_cast<uint64_t>(monotonic.tv_nsec) ^ static_cast<uint64_t>(monotonic.tv_sec) << 32 ^
                      mixed(static_cast<uint64_t>(real.tv_nsec) ^ static_cast<uint64_t>(::getpid()) << 32) ^
                      mixed(reinterpret_cast<uintptr_t>(&value) + draws.fetch_add(1)));
    }
    return value != 0 ? value : 1;
}

std::string sparkLeakFolder(std::string_view runtimeDir, uint32_t uid, std::string_view displayIdentity,
                            std::vector<std::string>* passedOver, std::string* why) {
    const std::string display = displayFolderName(displayIdentity);
    // Room for the rest of a socket's path in a socket address, so that any program of the user
    // can reach the sockets by their paths.
    const size_t rest = 1 + std::strlen(kSparksFolder) + 1 + display.size() + 1 + SparkLeakSocket::kNameCapacity - 1;
    const size_t maxLength = sizeof(sockaddr_un::sun_path) - 1 - rest;
    const std::string runtime = privateRuntimeFolder(runtimeDir, uid, maxLength, passedOver, why);
    if (runtime.empty()) return {};
    // Each folder is made and checked inside the one checked before it.
    const std::string sparks = runtime + "/" + kSparksFolder;
    const std::string folder = sparks + "/" + display;
    const int runtimeFd = openPrivateFolder(AT_FDCWD, runtime, runtime, uid, false, why);
    const int sparksFd = runtimeFd < 0 ? -1 : openPrivateFolder(runtimeFd, kSparksFolder, sparks, uid, true, why);
    const int displayFd = sparksFd < 0 ? -1 : openPrivateFolder(sparksFd, display, folder, uid, true, why);
    for (const int fd : {runtimeFd, sparksFd, displayFd})
        if (fd >= 0) ::close(fd);
    return displayFd < 0 ? std::string() : folder;
}

bool SparkLeakSocket::open(const std::string& folder, uint32_t pid, std::string* why) {
    close();
    const int folderFd = openPrivateFolder(AT_FDCWD, folder, folder, static_cast<uint32_t>(::geteuid()), false, why);
    if (folderFd < 0) return false;
    folder_ = ::fdopendir(folderFd);
    if (!folder_) {
        *why = "cannot read " + folder + ": " + errorText();
        ::close(folderFd);
        return false;
    }
    // Everything in the folder is reached through the descriptor just checked: its /proc path
    // resolves to the folder it holds, wherever that folder has been moved since.
    procFolder_ = "/proc/self/fd/" + std::to_string(folderFd);
    struct stat viaProc {}, held {};
    if (::stat(procFolder_.c_str(), &viaProc) != 0 || ::fstat(folderFd, &held) != 0 ||
        viaProc.st_dev != held.st_dev || viaProc.st_ino != held.st_ino) {
        *why = "cannot reach " + folder + " through " + procFolder_ + " (is /proc mounted?)";
        close();
        return false;
    }
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
        *why = "cannot make a socket: " + errorText();
        close();
        return false;
    }
    // The process id tells people which process a socket is; the random part keeps the name unique
    // among processes of other pid namespaces that share the folder and the id. A clash is met by
    // drawing again, never by taking the name over.
    Name name{};
    for (int attempt = 0;; ++attempt) {
        std::snprintf(name.data(), name.size(), "%u-%08x", pid, static_cast<uint32_t>(randomToken()));
        if (addressOf(name.data()) &&
            ::bind(fd_, reinterpret_cast<const sockaddr*>(&address_), addressLength_) == 0)
            break;
        if (errno != EADDRINUSE || attempt == 3) {
            *why = "cannot make the socket " + folder + "/" + name.data() + ": " + errorText();
            close();
            return false;
        }
    }
    name_ = name;
    path_ = folder + "/" + name_.data();
    return true;
}

void SparkLeakSocket::close() {
    for (Peer& peer : peers_) dropPeer(peer);
    givenUp_.fill(GivenUp{});
    if (spare_ >= 0) ::close(spare_);
    spare_ = -1;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (folder_) {
        if (name_[0] != '\0') ::unlinkat(::dirfd(folder_), name_.data(), 0);
        ::closedir(folder_);
    }
    folder_ = nullptr;
    name_.fill('\0');
    path_.clear();
    lastScanMs_ = -1;
    peersLeftOut_ = false;
}

bool SparkLeakSocket::addressOf(const char* name) {
    const size_t folderLength = procFolder_.size(), nameLength = std::strlen(name);
    if (folderLength + 1 + nameLength >= sizeof address_.sun_path) return false;
    address_.sun_family = AF_UNIX;
    std::memcpy(address_.sun_path, procFolder_.data(), folderLength);
    address_.sun_path[folderLength] = '/';
    std::memcpy(address_.sun_path + folderLength + 1, name, nameLength + 1);
    addressLength_ = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + folderLength + 1 + nameLength + 1);
    return true;
}

SparkLeakSocket::GivenUp* SparkLeakSocket::findGivenUp(const char* name) {
    for (GivenUp& g : givenUp_)
        if (g.inUse && std::strcmp(g.name.data(), name) == 0) return &g;
    return nullptr;
}

void SparkLeakSocket::dropPeer(Peer& peer) {
    if (peer.fd >= 0) ::close(peer.fd);
    peer = Peer{};
}

bool SparkLeakSocket::connectPeer(Peer& peer, const char* name, SendResult& result) {
    if (spare_ < 0) spare_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (spare_ < 0 || !addressOf(name)) return false;
    if (::connect(spare_, reinterpret_cast<const sockaddr*>(&address_), addressLength_) != 0) {
        // A socket no process holds: its process ended without removing it. (A failed connect
        // leaves the spare socket as it was, for the next name.)
        if (errno == ECONNREFUSED && ::unlinkat(::dirfd(folder_), name, 0) == 0) ++result.stale;
        return false;
    }
    peer = Peer{};
    peer.fd = spare_;
    spare_ = -1;
    std::memcpy(peer.name.data(), name, std::strlen(name) + 1);  // isOurName(): it fits
    return true;
}

void SparkLeakSocket::scan(int64_t nowMs, SendResult& result) {
    lastScanMs_ = nowMs;
    for (Peer& peer : peers_) peer.seen = false;
    for (GivenUp& g : givenUp_) g.seen = false;
    bool leftOut = false;
    const int folderFd = ::dirfd(folder_);
    ::rewinddir(folder_);
    while (const dirent* entry = ::readdir(folder_)) {
        const char* name = entry->d_name;
        // Whatever is not named like one of our sockets costs this look and nothing more.
        if (!isOurName(name) || std::strcmp(name, name_.data()) == 0) continue;
        if (entry->d_type != DT_SOCK) {
            struct stat info {};
            if (entry->d_type != DT_UNKNOWN || ::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISSOCK(info.st_mode))
                continue;
        }
        Peer* freeSlot = nullptr;
        Peer* known = nullptr;
        for (Peer& peer : peers_) {
            if (peer.fd >= 0 && std::strcmp(peer.name.data(), name) == 0) {
                known = &peer;
                break;
            }
            if (peer.fd < 0 && !freeSlot) freeSlot = &peer;
        }
        GivenUp* givenUp = !known || known->wasGivenUp ? findGivenUp(name) : nullptr;
        if (givenUp) givenUp->seen = true;
        if (known) {
            known->seen = true;
            continue;
        }
        if (givenUp && nowMs < givenUp->retryAtMs) continue;
        if (!freeSlot) {
            leftOut = true;
            continue;
        }
        const uint32_t staleBefore = result.stale;
        if (connectPeer(*freeSlot, name, result)) {
            freeSlot->seen = true;
            freeSlot->wasGivenUp = givenUp != nullptr;
        } else if (givenUp && result.stale != staleBefore) {
            *givenUp = GivenUp{};
        }
    }
    // Peers whose names left the folder have ended or were removed; names given up on likewise.
    for (Peer& peer : peers_)
        if (peer.fd >= 0 && !peer.seen) dropPeer(peer);
    for (GivenUp& g : givenUp_)
        if (g.inUse && !g.seen) g = GivenUp{};
    peersLeftOut_ = leftOut;
}

void SparkLeakSocket::giveUp(Peer& peer, int64_t nowMs) {
    GivenUp* entry = peer.wasGivenUp ? findGivenUp(peer.name.data()) : nullptr;
    for (size_t i = 0; !entry && i < givenUp_.size(); ++i) {
        if (givenUp_[i].inUse) continue;
        entry = &givenUp_[i];
        *entry = GivenUp{};
        entry->inUse = true;
        entry->name = peer.name;
    }
    // With no room left to remember it, the peer is connected again by the next walk.
    if (entry) entry->retryAtMs = nowMs + kRetryMs;
    dropPeer(peer);
}

SparkLeakSocket::SendResult SparkLeakSocket::sendToPeers(std::span<const uint8_t> datagram, int64_t nowMs) {
    SendResult result;
    if (fd_ < 0) return result;
    if (lastScanMs_ < 0 || nowMs - lastScanMs_ >= kRescanMs) scan(nowMs, result);
    for (Peer& peer : peers_) {
        if (peer.fd < 0) continue;
        if (::send(peer.fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
            ++result.delivered;
            peer.fullSinceMs = -1;
            if (peer.wasGivenUp) {
                // It reads again: forgotten as given up, and reported again if it ever stops.
                if (GivenUp* g = findGivenUp(peer.name.data())) *g = GivenUp{};
                peer.wasGivenUp = false;
            }
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            ++result.full;
            if (peer.fullSinceMs < 0)
                peer.fullSinceMs = nowMs;
            else if (nowMs - peer.fullSinceMs >= kGiveUpMs)
                giveUp(peer, nowMs);
        } else if (errno == ECONNREFUSED || errno == ENOTCONN || errno == ECONNRESET || errno == EPIPE) {
            // Its process ended; its socket is left in the folder only when it did not remove it.
            if (::unlinkat(::dirfd(folder_), peer.name.data(), 0) == 0) ++result.stale;
            dropPeer(peer);
        }
        // Anything else (ENOBUFS, ENOMEM) is the machine's trouble, not the peer's: next time.
    }
    return result;
}

SparkLeakSocket::Received SparkLeakSocket::receive(SparkLeakDatagram& buffer, SenderCredentials* from) {
    if (fd_ < 0) return Received::Nothing;
    iovec part{buffer.data(), buffer.size()};
    // Room for the credentials and nothing more: descriptors a sender passes along do not fit
    // and are never installed (MSG_CTRUNC says so).
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(ucred))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t n;
    do {
        n = ::recvmsg(fd_, &message, MSG_DONTWAIT | MSG_TRUNC | MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return Received::Nothing;

    bool known = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET) continue;
        if (c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len == CMSG_LEN(sizeof(ucred))) {
            ucred credentials{};
            std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
            from->uid = credentials.uid;
            known = true;
        } else if (c->cmsg_type == SCM_RIGHTS) {
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int passed;
                std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof passed);
                ::close(passed);
            }
        }
    }
    const bool whole = (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0;
    return whole && known && static_cast<size_t>(n) == buffer.size() ? Received::Datagram : Received::Rejected;
}

}  // namespace posix
