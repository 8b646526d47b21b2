// Where the program finds its resources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/posix/file_bundle.h"

namespace {

namespace fs = std::filesystem;

/// A fresh folder, removed with everything in it at the end of the test.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "tavrin-bundle.XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    bool isValid() const { return !path_.empty(); }
    std::string path() const { return path_.string(); }
    std::string filePath(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name) const { std::ofstream(filePath(name)) << "<svg/>"; }

private:
    fs::path path_;
};

class ResourceFolderOverride {
public:
    explicit ResourceFolderOverride(const std::string& folder) {
        if (const char* old = std::getenv("TAVRIN_RESOURCE_DIR")) saved_ = old;
        ::setenv("TAVRIN_RESOURCE_DIR", folder.c_str(), 1);
    }
    ~ResourceFolderOverride() {
        if (saved_.empty())
            ::unsetenv("TAVRIN_RESOURCE_DIR");
        else
            ::setenv("TAVRIN_RESOURCE_DIR", saved_.c_str(), 1);
    }

private:
    std::string saved_;
};

TEST(FileBundle, TheResourceFolderVariableIsTheOnlyPlaceLookedIn) {
    TemporaryFolder folder;
    ASSERT_TRUE(folder.isValid());
    folder.write("tavrin.svg");
    ResourceFolderOverride override(folder.path());

    const posix::FileBundle bundle = posix::FileBundle::program();
    EXPECT_EQ(bundle.pathForResource("tavrin", "svg"), folder.filePath("tavrin.svg"));
    EXPECT_EQ(bundle.pathForResource("tavrin_wheel", "svg"), std::nullopt)
        << "a missing resource must not be taken from another folder";
}

TEST(FileBundle, NamesThatLeaveTheFolderAreNoResources) {
    TemporaryFolder folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(fs::create_directory(folder.filePath("sub")));
    folder.write("sub/x.svg");
    const posix::FileBundle bundle("id", {folder.path()}, "1", "2");
    EXPECT_EQ(bundle.pathForResource("sub/x", "svg"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("sub", ""), std::nullopt) << "a folder is not a resource";
    EXPECT_EQ(bundle.pathForResource("", "svg"), std::nullopt);
}

TEST(FileBundle, FoldersAreSearchedInOrder) {
    TemporaryFolder first, second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    second.write("a.svg");
    first.write("b.svg");
    second.write("b.svg");
    const posix::FileBundle bundle("id", {first.path(), second.path()}, "1", "2");
    EXPECT_EQ(bundle.pathForResource("a", "svg"), second.filePath("a.svg"));
    EXPECT_EQ(bundle.pathForResource("b", "svg"), first.filePath("b.svg"));
}

}  // namespace
