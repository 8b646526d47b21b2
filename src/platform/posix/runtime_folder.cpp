#include "platform/posix/runtime_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix {
namespace {

std::string errorText(int error) { return std::strerror(error); }

/// What makes a folder with these attributes unfit to be private to `uid`, or empty.
std::string unfitness(const struct stat& info, uint32_t uid) {
    if (S_ISLNK(info.st_mode)) return "is a link";
    if (!S_ISDIR(info.st_mode)) return "is not a folder";
    if (info.st_uid != uid) return "belongs to another user (uid " + std::to_string(info.st_uid) + ")";
    if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return std::string("is open to other users (mode ") + mode + ")";
    }
    return {};
}

}  // namespace

int openPrivateFolder(int parentFd, const std::string& name, const std::string& shownAs, uint32_t uid, bool make,
                      std::string* why) {
    if (make && ::mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST) {
        *why = "cannot make " + shownAs + ": " + errorText(errno);
        return -1;
    }
    const int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd < 0) {
        // A link or a file refuses O_NOFOLLOW | O_DIRECTORY; say which.
        const int error = errno;
        std::string reason;
        if (::fstatat(parentFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) reason = unfitness(info, uid);
        *why = reason.empty() ? "cannot open " + shownAs + ": " + errorText(error) : shownAs + " " + reason;
        return -1;
    }
    if (::fstat(fd, &info) != 0) {
        *why = "cannot look at " + shownAs + ": " + errorText(errno);
        ::close(fd);
        return -1;
    }
    const std::string reason = unfitness(info, uid);
    if (reason.empty()) return fd;
    *why = shownAs + " " + reason;
    ::close(fd);
    return -1;
}

bool ensurePrivateFolder(const std::string& path, uint32_t uid, std::string* why) {
    const int fd = openPrivateFolder(AT_FDCWD, path, path, uid, true, why);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

std::string privateRuntimeFolder(std::string_view runtimeDir, uint32_t uid, size_t maxLength,
                                 std::vector<std::string>* passedOver, std::string* why) {
    std::string runtime(runtimeDir);
    while (runtime.size() > 1 && runtime.back() == '/') runtime.pop_back();
    std::string reason;
    if (runtime.empty()) {
        reason = "it is not set";
    } else if (runtime.front() != '/') {
        reason = "it is not an absolute path";
    } else if (runtime.size() > maxLength) {
        reason = "it is longer than " + std::to_string(maxLength) + " characters, too long for the paths in it";
    } else {
        const int fd = openPrivateFolder(AT_FDCWD, runtime, "it", uid, false, &reason);
        if (fd >= 0) {
            ::close(fd);
            return runtime;
        }
    }
    if (passedOver)
        passedOver->push_back("XDG_RUNTIME_DIR" + (runtime.empty() ? "" : " " + runtime) + " is passed over: " + reason);

    // /tmp whatever TMPDIR says: every process of the user must find the same folder.
    const std::string fallback = "/tmp/tavrin-" + std::to_string(uid);
    if (fallback.size() > maxLength) {
        *why = fallback + " is too long for the paths in it";
        return {};
    }
    return ensurePrivateFolder(fallback, uid, why) ? fallback : std::string();
}

}  // namespace posix
