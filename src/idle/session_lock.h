// One idle watcher per user and session: a lock file in the user's private runtime folder, named
// after the session's display server, held (flock) for the watcher's life. The kernel drops the
// lock when the process ends, however it ends, so a crashed watcher never blocks the next one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace idle {

class SessionLock {
public:
    SessionLock() = default;
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    enum class Result {
        Taken,    ///< this process holds the lock
        Held,     ///< another watcher holds it: `holder` is its process id
        Failed,   ///< no lock could be made: `why` says why
    };
    /// Takes the lock of the session `sessionIdentity` (the display server's kind and name) in
    /// `folder`, a folder private to this user.
    Result take(const std::string& folder, const std::string& sessionIdentity, long* holder, std::string* why);

    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

/// The folder of the session locks: this user's private runtime folder (XDG_RUNTIME_DIR when it
/// is private, else /tmp/tavrin-<uid>). `passedOver` gets a line for each folder passed over;
/// empty with the reason in `why` when none will do.
std::string sessionLockFolder(std::vector<std::string>* passedOver, std::string* why);

/// The lock file of the session `sessionIdentity` in `folder`.
std::string sessionLockPath(const std::string& folder, const std::string& sessionIdentity);

/// The process that holds a flock on the file at `path`, as /proc/locks lists it (the lock is not
/// taken to find out): 0 when none does or the file is missing, -1 when the list cannot be read.
long flockHolder(const std::string& path);

/// Whether an idle watcher runs in this session now: one holds the session's lock. `holder` (when
/// not null) gets its process id, 0 when it is not known.
bool watcherRunsInThisSession(long* holder = nullptr);

/// The session the watcher belongs to: "wayland:<socket path>" on a Wayland session, else
/// "x11:<host>:<display number>", else empty.
std::string sessionIdentity();

}  // namespace idle
