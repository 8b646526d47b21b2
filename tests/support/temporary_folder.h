// A fresh folder for one test, removed with everything in it at the end of the test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& prefix = "tavrin-test") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + ".XXXXXX")).string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    bool isValid() const { return !path_.empty(); }
    std::string path() const { return path_.string(); }
    std::string filePath(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};
