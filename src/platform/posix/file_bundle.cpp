#include "platform/posix/file_bundle.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace posix {
namespace {

bool isRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::string programFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return exe.parent_path().string();
}

std::vector<std::string> resourceSearchFolders() {
    const char* override = std::getenv("TAVRIN_RESOURCE_DIR");
    if (override && *override) return {override};
    std::vector<std::string> folders;
    const std::string exeFolder = programFolder();
    if (!exeFolder.empty()) folders.push_back(exeFolder + "/../share/tavrin");
    folders.push_back(TAVRIN_INSTALL_RESOURCES);
    folders.push_back(TAVRIN_SOURCE_RESOURCES);
    return folders;
}

FileBundle::FileBundle(std::string identifier, std::vector<std::string> resourceFolders, std::string shortVersion,
                   std::string buildNumber)
    : identifier_(std::move(identifier)),
      folders_(std::move(resourceFolders)),
      shortVersion_(std::move(shortVersion)),
      buildNumber_(std::move(buildNumber)) {}

FileBundle FileBundle::program() {
    return FileBundle(TAVRIN_BUNDLE_IDENTIFIER, resourceSearchFolders(), TAVRIN_VERSION, TAVRIN_BUILD_NUMBER);
}

std::optional<std::string> FileBundle::pathForResource(std::string_view name, std::string_view type) const {
    // A name that could leave the folder is no resource of ours.
    if (name.empty() || name.find('/') != std::string_view::npos || type.find('/') != std::string_view::npos)
        return std::nullopt;
    std::string file(name);
    if (!type.empty()) file.append(".").append(type);
    for (const std::string& folder : folders_) {
        const std::string path = folder + "/" + file;
        if (isRegularFile(path)) return path;
    }
    return std::nullopt;
}

std::optional<std::string> FileBundle::objectForInfoDictionaryKey(std::string_view key) const {
    if (key == "CFBundleShortVersionString") return shortVersion_;
    if (key == "CFBundleVersion") return buildNumber_;
    if (key == "CFBundleIdentifier") return identifier_;
    return std::nullopt;
}

}  // namespace posix
