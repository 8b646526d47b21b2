#include "platform/posix/spark_leak_socket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace posix {
namespace {

/// Longest socket name: a process id in decimal.
constexpr size_t kLongestName = 10;

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

bool looksLikeOurs(const char* name) {
    size_t n = 0;
    for (; name[n]; ++n)
        if (name[n] < '0' || name[n] > '9' || n == kLongestName) return false;
    return n > 0;
}

/// The address of `<folder>/<name>`; false when the path does not fit.
bool toAddress(std::string_view folder, std::string_view name, sockaddr_un* address) {
    if (folder.size() + 1 + name.size() >= sizeof(address->sun_path)) return false;
    address->sun_family = AF_UNIX;
    char* end = std::copy(folder.begin(), folder.end(), address->sun_path);
    *end++ = '/';
    *std::copy(name.begin(), name.end(), end) = '\0';
    return true;
}

/// `<base>/<display>` after both folders pass ensurePrivateFolder, or empty with `why`.
std::string folderIn(const std::string& base, uint32_t uid, const std::string& display, std::string* why) {
    const std::string folder = base + "/" + display;
    if (folder.size() + 1 + kLongestName >= sizeof(sockaddr_un::sun_path)) {
        *why = folder + " is too long a path for a socket";
        return {};
    }
    if (!ensurePrivateFolder(base, uid, why) || !ensurePrivateFolder(folder, uid, why)) return {};
    return folder;
}

}  // namespace

bool ensurePrivateFolder(const std::string& path, uint32_t uid, std::string* why) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        *why = "cannot make " + path + ": " + errorText();
        return false;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        *why = "cannot look at " + path + ": " + errorText();
        return false;
    }
    if (!S_ISDIR(info.st_mode))
        *why = path + " is not a folder";
    else if (info.st_uid != uid)
        *why = path + " belongs to another user";
    else if ((info.st_mode & 077) != 0)
        *why = path + " is open to other users";
    else
        return true;
    return false;
}

std::string sparkLeakFolder(std::string_view runtimeDir, uint32_t uid, std::string_view displayIdentity,
                            std::string* why) {
    const std::string display = displayFolderName(displayIdentity);
    std::string runtimeWhy = "XDG_RUNTIME_DIR is not set";
    if (!runtimeDir.empty() && runtimeDir.front() == '/') {
        const std::string folder = folderIn(std::string(runtimeDir) + "/tavrin-sparks", uid, display, &runtimeWhy);
        if (!folder.empty()) return folder;
    } else if (!runtimeDir.empty()) {
        runtimeWhy = "XDG_RUNTIME_DIR is not an absolute path";
    }
    // /tmp whatever TMPDIR says: every process of the user must find the same folder.
    std::string tmpWhy;
    const std::string folder = folderIn("/tmp/tavrin-sparks-" + std::to_string(uid), uid, display, &tmpWhy);
    if (folder.empty()) *why = runtimeWhy + ", and " + tmpWhy;
    return folder;
}

bool SparkLeakSocket::open(const std::string& folder, uint32_t name, std::string* why) {
    close();
    name_ = std::to_string(name);
    path_ = folder + "/" + name_;
    sockaddr_un address{};
    if (!toAddress(folder, name_, &address)) {
        *why = path_ + " is too long a path for a socket";
        return false;
    }
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
        *why = "cannot make a socket: " + errorText();
        close();
        return false;
    }
    // A socket of this name was left by an ended process with this id: no live one can have it.
    ::unlink(path_.c_str());
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        *why = "cannot make the socket " + path_ + ": " + errorText();
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    folder_ = folder;
    folderStream_ = ::opendir(folder.c_str());
    if (!folderStream_) {
        *why = "cannot read " + folder + ": " + errorText();
        close();
        return false;
    }
    return true;
}

void SparkLeakSocket::close() {
    if (folderStream_) ::closedir(folderStream_);
    folderStream_ = nullptr;
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
    fd_ = -1;
}

SparkLeakSocket::SendResult SparkLeakSocket::sendToPeers(std::span<const uint8_t> datagram) {
    SendResult result;
    if (fd_ < 0) return result;
    ::rewinddir(folderStream_);
    sockaddr_un address{};
    for (size_t looked = 0; looked < kMaxPeers;) {
        const dirent* entry = ::readdir(folderStream_);
        if (!entry) break;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        ++looked;
        if (!looksLikeOurs(entry->d_name) || name_ == entry->d_name) continue;
        if (!toAddress(folder_, entry->d_name, &address)) continue;
        if (entry->d_type != DT_SOCK) {
            struct stat info {};
            if (entry->d_type != DT_UNKNOWN || ::lstat(address.sun_path, &info) != 0 || !S_ISSOCK(info.st_mode))
                continue;
        }
        if (::sendto(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&address), sizeof address) >= 0) {
            ++result.delivered;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            ++result.full;
        } else if (errno == ECONNREFUSED) {
            // Nobody reads it: its process ended without removing it.
            ::unlink(address.sun_path);
            ++result.stale;
        }
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
            from->pid = static_cast<uint32_t>(credentials.pid);
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
