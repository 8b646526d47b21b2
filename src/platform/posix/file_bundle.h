// The program's bundle: its identifier, its resources on disk and its version values.
#pragma once

#include <string>
#include <vector>

#include "host/services.h"

namespace posix {

/// The folder of the running program's executable (links resolved), or empty.
std::string programFolder();

/// The folders searched for resources, in order. $TAVRIN_RESOURCE_DIR, when set, is the only
/// one (so a test or a packager can point at exactly one folder); otherwise the folder beside
/// the program (<exe dir>/../share/tavrin), then the installed and the source folders.
std::vector<std::string> resourceSearchFolders();

class FileBundle : public host::Bundle {
public:
    FileBundle(std::string identifier, std::vector<std::string> resourceFolders, std::string shortVersion,
             std::string buildNumber);
    /// The program's own bundle, from its build settings and resourceSearchFolders().
    static FileBundle program();

    std::string bundleIdentifier() const override { return identifier_; }
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const override;
    std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const override;

private:
    std::string identifier_;
    std::vector<std::string> folders_;
    std::string shortVersion_;
    std::string buildNumber_;
};

}  // namespace posix
