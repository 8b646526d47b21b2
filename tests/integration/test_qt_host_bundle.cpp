// Where the program finds its resources.
#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>

#include "platform/qt/qt_bundle.h"
#include "qt_host_test_support.h"

namespace {

class ResourceFolderOverride {
public:
    explicit ResourceFolderOverride(const QString& folder) {
        if (const char* old = std::getenv("TAVRIN_RESOURCE_DIR")) saved_ = old;
        ::setenv("TAVRIN_RESOURCE_DIR", folder.toLocal8Bit().constData(), 1);
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

TEST(QtBundle, TheResourceFolderVariableIsTheOnlyPlaceLookedIn) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::ofstream(folder.filePath("tavrin.svg").toStdString()) << "<svg/>";
    ResourceFolderOverride override(folder.path());

    const qtbackend::QtBundle bundle = qtbackend::QtBundle::program();
    EXPECT_EQ(bundle.pathForResource("tavrin", "svg"), folder.filePath("tavrin.svg").toStdString());
    EXPECT_EQ(bundle.pathForResource("tavrin_wheel", "svg"), std::nullopt)
        << "a missing resource must not be taken from another folder";
}

TEST(QtBundle, NamesThatLeaveTheFolderAreNoResources) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
    std::ofstream(folder.filePath("sub/x.svg").toStdString()) << "<svg/>";
    const qtbackend::QtBundle bundle("id", {folder.path().toStdString()}, "1", "2");
    EXPECT_EQ(bundle.pathForResource("sub/x", "svg"), std::nullopt);
    EXPECT_EQ(bundle.pathForResource("sub", ""), std::nullopt) << "a folder is not a resource";
    EXPECT_EQ(bundle.pathForResource("", "svg"), std::nullopt);
}

TEST(QtBundle, FoldersAreSearchedInOrder) {
    QTemporaryDir first, second;
    std::ofstream(second.filePath("a.svg").toStdString()) << "<svg/>";
    std::ofstream(first.filePath("b.svg").toStdString()) << "<svg/>";
    std::ofstream(second.filePath("b.svg").toStdString()) << "<svg/>";
    const qtbackend::QtBundle bundle("id", {first.path().toStdString(), second.path().toStdString()}, "1", "2");
    EXPECT_EQ(bundle.pathForResource("a", "svg"), second.filePath("a.svg").toStdString());
    EXPECT_EQ(bundle.pathForResource("b", "svg"), first.filePath("b.svg").toStdString());
}

}  // namespace
