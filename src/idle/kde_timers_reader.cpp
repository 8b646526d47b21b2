#include "idle/kde_timers_reader.h"

#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace idle {
namespace {

/// More than any real configuration file: a longer one is read this far.
constexpr std::streamsize kLongestFile = 1 << 20;
constexpr const char* kLockerFile = "kscreenlockerrc";
constexpr const char* kPlasma6File = "powerdevilrc";
constexpr const char* kPlasma5File = "powermanagementprofilesrc";

std::string trimmed(std::string_view text) {
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return std::string(text);
}

/// One configuration file's entries, cascaded over the folders: group path ("AC/Display") → key
/// → value.
struct KdeConfig {
    struct Entry {
        std::string value;
        bool immutable = false;
    };
    bool exists = false;
    bool immutable = false;  ///< a file marked [$i] before its first group: nothing overrides it
    std::map<std::string, std::map<std::string, Entry>> groups;
    std::set<std::string> immutableGroups;

    const std::string* value(const std::string& group, const std::string& key) const {
        const auto found = groups.find(group);
        if (found == groups.end()) return nullptr;
        const auto entry = found->second.find(key);
        return entry == found->second.end() ? nullptr : &entry->second.value;
    }
    /// Whether the group, or a group inside it, has an entry (KConfigGroup::exists()).
    bool hasGroup(const std::string& group) const {
        for (const auto& [name, entries] : groups)
            if (!entries.empty() && (name == group || name.rfind(group + "/", 0) == 0)) return true;
        return false;
    }

    /// Lays one file's text over what the files before it (less important) gave.
    void layOver(const std::string& text) {
        exists = true;
        if (immutable) return;
        std::string group;
        bool groupSeen = false;
        std::set<std::string> newlyImmutable;
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = std::min(text.find('\n', start), text.size());
            const std::string line = trimmed(std::string_view(text).substr(start, end - start));
            start = end + 1;
            if (line.empty() || line[0] == '#') continue;
            if (line[0] == '[') {
                std::string path;
                bool marked = false;
                size_t at = 0;
                while (at < line.size() && line[at] == '[') {
                    const size_t close = line.find(']', at);
                    if (close == std::string::npos) break;
                    const std::string part = line.substr(at + 1, close - at - 1);
                    if (part == "$i")
                        marked = true;
                    else
                        path += (path.empty() ? "" : "/") + part;
                    at = close + 1;
                }
                if (path.empty() && marked && !groupSeen) newlyImmutable.insert("");  // the whole file
                group = path;
                groupSeen = true;
                if (marked && !path.empty()) newlyImmutable.insert(path);
                continue;
            }
            const size_t equals = line.find('=');
            if (equals == std::string::npos) continue;
            std::string key = trimmed(std::string_view(line).substr(0, equals));
            bool entryImmutable = false;
            if (const size_t open = key.find('['); open != std::string::npos) {
                const std::string options = key.substr(open);
                // "Name[de]" is a translation, not the entry; "Timeout[$i]" is the entry, locked.
                if (options.size() < 3 || options[1] != '$') continue;
                entryImmutable = options.find('i') != std::string::npos;
                key = trimmed(std::string_view(key).substr(0, open));
            }
            if (immutableGroups.count(group)) continue;
            Entry& entry = groups[group][key];
            if (entry.immutable) continue;
            entry.value = trimmed(std::string_view(line).substr(equals + 1));
            entry.immutable = entryImmutable;
        }
        for (const std::string& path : newlyImmutable) {
            if (path.empty())
                immutable = true;
            else
                immutableGroups.insert(path);
        }
    }
};

KdeConfig readCascade(const std::vector<std::string>& folders, const char* name) {
    KdeConfig config;
    // The least important folder first, each laid over the ones before.
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        // Only a regular file: opening a FIFO in its place would wait for a writer.
        const std::filesystem::path path = std::filesystem::path(*folder) / name;
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) continue;
        const auto size = std::filesystem::file_size(path, error);
        std::ifstream file(path, std::ios::binary);
        if (error || !file) continue;
        std::string text(static_cast<size_t>(std::min<std::uintmax_t>(size, kLongestFile)), '\0');
        file.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<size_t>(file.gcount()));
        config.layOver(text);
    }
    return config;
}

/// A switch as KConfig reads one; `fallback` for anything else.
bool switchOr(const std::string* text, bool fallback) {
    if (!text) return fallback;
    std::string word = *text;
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
    if (word == "true" || word == "on" || word == "yes" || word == "1") return true;
    if (word == "false" || word == "off" || word == "no" || word == "0") return false;
    return fallback;
}

/// A 32-bit number as KConfig reads one; `fallback` for anything else (also one too large).
int64_t numberOr(const std::string* text, int64_t fallback) {
    if (!text || text->empty()) return fallback;
    const char* first = text->data() + (text->front() == '+' ? 1 : 0);
    const char* last = text->data() + text->size();
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    return (error == std::errc() && end == last) ? value : fallback;
}

DesktopTime positive(int64_t seconds) { return seconds > 0 ? DesktopTime(seconds) : std::nullopt; }

int guessPlasmaVersion(const KdeConfig& plasma6, const KdeConfig& plasma5) {
    for (const char* profile : {"AC", "Battery", "LowBattery"})
        if (plasma6.hasGroup(profile)) return 6;
    if (plasma5.value("Migration", "MigratedProfilesToPlasma6")) return 6;
    return plasma5.exists ? 5 : 6;
}

}  // namespace

DesktopTimers readKdeTimers(const std::vector<std::string>& configFolders, int plasmaVersion) {
    DesktopTimers timers;
    timers.desktop = "KDE Plasma";
    timers.known = true;

    const KdeConfig locker = readCascade(configFolders, kLockerFile);
    const int64_t lockMinutes = numberOr(locker.value("Daemon", "Timeout"), 5);
    if (switchOr(locker.value("Daemon", "Autolock"), true) && lockMinutes > 0) timers.lock = lockMinutes * 60;

    const KdeConfig plasma6 = readCascade(configFolders, kPlasma6File);
    const KdeConfig plasma5 = readCascade(configFolders, kPlasma5File);
    if (plasmaVersion != 5 && plasmaVersion != 6) plasmaVersion = guessPlasmaVersion(plasma6, plasma5);

    for (const bool battery : {false, true}) {
        const std::string profile = battery ? "Battery" : "AC";
        DesktopTime displaysOff;
        DesktopTime sleep;
        if (plasmaVersion == 6) {
            const std::string display = profile + "/Display";
            const std::string suspend = profile + "/SuspendAndShutdown";
            if (switchOr(plasma6.value(display, "TurnOffDisplayWhenIdle"), true))
                displaysOff = positive(numberOr(plasma6.value(display, "TurnOffDisplayIdleTimeoutSec"), battery ? 300 : 600));
            if (numberOr(plasma6.value(suspend, "AutoSuspendAction"), 1) != 0)
                sleep = positive(numberOr(plasma6.value(suspend, "AutoSuspendIdleTimeoutSec"), battery ? 600 : 900));
        } else if (!plasma5.exists) {
            displaysOff = battery ? 300 : 600;
            sleep = battery ? 600 : 900;
        } else {
            const std::string dpms = profile + "/DPMSControl";
            const std::string suspend = profile + "/SuspendSession";
            if (plasma5.hasGroup(dpms)) displaysOff = positive(numberOr(plasma5.value(dpms, "idleTime"), battery ? 300 : 600));
            if (plasma5.hasGroup(suspend) && numberOr(plasma5.value(suspend, "suspendType"), 1) != 0) {
                const int64_t milliseconds = numberOr(plasma5.value(suspend, "idleTime"), battery ? 600000 : 900000);
                sleep = positive((milliseconds + 999) / 1000);
            }
        }
        (battery ? timers.displaysOffOnBattery : timers.displaysOff) = displaysOff;
        (battery ? timers.sleepOnBattery : timers.sleepOnAc) = sleep;
    }
    timers.whereToChange = plasmaVersion == 5 ? "System Settings → Screen Locking, and Energy Saving"
                                              : "System Settings → Screen Locking, and Power Management";
    return timers;
}

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> sessionConfigFolders() {
    std::string user = environmentValue("XDG_CONFIG_HOME");
    if (user.empty()) user = environmentValue("HOME") + "/.config";
    std::vector<std::string> folders{user};
    std::string system = environmentValue("XDG_CONFIG_DIRS");
    if (system.empty()) system = "/etc/xdg";
    size_t start = 0;
    while (start <= system.size()) {
        const size_t end = std::min(system.find(':', start), system.size());
        if (end > start) folders.push_back(system.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

}  // namespace

KdeTimersReader::KdeTimersReader(IdleLog, std::vector<std::string> configFolders, int plasmaVersion)
    : folders_(configFolders.empty() ? sessionConfigFolders() : std::move(configFolders)),
      plasmaVersion_(plasmaVersion) {
    if (plasmaVersion_ == 0) {
        const std::string session = environmentValue("KDE_SESSION_VERSION");
        if (session == "5" || session == "6") plasmaVersion_ = session[0] - '0';
    }
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &KdeTimersReader::reread);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &KdeTimersReader::reread);
    watchFiles();
    timers_ = readKdeTimers(folders_, plasmaVersion_);
}

void KdeTimersReader::watchFiles() {
    // The user's folder: a save renames a new file over the old one, which ends a watch on the
    // file itself; the files too, for an editor that writes them in place.
    const QString folder = QString::fromStdString(folders_.front());
    if (!watcher_.directories().contains(folder) && QFileInfo(folder).isDir()) watcher_.addPath(folder);
    for (const char* name : {kLockerFile, kPlasma6File, kPlasma5File}) {
        const QString file = folder + QLatin1Char('/') + QLatin1String(name);
        if (!watcher_.files().contains(file) && QFileInfo::exists(file)) watcher_.addPath(file);
    }
}

void KdeTimersReader::reread() {
    watchFiles();
    DesktopTimers now = readKdeTimers(folders_, plasmaVersion_);
    if (now == timers_) return;
    timers_ = std::move(now);
    emit changed();
}

}  // namespace idle
