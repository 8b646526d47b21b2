#include "idle/autostart_entry.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/file_defaults_store.h"

namespace idle {
namespace {

/// An argument of an Exec line: quoted when it holds anything but plain characters. Inside the
/// quotes '"', '`', '$' and '\\' take a backslash; then, as for every string value of the format,
/// each backslash is doubled; and '%' is doubled so that it is not a field code.
std::string execArgument(const std::string& argument) {
    bool plain = !argument.empty();
    for (const char c : argument)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || (c && std::strchr("/._-+,:@", c)))) plain = false;
    if (plain) return argument;
    std::string quoted;
    for (const char c : argument) {
        if (c && std::strchr("\"`$\\", c)) quoted += '\\';
        quoted += c;
    }
    std::string value = "\"";
    for (const char c : quoted) {
        if (c == '\\') value += '\\';
        value += c;
        if (c == '%') value += '%';
    }
    return value + "\"";
}

bool makeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
    const size_t slash = folder.rfind('/');
    if (errno != ENOENT || slash == 0 || slash == std::string::npos) return false;
    return makeFolder(folder.substr(0, slash)) && (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST);
}

}  // namespace

std::string autostartEntryPath() {
    // The settings file lives in the same configuration folder.
    std::string folder = posix::settingsFilePath("x");
    folder.erase(folder.rfind('/'));
    return folder + "/autostart/tavrin-idle-watch.desktop";
}

std::string autostartEntryText(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tavrin idle watcher\n"
           "Comment=Starts the Tavrin screen saver when the session has been idle\n"
           "Exec=" +
           execArgument(program) +
           " --idle-watch\n"
           "Icon=tavrin\n"
           "NoDisplay=true\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool writeAutostartEntry(const std::string& program, std::string* why) {
    const std::string path = autostartEntryPath();
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!makeFolder(folder)) {
        *why = "cannot make " + folder + ": " + std::strerror(errno);
        return false;
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        *why = "cannot write in " + folder + ": " + std::strerror(errno);
        return false;
    }
    const std::string text = autostartEntryText(program);
    bool ok = ::fchmod(fd, 0644) == 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        *why = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool removeAutostartEntry(std::string* why) {
    const std::string path = autostartEntryPath();
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    *why = "cannot remove " + path + ": " + std::strerror(errno);
    return false;
}

}  // namespace idle
