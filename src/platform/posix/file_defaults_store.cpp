#include "platform/posix/file_defaults_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace posix {
namespace {

std::string_view trim(std::string_view s) {
    const char* ws = " \t\r\v\f";
    const size_t b = s.find_first_not_of(ws);
    if (b == std::string_view::npos) return {};
    const size_t e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string errnoText(int err) { return std::strerror(err); }

std::string parentFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

/// Creates the folder and its parents (mode 0700 for new ones); true when it exists afterwards.
bool makeFolders(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = parentFolder(folder);
    if (parent != folder && !makeFolders(parent)) return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

/// The file a save must replace: the target of a symbolic link (so a linked dotfile stays
/// linked), else the path itself.
std::string fileToReplace(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string resolved = real;
        std::free(real);
        return resolved;
    }
    // A dangling link: write where it points.
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0) return path;
    std::string t(target, static_cast<size_t>(n));
    return t.front() == '/' ? t : parentFolder(path) + "/" + t;
}

}  // namespace

std::optional<int64_t> parseInteger(std::string_view text) {
    text = trim(text);
    if (equalsIgnoringCase(text, "true") || equalsIgnoringCase(text, "yes")) return 1;
    if (equalsIgnoringCase(text, "false") || equalsIgnoringCase(text, "no")) return 0;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::optional<bool> parseBool(std::string_view text) {
    text = trim(text);
    if (equalsIgnoringCase(text, "true") || equalsIgnoringCase(text, "yes") || equalsIgnoringCase(text, "on"))
        return true;
    if (equalsIgnoringCase(text, "false") || equalsIgnoringCase(text, "no") || equalsIgnoringCase(text, "off"))
        return false;
    if (auto n = parseInteger(text)) return *n != 0;
    return std::nullopt;
}

std::string settingsFilePath(std::string_view moduleName) {
    std::string folder;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        folder = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw && pw->pw_dir ? pw->pw_dir : "/tmp";
        }
        folder = std::string(home) + "/.config";
    }
    return folder + "/" + std::string(moduleName) + ".conf";
}

FileDefaultsStore::FileDefaultsStore(std::string path, std::function<void(const std::string&)> log)
    : path_(std::move(path)), log_(std::move(log)) {
    load();
}

void FileDefaultsStore::load() {
    lines_.clear();
    endsWithNewline_ = true;
    fileExisted_ = false;
    readError_.clear();
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT) {
            fileExisted_ = true;
            readError_ = errnoText(errno);
        }
        return;
    }
    fileExisted_ = true;
    std::string data;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        readError_ = errnoText(errno);
    } else if (!S_ISREG(st.st_mode)) {
        readError_ = "not a regular file";
    } else if (static_cast<size_t>(st.st_size) > kMaxFileSize) {
        readError_ = "larger than 1 MiB";
    } else {
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                readError_ = errnoText(errno);
                break;
            }
            if (n == 0) break;
            data.append(buffer, static_cast<size_t>(n));
            if (data.size() > kMaxFileSize) {
                readError_ = "larger than 1 MiB";
                break;
            }
        }
    }
    ::close(fd);
    if (!readError_.empty()) return;

    endsWithNewline_ = data.empty() || data.back() == '\n';
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find('\n', start);
        if (end == std::string::npos) end = data.size();
        Line line;
        line.text = data.substr(start, end - start);
        const std::string_view body = trim(line.text);
        const size_t eq = body.find('=');
        const bool comment = body.empty() || body.front() == '#' || body.front() == ';';
        if (!comment && eq != std::string_view::npos && !trim(body.substr(0, eq)).empty()) {
            line.key = std::string(trim(body.substr(0, eq)));
            line.value = std::string(trim(body.substr(eq + 1)));
        }
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

const FileDefaultsStore::Line* FileDefaultsStore::find(std::string_view key) const {
    // A key given twice: the last line wins, as when a later line overrides an earlier one.
    for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
        if (it->key == key) return &*it;
    return nullptr;
}

void FileDefaultsStore::registerDefaults(std::span<const host::DefaultValue> defaults) {
    for (const auto& d : defaults) registered_[std::string(d.key)] = d;
}

bool FileDefaultsStore::boolForKey(std::string_view key) {
    if (const Line* line = find(key)) return parseBool(line->value).value_or(false);
    if (auto it = registered_.find(key); it != registered_.end())
        return it->second.type == host::DefaultValue::Type::Bool ? it->second.boolean : it->second.integer != 0;
    return false;
}

int64_t FileDefaultsStore::integerForKey(std::string_view key) {
    if (const Line* line = find(key)) return parseInteger(line->value).value_or(0);
    if (auto it = registered_.find(key); it != registered_.end())
        return it->second.type == host::DefaultValue::Type::Integer ? it->second.integer : (it->second.boolean ? 1 : 0);
    return 0;
}

const std::string* FileDefaultsStore::valueForKey(std::string_view key) const {
    const Line* line = find(key);
    return line ? &line->value : nullptr;
}

void FileDefaultsStore::set(std::string_view key, std::string value) {
    changed_[std::string(key)] = value;
    Line* line = const_cast<Line*>(find(key));
    if (!line) {
        lines_.push_back({});
        line = &lines_.back();
        line->key = std::string(key);
    }
    line->value = std::move(value);
    line->text = line->key + "=" + line->value;
    dirty_ = true;
}

void FileDefaultsStore::setBool(bool value, std::string_view key) { set(key, value ? "true" : "false"); }

void FileDefaultsStore::setInteger(int64_t value, std::string_view key) { set(key, std::to_string(value)); }

bool FileDefaultsStore::synchronize() {
    if (!dirty_) return true;
    // Another writer (a second window, another process, the user's editor) may have changed the
    // file since it was read: what it wrote is kept, and only the keys set here are written over.
    const std::map<std::string, std::string, std::less<>> changed = std::move(changed_);
    load();
    for (const auto& [key, value] : changed) set(key, value);
    if (!readError_.empty()) {
        log_("cannot save settings: " + path_ + " could not be read (" + readError_ + "), so it is left as it is");
        return false;
    }
    const std::string target = fileToReplace(path_);
    const std::string folder = parentFolder(target);
    if (!makeFolders(folder)) {
        log_("cannot save settings: cannot create the folder " + folder + " (" + errnoText(errno) + ")");
        return false;
    }
    std::string data;
    if (!fileExisted_) data = "# Tavrin screen saver settings\n";
    for (size_t i = 0; i < lines_.size(); ++i) {
        data += lines_[i].text;
        if (i + 1 < lines_.size() || endsWithNewline_ || dirty_) data += '\n';
    }

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        log_("cannot save settings to " + target + ": " + errnoText(errno));
        return false;
    }
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        log_("cannot save settings to " + target + ": " + errnoText(err) + "; the previous file is unchanged");
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    dirty_ = false;
    changed_.clear();
    fileExisted_ = true;
    endsWithNewline_ = true;
    return true;
}

std::shared_ptr<host::ScreenSaverDefaults> FileDefaultsProvider::defaultsForModuleWithName(std::string_view name) {
    return std::make_shared<FileDefaultsStore>(settingsFilePath(name), log_);
}

}  // namespace posix
