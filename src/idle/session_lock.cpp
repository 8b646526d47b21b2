#include "idle/session_lock.h"

#include "platform/posix/runtime_folder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <cstdio>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace idle {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

/// A 64-bit FNV-1a hash of the session's identity in hexadecimal: a file name for any text.
std::string hashName(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name;
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 0xf];
    return name;
}

/// Longest folder a lock file's path may start with: its name is under 64 characters.
constexpr size_t kLongestLockFolder = 4000;

}  // namespace

std::string sessionLockFolder(std::vector<std::string>* passedOver, std::string* why) {
    return posix::privateRuntimeFolder(environment("XDG_RUNTIME_DIR"), static_cast<uint32_t>(::getuid()),
                                       kLongestLockFolder, passedOver, why);
}

std::string sessionLockPath(const std::string& folder, const std::string& identity) {
    const std::string kind = identity.substr(0, identity.find(':'));
    return folder + "/tavrin-idle-watch-" + kind + "-" + hashName(identity) + ".lock";
}

long flockHolder(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) return 0;
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (!locks) return -1;
    long holder = 0;
    char line[256];
    while (holder == 0 && std::fgets(line, sizeof line, locks)) {
        // "1: FLOCK  ADVISORY  WRITE 4521 fd:01:1310794 0 EOF"; a waiter's line reads "1: -> FLOCK ...".
        char kind[16] = {};
        long pid = 0;
        unsigned long long inode = 0;
        if (std::sscanf(line, "%*d: %15s %*s %*s %ld %*x:%*x:%llu", kind, &pid, &inode) == 3 &&
            std::strcmp(kind, "FLOCK") == 0 && inode == static_cast<unsigned long long>(file.st_ino) && pid > 0)
            holder = pid;
    }
    std::fclose(locks);
    return holder;
}

bool watcherRunsInThisSession(long* holder) {
    const std::string identity = sessionIdentity();
    std::string why;
    const std::string folder = identity.empty() ? std::string() : sessionLockFolder(nullptr, &why);
    if (folder.empty()) return false;
    // Asked of the kernel's list of locks, so that asking never holds the lock, not even for a
    // moment in which a starting watcher would find it taken.
    const long listed = flockHolder(sessionLockPath(folder, identity));
    if (listed >= 0) {
        if (holder) *holder = listed;
        return listed > 0;
    }
    SessionLock probe;
    long pid = 0;
    const bool held = probe.take(folder, identity, &pid, &why) == SessionLock::Result::Held;
    if (holder) *holder = held ? pid : 0;
    return held;
}

std::string sessionIdentity() {
    const std::string wayland = environment("WAYLAND_DISPLAY");
    if (!wayland.empty()) {
        if (wayland.front() == '/') return "wayland:" + wayland;
        return "wayland:" + environment("XDG_RUNTIME_DIR") + "/" + wayland;
    }
    std::string display = environment("DISPLAY");
    if (display.empty()) return {};
    // ":0" and ":0.0" are one server: the screen number does not count.
    const size_t colon = display.rfind(':');
    const size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
    if (dot != std::string::npos) display.erase(dot);
    return "x11:" + display;
}

SessionLock::~SessionLock() {
    if (fd_ >= 0) ::close(fd_);
}

SessionLock::Result SessionLock::take(const std::string& folder, const std::string& identity, long* holder,
                                      std::string* why) {
    path_ = sessionLockPath(folder, identity);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        *why = "cannot open " + path_ + ": " + std::strerror(errno);
        return Result::Failed;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        char text[32] = {};
        const ssize_t n = ::pread(fd_, text, sizeof text - 1, 0);
        *holder = n > 0 ? std::strtol(text, nullptr, 10) : 0;
        ::close(fd_);
        fd_ = -1;
        if (error == EWOULDBLOCK) return Result::Held;
        *why = "cannot lock " + path_ + ": " + std::strerror(error);
        return Result::Failed;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) < 0) {
        // The lock holds without the process id; a second watcher just cannot name this one.
    }
    return Result::Taken;
}

}  // namespace idle
