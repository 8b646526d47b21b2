#include "idle/watcher_status.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

#include "platform/posix/file_defaults_store.h"

namespace idle {
namespace {

/// Largest status file read: a few hundred inhibitions' worth.
constexpr size_t kMaxStatusSize = 64 * 1024;

/// A value on one line: line breaks and other control characters become spaces.
std::string oneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return line;
}

std::optional<int64_t> number(std::string_view text) {
    const std::optional<int64_t> value = posix::parseInteger(text);
    if (!value || *value < 0) return std::nullopt;
    return value;
}

}  // namespace

std::string watcherStatusPath(const std::string& lockPath) {
    const std::string suffix = ".lock";
    std::string path = lockPath;
    if (path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
        path.erase(path.size() - suffix.size());
    return path + ".status";
}

bool writeWatcherStatus(const std::string& path, const WatcherStatus& status, std::string* why) {
    std::string text;
    auto put = [&text](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += oneLine(value);
        text += '\n';
    };
    put("pid", std::to_string(status.pid));
    put("started", std::to_string(status.startedAt));
    put("source", status.source);
    put("timeout", std::to_string(status.timeoutSeconds));
    if (!status.desktopHiding.empty()) put("desktop", status.desktopHiding);
    for (const std::string& line : status.covers) put("cover", line);
    for (const std::string& line : status.keptAwayBy) put("away", line);
    for (const Inhibitor& holder : status.holders) {
        put("holder", holder.application);
        put("holder-reason", holder.reason);
    }
    if (!status.power.empty()) put("power", status.power);
    if (status.saverPid > 0) {
        put("saver", std::to_string(status.saverPid));
        put("saver-since", std::to_string(status.saverSince));
    }

    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *why = "cannot write " + temporary + ": " + std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    const int error = written == text.size() ? 0 : errno;
    ::close(fd);
    if (error != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        *why = "cannot write " + path + ": " + std::strerror(error != 0 ? error : errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<WatcherStatus> readWatcherStatus(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    std::string text(kMaxStatusSize + 1, '\0');
    size_t read = 0;
    while (read < text.size()) {
        const ssize_t n = ::read(fd, text.data() + read, text.size() - read);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        read += static_cast<size_t>(n);
    }
    ::close(fd);
    if (read > kMaxStatusSize) return std::nullopt;
    text.resize(read);

    WatcherStatus status;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string value(line.substr(equals + 1));
        if (key == "pid") {
            status.pid = static_cast<long>(number(value).value_or(0));
        } else if (key == "started") {
            status.startedAt = number(value).value_or(0);
        } else if (key == "source") {
            status.source = value;
        } else if (key == "timeout") {
            status.timeoutSeconds = number(value).value_or(0);
        } else if (key == "desktop") {
            status.desktopHiding = value;
        } else if (key == "cover") {
            status.covers.push_back(value);
        } else if (key == "away") {
            status.keptAwayBy.push_back(value);
        } else if (key == "holder") {
            status.holders.push_back({value, {}});
        } else if (key == "holder-reason") {
            if (!status.holders.empty()) status.holders.back().reason = value;
        } else if (key == "power") {
            status.power = value;
        } else if (key == "saver") {
            status.saverPid = static_cast<long>(number(value).value_or(0));
        } else if (key == "saver-since") {
            status.saverSince = number(value).value_or(0);
        }
    }
    if (status.pid <= 0) return std::nullopt;
    return status;
}

std::string noWatcherReason(bool startOnIdle) {
    if (!startOnIdle) return "Starting on idle is off: the settings window ('tavrin --settings') turns it on.";
    return "Tavrin's idle watcher is not running in this session; 'journalctl -t org.tavrin.screensaver' says why.";
}

}  // namespace idle
