// Where the program finds its resources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/posix/file_bundle.h"
#include "support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

/// A picture file in the folder.
void writePicture(const TemporaryFolder& folder, const std::string& name) {
    std::ofstream(folder.filePath(name)) << "<svg/>";
}

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
    writePicture(folder, "tavrin.svg");
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
    writePicture(folder, "sub/x.svg");
    const posix::FileBundle bundle("id", {folder.path()}, "1", "2");
    EXPECT_EQ(bundle.pathForResource("sub/x", "svg"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("sub", ""), std::nullopt) << "a folder is not a resource";
    EXPECT_EQ(bundle.pathForResource("", "svg"), std::nullopt);
}

TEST(FileBundle, FoldersAreSearchedInOrder) {
    TemporaryFolder first, second;
    ASSERT_TRUE(first.isValid() && second.isValid());
    writePicture(second, "a.svg");
    writePicture(first, "b.svg");
    writePicture(second, "b.svg");
    const posix::FileBundle bundle("id", {first.path(), second.path()}, "1", "2");
    EXPECT_EQ(bundle.pathForResource("a", "svg"), second.filePath("a.svg"));
    EXPECT_EQ(bundle.pathForResource("b", "svg"), first.filePath("b.svg"));
}

}  // namespace
