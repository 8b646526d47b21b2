// The settings file: one human-readable file per module under $XDG_CONFIG_HOME (default
// ~/.config), named after the module, with one "Key=value" line per setting.
//
// Loading never changes the file. Saving is atomic (a temporary file in the same folder, flushed
// to disk, then renamed over the old one), reads the file afresh so that what others wrote since
// is kept, keeps every line it does not own (comments, unknown keys, even lines it cannot parse) and follows a symbolic link to write the file it names. A
// file that could not be read is never overwritten; a save that cannot write leaves the old file
// as it was and logs one line.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/services.h"

namespace posix {

/// Where a module's settings file lives: $XDG_CONFIG_HOME/<module>.conf, else
/// $HOME/.config/<module>.conf (XDG_CONFIG_HOME is used only when absolute).
std::string settingsFilePath(std::string_view moduleName);

class FileDefaultsStore : public host::ScreenSaverDefaults {
public:
    /// Reads the file at the path now; `log` receives a line when a save fails.
    FileDefaultsStore(std::string path, std::function<void(const std::string&)> log);

    void registerDefaults(std::span<const host::DefaultValue> defaults) override;
    bool boolForKey(std::string_view key) override;
    int64_t integerForKey(std::string_view key) override;
    void setBool(bool value, std::string_view key) override;
    void setInteger(int64_t value, std::string_view key) override;
    /// A word of the program's own (not one of the module's settings), written as it is.
    void setString(std::string_view value, std::string_view key) { set(key, std::string(value)); }
    bool synchronize() override;

    const std::string& path() const { return path_; }
    /// The value of a key's line as written in the file (trimmed), or null without one.
    const std::string* valueForKey(std::string_view key) const;
    /// Why the file could not be read, or empty (a missing file is not an error).
    const std::string& readError() const { return readError_; }

    /// Largest file that is read; a larger one is treated as unreadable and kept as it is.
    static constexpr size_t kMaxFileSize = 1 << 20;

private:
    struct Line {
        std::string text;  ///< the line as read or as rewritten, without its newline
        std::string key;   ///< empty for comments, blank and unparsable lines
        std::string value;
    };
    void load();
    const Line* find(std::string_view key) const;
    void set(std::string_view key, std::string value);

    std::string path_;
    std::function<void(const std::string&)> log_;
    std::vector<Line> lines_;
    bool endsWithNewline_ = true;
    bool fileExisted_ = false;
    std::string readError_;
    bool dirty_ = false;
    std::map<std::string, host::DefaultValue, std::less<>> registered_;
    /// The values set since the last save; a save reads the file afresh and writes these over it.
    std::map<std::string, std::string, std::less<>> changed_;
};

/// Reads a value the way the store does: integers in decimal with an optional sign; "true",
/// "yes" and "false", "no" (any case) as 1 and 0. Anything else, including a number too large for
/// 64 bits, is unusable and gives none.
std::optional<int64_t> parseInteger(std::string_view text);
std::optional<bool> parseBool(std::string_view text);

class FileDefaultsProvider : public host::DefaultsProvider {
public:
    explicit FileDefaultsProvider(std::function<void(const std::string&)> log) : log_(std::move(log)) {}
    std::shared_ptr<host::ScreenSaverDefaults> defaultsForModuleWithName(std::string_view moduleName) override;

private:
    std::function<void(const std::string&)> log_;
};

}  // namespace posix
