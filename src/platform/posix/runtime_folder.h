// Folders that only this user may enter: the runtime folder the session names, or one of our own
// in /tmp when that will not do. Whatever another user can reach into (a folder open to others,
// a link someone else may turn, a folder of another owner) is never used, and every folder passed
// over is said, so that a log can tell why sockets or lock files end up in /tmp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace posix {

/// This user's private runtime folder: XDG_RUNTIME_DIR (`runtimeDir`) when it is an absolute
/// folder (not a link) of `uid`, closed to group and others and no longer than `maxLength`; else
/// /tmp/tavrin-<uid>, made with mode 0700 and checked the same way. `passedOver` (if not null) gets
/// one line per folder passed over saying why. Empty with the reason in `why` when neither will do.
std::string privateRuntimeFolder(std::string_view runtimeDir, uint32_t uid, size_t maxLength,
                                 std::vector<std::string>* passedOver, std::string* why);

/// Opens the folder `name`, relative to the open folder `parentFd` (or to the working folder with
/// AT_FDCWD), making it with mode 0700 first when `make` is set, and checks the open descriptor:
/// a folder (not a link) of `uid`, closed to group and others. What is checked is what the
/// descriptor holds, so a folder renamed or replaced afterwards is never followed. The descriptor
/// (close-on-exec), or -1 with the reason in `why`; `shownAs` names the folder there.
int openPrivateFolder(int parentFd, const std::string& name, const std::string& shownAs, uint32_t uid, bool make,
                      std::string* why);

/// Makes `path` a folder of mode 0700 when missing, then checks it as openPrivateFolder() does.
/// False with the reason in `why`.
bool ensurePrivateFolder(const std::string& path, uint32_t uid, std::string* why);

}  // namespace posix
